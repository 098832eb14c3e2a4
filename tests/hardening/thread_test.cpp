// One loaded module, eight threads loading different files at the same
// time, round after round: every load must give exactly the transcript the
// same file gives when loaded alone. Built and run under ThreadSanitizer too.
#include <atomic>
#include <mutex>
#include <thread>

#include "tests/loader/loader_fixture.h"

namespace kalu7::testing {
namespace {

using gifwrite::Frame;
using gifwrite::GifDescription;

// Files unlike each other: sizes, interlacing, maps, frames, extensions, and
// a few that are refused.
std::vector<std::pair<std::string, std::vector<uint8_t>>> varied_files() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (int i = 0; i < 12; ++i) {
    GifDescription gif;
    const int w = 1 + (i * 37) % 90;
    const int h = 1 + (i * 53) % 70;
    gif.screen_width = w;
    gif.screen_height = h;
    gif.global_map = gifwrite::grey_ramp(2 << (i % 8));
    for (int f = 0; f <= i % 4; ++f) {
      Frame frame = gifwrite::pattern_frame(w - f % w, h - f % h, static_cast<unsigned>(i * 10 + f));
      frame.interlace = (i + f) % 2 == 1;
      if (f % 2 == 1) frame.local_map = gifwrite::grey_ramp(4 << (f % 3));
      frame.extensions_before = {gifwrite::graphic_control(f, f % 2 ? f : -1)};
      if (i % 3 == 0) frame.extensions_before.push_back(gifwrite::comment(std::string(static_cast<size_t>(40 * i), 'x')));
      gif.frames.push_back(frame);
    }
    if (i % 5 == 0) gif.frames.front().extensions_before.push_back(gifwrite::netscape_loop(i));
    files.emplace_back("file" + std::to_string(i) + ".gif", gifwrite::encode(gif));
  }
  // Refused: cut inside the pixel data, cut before the trailer, not a GIF.
  std::vector<uint8_t> whole = files[3].second;
  files.emplace_back("cut-pixels.gif", std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)));
  files.emplace_back("cut-trailer.gif", std::vector<uint8_t>(whole.begin(), whole.end() - 1));
  files.emplace_back("text.gif", std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'});
  return files;
}

class ThreadTest : public LoaderTest {};

TEST_F(ThreadTest, ConcurrentLoadsGiveTheSerialTranscripts) {
  std::vector<std::string> names;
  for (const auto &[name, bytes] : varied_files()) names.push_back(write(name, bytes));

  const server_record &server = gif_server();
  std::vector<std::string> expected;
  int refused = 0;
  for (const std::string &name : names) {
    const host::LoadRecord r = host::load_with_recording(server, name);
    ASSERT_TRUE(r.violations.empty()) << name;
    if (r.result == 1) ++refused;
    expected.push_back(std::to_string(r.result) + "\n" + host::transcript_text(r));
  }
  EXPECT_EQ(refused, 3);

  constexpr int kThreads = 8;
  constexpr int kRounds = 200;
  std::atomic<int> mismatches{0};
  std::atomic<int> loads{0};
  std::mutex first_mutex;
  std::string first_mismatch;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        // Each thread walks the files from its own place, so that at any
        // moment the threads are loading different files.
        const size_t i = static_cast<size_t>(t * 2 + round) % names.size();
        const host::LoadRecord r = host::load_with_recording(server, names[i]);
        ++loads;
        const std::string got = std::to_string(r.result) + "\n" + host::transcript_text(r);
        if (got != expected[i] || r.activate_return != 0 || !r.violations.empty()) {
          ++mismatches;
          std::lock_guard<std::mutex> lock(first_mutex);
          if (first_mismatch.empty()) first_mismatch = names[i] + " in round " + std::to_string(round);
        }
      }
    });
  }
  for (std::thread &th : threads) th.join();
  EXPECT_EQ(loads.load(), kThreads * kRounds);
  EXPECT_EQ(mismatches.load(), 0) << "first: " << first_mismatch;
}

}  // namespace
}  // namespace kalu7::testing
