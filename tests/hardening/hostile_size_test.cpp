// Files whose headers claim far more than they hold, and files of very many
// frames: what a load holds must follow the pixel data actually decoded.
// Each measured load runs in a forked child, so that its peak resident size
// is its own and not the test program's.
#include <sys/wait.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "tests/loader/loader_fixture.h"

namespace kalu7::testing {
namespace {

// The sanitizers' own heaps (shadow memory, quarantine) dwarf what is
// measured here, so the memory bounds hold only in plain builds.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kPlainHeap = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kPlainHeap = false;
#else
constexpr bool kPlainHeap = true;
#endif
#else
constexpr bool kPlainHeap = true;
#endif

// A field of /proc/self/status in KiB, or -1.
long status_kib(const char *field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(in, line)) {
    if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':') return std::stol(line.substr(n + 1));
  }
  return -1;
}

struct Measured {
  int32_t result = -1;
  int32_t width = -1;
  int32_t height = -1;
  long rows = -1;
  int32_t last_index = -1;  // first byte of the last row, -1 without rows
  long baseline_kib = -1;   // resident size just before the load
  long peak_kib = -1;       // peak resident size during the load
  double seconds = 0;
  bool ok = false;          // the child reported back
};

// Loads `file` in a forked child with a sink that keeps nothing but the
// last row's first byte, and reports the child's peak resident size above
// what it held just before the load.
Measured measure_load(const std::string &file) {
  const server_record &server = gif_server();  // the module is opened before the fork
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Measured m;
    // The child inherits the test program's heap. Hand its free pages back
    // first, or the load would reuse them unseen.
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    // Writing 5 to clear_refs resets the peak to the current resident size.
    {
      std::ofstream clear("/proc/self/clear_refs");
      clear << "5";
    }
    m.baseline_kib = status_kib("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    const host::LoadRecord r = host::load_discarding(server, file);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peak_kib = status_kib("VmHWM");
    m.result = r.result;
    m.width = r.width;
    m.height = r.height;
    m.rows = static_cast<long>(r.rows.size());
    m.ok = r.violations.empty() && r.activate_return == 0;
    if (write(fds[1], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) _exit(2);
    _exit(0);
  }
  close(fds[1]);
  Measured m;
  if (pid < 0 || read(fds[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) m = Measured{};
  close(fds[0]);
  int status = 0;
  if (pid > 0) waitpid(pid, &status, 0);
  return m;
}

class HostileSizeTest : public LoaderTest {};

// 35 bytes: header, screen, a two-entry map, an image descriptor of
// 65535 x 65535, the code size and one four-byte data block, then nothing.
std::vector<uint8_t> huge_claim_file() {
  std::vector<uint8_t> b = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0,  // screen 1 x 1, 2-entry map
                            0, 0, 0, 255, 255, 255,                                  // the map
                            ',', 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0,              // 65535 x 65535
                            2, 4, 0x84, 0x8F, 0xA9, 0xCB};                           // code size, 4 data bytes
  return b;
}

TEST_F(HostileSizeTest, HugeClaimedImageIsRefusedCheaply) {
  const std::vector<uint8_t> bytes = huge_claim_file();
  ASSERT_EQ(bytes.size(), 35u);
  const std::string file = write("huge.gif", bytes);
  expect_refused(file);

  const Measured m = measure_load(file);
  ASSERT_TRUE(m.ok);
  EXPECT_EQ(m.result, 1);
  const long above = m.peak_kib - m.baseline_kib;
  std::printf("65535 x 65535 claimed in 35 bytes: peak %ld KiB above a baseline of %ld KiB\n", above,
              m.baseline_kib);
  RecordProperty("huge_claim_peak_kib_above_baseline", std::to_string(above));
  if (kPlainHeap) {
    EXPECT_LT(above, 16 * 1024);
  }
}

// n frames of 1 x 1, each after a graphic control; frame i has index i % 3,
// the last one index 3.
std::vector<uint8_t> tiny_frames_file(int n) {
  gifwrite::GifDescription gif;
  gif.screen_width = 1;
  gif.screen_height = 1;
  gif.global_map = gifwrite::grey_ramp(4);
  for (int i = 0; i < n; ++i) {
    gifwrite::Frame f = gifwrite::solid_frame(1, 1, static_cast<uint8_t>(i + 1 == n ? 3 : i % 3));
    f.extensions_before = {gifwrite::graphic_control(1, -1)};
    gif.frames.push_back(std::move(f));
  }
  return gifwrite::encode(gif);
}

TEST_F(HostileSizeTest, TensOfThousandsOfTinyFramesKeepMemoryFlat) {
  const Measured few = measure_load(write("few.gif", tiny_frames_file(1000)));
  const Measured many = measure_load(write("many.gif", tiny_frames_file(50000)));
  for (const Measured *m : {&few, &many}) {
    ASSERT_TRUE(m->ok);
    EXPECT_EQ(m->result, 0);
    EXPECT_EQ(m->width, 1);
    EXPECT_EQ(m->height, 1);
    EXPECT_EQ(m->rows, 1);
  }
  std::printf("1 x 1 frames: 1000 in %.4f s, peak +%ld KiB; 50000 in %.4f s, peak +%ld KiB\n", few.seconds,
              few.peak_kib - few.baseline_kib, many.seconds, many.peak_kib - many.baseline_kib);
  RecordProperty("tiny_frames_50000_seconds", std::to_string(many.seconds));
  // Fifty times the frames may not cost more memory: nothing of a frame is
  // kept once the next one starts.
  if (kPlainHeap) {
    EXPECT_LT((many.peak_kib - many.baseline_kib) - (few.peak_kib - few.baseline_kib), 256);
  }
  // Only a sanity bound: speed belongs to the benchmarks.
  EXPECT_LT(many.seconds, 30.0);

  // And the last of them is the one delivered.
  const host::LoadRecord r = load(write("many.gif", tiny_frames_file(50000)));
  ASSERT_EQ(r.rows.size(), 1u);
  EXPECT_EQ(r.rows[0], std::vector<uint8_t>{3});
}

// Images with no pixels at all at the largest size in the other direction.
TEST_F(HostileSizeTest, ZeroWidthAndZeroHeightAtTheLargestOtherSide) {
  struct Case {
    int width, height;
    const char *aspect;
  };
  const Case cases[] = {{0, 65535, "0"}, {65535, 0, "inf"}, {0, 0, "nan"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    // The encoder cannot write an image without rows: write a 1-row image
    // of the width, then patch the descriptor's height.
    gifwrite::GifDescription gif;
    gif.screen_width = 1;
    gif.screen_height = 1;
    gif.global_map = gifwrite::grey_ramp(2);
    gif.frames.push_back(gifwrite::solid_frame(c.width, c.height == 0 ? 1 : c.height, 1));
    std::vector<uint8_t> bytes = gifwrite::encode(gif);
    const size_t at = 13 + 6;
    ASSERT_EQ(bytes[at], ',');
    bytes[at + 7] = static_cast<uint8_t>(c.height & 0xFF);
    bytes[at + 8] = static_cast<uint8_t>(c.height >> 8);
    const std::string file = write("empty.gif", bytes);

    const host::LoadRecord r = load(file);
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(r.width, c.width);
    EXPECT_EQ(r.height, c.height);
    EXPECT_EQ(r.rows.size(), static_cast<size_t>(c.height));
    EXPECT_TRUE(r.aspect == c.aspect || r.aspect == std::string("-") + c.aspect) << r.aspect;
    for (const auto &row : r.rows) ASSERT_TRUE(row.empty());

    const Measured m = measure_load(file);
    ASSERT_TRUE(m.ok);
    std::printf("%d x %d: result %d, %ld rows, peak %ld KiB above baseline\n", c.width, c.height, m.result, m.rows,
                m.peak_kib - m.baseline_kib);
    if (kPlainHeap) {
      EXPECT_LT(m.peak_kib - m.baseline_kib, 16 * 1024);
    }
  }
}

// An image without pixels must not swallow the records after it.
TEST_F(HostileSizeTest, EmptyImagesLeaveTheNextFrameIntact) {
  for (const auto &[w, h] : {std::pair{0, 1}, std::pair{0, 2}, std::pair{0, 9}, std::pair{0, 300}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    gifwrite::GifDescription gif;
    gif.screen_width = 4;
    gif.screen_height = 4;
    gif.global_map = gifwrite::grey_ramp(4);
    gif.frames.push_back(gifwrite::solid_frame(w, h, 1));
    gif.frames.back().interlace = h % 2 == 0;
    gifwrite::Frame next = gifwrite::solid_frame(2, 2, 3);
    next.extensions_before = {gifwrite::comment("after the empty image")};
    gif.frames.push_back(next);
    const host::LoadRecord r = load(write("then.gif", gif));
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(r.width, 2);
    EXPECT_EQ(r.rows, (std::vector<std::vector<uint8_t>>{{3, 3}, {3, 3}}));
  }
}

}  // namespace
}  // namespace kalu7::testing
