// libFuzzer target: every input is written to a file and loaded through the
// real module, the way the host loads a file, with a sink that checks the
// order of the calls. Whatever the bytes, a load must end in one of two ways:
//   - refused: result 1 and no sink asked for;
//   - delivered: begin_image, size, both texts, the palette, put_row exactly
//     H times in increasing order, finish 0, end_image, result 0.
// Nothing may be left allocated (libFuzzer runs the leak checker on any input
// whose mallocs and frees do not balance) and no file may be left open.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/module_handle.h"
#include "host/recording_sink.h"

namespace {

kalu7::host::ModuleHandle g_module;
const server_record *g_server = nullptr;
std::string g_file;
int g_fd = -1;

[[noreturn]] void fail(const char *what, const kalu7::host::LoadRecord &r) {
  std::fprintf(stderr, "invariant broken: %s (result %d, sink requested %d, %d x %d, %zu rows, finish %d)\n", what,
               static_cast<int>(r.result), r.sink_requested ? 1 : 0, static_cast<int>(r.width),
               static_cast<int>(r.height), r.rows.size(), static_cast<int>(r.finish_code));
  for (const std::string &v : r.violations) std::fprintf(stderr, "  call order: %s\n", v.c_str());
  std::abort();
}

// The lowest free descriptor number: a load that left its file open moves it.
int lowest_free_descriptor() {
  const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (fd < 0) std::abort();
  close(fd);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  if (!g_module.open(KALU7_MODULE_PATH)) {
    std::fprintf(stderr, "%s\n", g_module.error().c_str());
    std::exit(2);
  }
  g_server = g_module.find_server(HOST_CLASS_IMAGE_LOADER, "kalu7_gif");
  if (g_server == nullptr) {
    std::fprintf(stderr, "no kalu7_gif server in %s\n", KALU7_MODULE_PATH);
    std::exit(2);
  }
  // One file per process (libFuzzer's -fork and -jobs run several), on a
  // memory file system where there is one.
  const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  g_file = std::string(dir) + "/kalu7_fuzz_" + std::to_string(static_cast<long>(getpid())) + ".gif";
  g_fd = open(g_file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (g_fd < 0) {
    std::perror(g_file.c_str());
    std::exit(2);
  }
  std::atexit([] {
    close(g_fd);
    unlink(g_file.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (ftruncate(g_fd, 0) != 0) std::abort();
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pwrite(g_fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }

  const int free_fd = lowest_free_descriptor();
  const kalu7::host::LoadRecord r = kalu7::host::load_discarding(*g_server, g_file);
  if (lowest_free_descriptor() != free_fd) fail("a file was left open", r);

  if (r.activate_return != 0) fail("activate returned non-zero", r);
  if (!r.violations.empty()) fail("calls out of order", r);
  if (!r.sink_requested) {
    if (r.result != 1) fail("no sink was asked for, yet the result is not 1", r);
    return 0;
  }
  if (r.result != 0) fail("a sink was asked for, yet the result is not the sink's", r);
  if (!r.sink_ended) fail("the sink was never ended", r);
  if (r.finish_code != IMAGE_FINISH_OK) fail("finish with an error code", r);
  if (r.width < 0 || r.width > 65535 || r.height < 0 || r.height > 65535) fail("size outside a GIF's range", r);
  if (r.rows.size() != static_cast<size_t>(r.height)) fail("put_row not called exactly H times", r);
  const long palette = std::strtol(r.palette_size.c_str(), nullptr, 10);
  if (palette < 0 || palette > 256) fail("palette size outside 0..256", r);
  if (r.palette.size() != static_cast<size_t>(palette)) fail("palette entries differ from the palette size", r);
  return 0;
}
