// Shared by the loader tests: the real module, loaded once the way the host
// loads it, and a scratch folder for the GIF files the tests build.
#ifndef KALU7_TESTS_LOADER_FIXTURE_H
#define KALU7_TESTS_LOADER_FIXTURE_H

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#if defined(__linux__)
#include <unistd.h>
#endif

#include "host/module_handle.h"
#include "host/recording_sink.h"
#include "tools/gif_builder.h"

namespace kalu7::testing {

// The module under test, opened once per test program.
inline host::ModuleHandle &module() {
  static host::ModuleHandle handle;
  if (!handle.is_open() && !handle.open(KALU7_MODULE_PATH)) {
    ADD_FAILURE() << handle.error();
  }
  return handle;
}

inline const server_record &gif_server() {
  const server_record *s = module().find_server(HOST_CLASS_IMAGE_LOADER, "kalu7_gif");
  if (s == nullptr) {
    ADD_FAILURE() << "no kalu7_gif server";
    static const server_record none{};
    return none;
  }
  return *s;
}

// Open file descriptors of this process, to see that a load closed its file.
inline int open_descriptor_count() {
#if defined(__linux__)
  int n = 0;
  for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
#else
  return 0;
#endif
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("kalu7_loader_" + std::to_string(
#if defined(__linux__)
                                  static_cast<long>(getpid())
#else
                                  0L
#endif
                                  ) +
            "_" + std::to_string(counter++));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string path(const std::string &name) const { return (dir_ / name).string(); }

  std::string write(const std::string &name, const std::vector<uint8_t> &bytes) const {
    const std::string p = path(name);
    gifwrite::write_file(p, bytes);
    return p;
  }
  std::string write(const std::string &name, const gifwrite::GifDescription &gif) const {
    return write(name, gifwrite::encode(gif));
  }

  // One load through the module; checks what must hold after every load:
  // activate returned 0, the call order was kept and no file was left open.
  host::LoadRecord load(const std::string &file, const host::SinkOptions &options = {}) const {
    const int fds_before = open_descriptor_count();
    host::LoadRecord r = host::load_with_recording(gif_server(), file, options);
    EXPECT_EQ(r.activate_return, 0) << file;
    EXPECT_EQ(open_descriptor_count(), fds_before) << "a load left a file open: " << file;
    EXPECT_TRUE(r.violations.empty()) << r.violations.front();
    return r;
  }

  // A load that must be refused before any sink is asked for.
  void expect_refused(const std::string &file) const {
    const host::LoadRecord r = load(file);
    EXPECT_EQ(r.result, 1) << file;
    EXPECT_FALSE(r.sink_requested) << file;
    EXPECT_TRUE(r.transcript.empty()) << file;
  }

  std::filesystem::path dir_;
};

}  // namespace kalu7::testing

#endif
