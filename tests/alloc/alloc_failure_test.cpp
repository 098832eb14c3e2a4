// Every heap allocation of a load made to fail in turn, giflib's and the C
// library's included: each run either delivers the whole image or ends with
// result 1, and none leaves a block or a file behind.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/alloc/failing_alloc.h"
#include "tests/loader/loader_fixture.h"

namespace kalu7::testing {
namespace {

// A sink that allocates nothing, so that every allocation counted during a
// load is the module's own. It folds every call into a hash and checks the
// order of the calls.
struct CountingHost {
  loader_request request{};
  image_sink sink{};
  uint64_t hash = 1469598103934665603ull;
  int stage = 0;  // 0 none, 1 begun, 2 described, 3 finished, 4 ended
  int rows = 0;
  int width = -1;
  int height = -1;
  int finish_code = -1;
  int violations = 0;

  void mix(const void *data, size_t n) {
    const auto *b = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < n; ++i) hash = (hash ^ b[i]) * 1099511628211ull;
  }
  void mix_int(int32_t v) { mix(&v, sizeof v); }
};

CountingHost *host_of(void *ctx) { return static_cast<CountingHost *>(ctx); }

image_sink *begin_image(void *ctx, int32_t type) {
  CountingHost *h = host_of(ctx);
  if (h->stage != 0 || type != IMAGE_TYPE_PALETTE_8) ++h->violations;
  h->stage = 1;
  return &h->sink;
}
void end_image(void *ctx, image_sink *sink) {
  CountingHost *h = host_of(ctx);
  if (h->stage != 3 || sink != &h->sink) ++h->violations;
  h->stage = 4;
}
int32_t finish(void *ctx, int32_t code) {
  CountingHost *h = host_of(ctx);
  if (h->stage < 1 || h->stage > 2) ++h->violations;
  if (code == 0 && h->rows != h->height) ++h->violations;
  h->finish_code = code;
  h->stage = 3;
  return 0;
}
void set_dimensions(void *ctx, int32_t w, int32_t hgt) {
  CountingHost *h = host_of(ctx);
  if (h->stage != 1) ++h->violations;
  h->stage = 2;
  h->width = w;
  h->height = hgt;
  h->mix_int(w);
  h->mix_int(hgt);
}
void set_parameter(void *ctx, int32_t code, const char *text) {
  CountingHost *h = host_of(ctx);
  h->mix_int(code);
  h->mix(text, std::strlen(text));
}
void put_row(void *ctx, int32_t row, const uint8_t *bytes) {
  CountingHost *h = host_of(ctx);
  if (row != h->rows) ++h->violations;
  ++h->rows;
  h->mix_int(row);
  h->mix(bytes, h->width > 0 ? static_cast<size_t>(h->width) : 0);
}
void set_palette_entry(void *ctx, int32_t index, const uint8_t *rgb) {
  CountingHost *h = host_of(ctx);
  h->mix_int(index);
  h->mix(rgb, 3);
}

void run_load(CountingHost &h, const std::string &file) {
  h.request.host_context = &h;
  h.request.result = -99;
  h.request.file_name = file.c_str();
  h.request.begin_image = begin_image;
  h.request.end_image = end_image;
  h.sink.sink_context = &h;
  h.sink.finish = finish;
  h.sink.set_dimensions = set_dimensions;
  h.sink.set_parameter = set_parameter;
  h.sink.put_row = put_row;
  h.sink.set_palette_entry = set_palette_entry;
  const int32_t rc = gif_server().activate(0, nullptr, &h.request, nullptr);
  if (rc != 0) ++h.violations;
}

class AllocationFailureTest : public LoaderTest {
 protected:
  // The module is opened before any counting starts.
  void SetUp() override {
    LoaderTest::SetUp();
    ASSERT_NE(gif_server().activate, nullptr);
  }

  // Fails allocation k = 1, 2, ... until a load asks for fewer than k.
  // Returns how many runs ended through the failed-delivery path.
  int sweep(const std::string &file) {
    CountingHost reference;
    failing_alloc_arm(0);
    run_load(reference, file);
    const long total = failing_alloc_disarm();
    EXPECT_EQ(failing_alloc_live(), 0) << "a whole load leaked";
    EXPECT_EQ(reference.request.result, 0);
    EXPECT_EQ(reference.violations, 0);
    EXPECT_GT(total, 0);

    int delivery_failures = 0;
    for (long k = 1; k <= total; ++k) {
      SCOPED_TRACE("allocation " + std::to_string(k) + " of " + std::to_string(total) + " fails");
      const int fds = open_descriptor_count();
      CountingHost h;
      failing_alloc_arm(k);
      run_load(h, file);
      failing_alloc_disarm();
      EXPECT_EQ(failing_alloc_overflowed(), 0);
      EXPECT_EQ(failing_alloc_live(), 0) << "blocks left allocated";
      EXPECT_EQ(open_descriptor_count(), fds) << "file left open";
      EXPECT_EQ(h.violations, 0);
      if (h.stage == 0) {
        EXPECT_EQ(h.request.result, 1);  // refused before a sink was asked for
      } else if (h.finish_code != 0) {
        ++delivery_failures;  // the sink was told the image is not whole
        EXPECT_EQ(h.request.result, 1);
        EXPECT_EQ(h.stage, 4);
      } else {
        // Some allocations have fallbacks (stdio buffers): then the image
        // must come out exactly as without the failure.
        EXPECT_EQ(h.request.result, 0);
        EXPECT_EQ(h.stage, 4);
        EXPECT_EQ(h.hash, reference.hash);
      }
    }
    return delivery_failures;
  }
};

// One file with every feature the loader walks over: several frames, plain
// and interlaced, global and local maps (up to 256 entries), a zero-width
// frame, and every kind of extension (graphic control, comment over several
// blocks, application, plain text, an unknown code, one before the trailer).
gifwrite::GifDescription every_feature() {
  using gifwrite::Frame;
  gifwrite::GifDescription gif;
  gif.screen_width = 9;
  gif.screen_height = 7;
  gif.global_map = gifwrite::grey_ramp(16);
  Frame first = gifwrite::pattern_frame(9, 7, 1);
  gifwrite::Extension plain_text;
  plain_text.code = 0x01;
  plain_text.blocks = {std::vector<uint8_t>(12, 2), {'h', 'i'}};
  gifwrite::Extension unknown;
  unknown.code = 0x42;
  unknown.blocks = {{1, 2, 3}, {4}};
  first.extensions_before = {gifwrite::netscape_loop(0), gifwrite::graphic_control(4, 1),
                             gifwrite::comment(std::string(300, 'c')), plain_text, unknown};
  gif.frames.push_back(first);
  Frame empty = gifwrite::solid_frame(0, 2, 0);
  empty.extensions_before = {gifwrite::graphic_control(1, -1)};
  gif.frames.push_back(empty);
  Frame interlaced = gifwrite::pattern_frame(5, 11, 7);
  interlaced.interlace = true;
  interlaced.local_map = gifwrite::grey_ramp(256);
  interlaced.left = 2;
  interlaced.top = 1;
  gif.frames.push_back(interlaced);
  gif.extensions_before_trailer = {gifwrite::comment("end")};
  return gif;
}

TEST_F(AllocationFailureTest, EveryPrefixOfAFileWithEveryFeatureIsRefusedLeavingNothing) {
  const std::vector<uint8_t> bytes = gifwrite::encode(every_feature());
  for (size_t n = 0; n < bytes.size(); ++n) {
    SCOPED_TRACE("first " + std::to_string(n) + " of " + std::to_string(bytes.size()) + " bytes");
    const std::string file = write("cut.gif", std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
    const int fds = open_descriptor_count();
    CountingHost h;
    failing_alloc_arm(0);
    run_load(h, file);
    failing_alloc_disarm();
    ASSERT_EQ(h.request.result, 1);
    ASSERT_EQ(h.stage, 0) << "a sink was asked for";
    ASSERT_EQ(failing_alloc_live(), 0) << "blocks left allocated";
    ASSERT_EQ(open_descriptor_count(), fds) << "file left open";
  }
  CountingHost whole;
  run_load(whole, write("whole.gif", bytes));
  EXPECT_EQ(whole.request.result, 0);
  EXPECT_EQ(whole.height, 11);
}

TEST_F(AllocationFailureTest, EveryAllocationOfALoadMayFail) {
  using gifwrite::GifDescription;
  GifDescription plain;
  plain.screen_width = 7;
  plain.screen_height = 5;
  plain.global_map = gifwrite::grey_ramp(16);
  plain.frames.push_back(gifwrite::pattern_frame(7, 5, 3));

  GifDescription anim = plain;
  anim.frames[0].extensions_before = {gifwrite::netscape_loop(0), gifwrite::graphic_control(4, 1)};
  gifwrite::Frame second = gifwrite::pattern_frame(4, 11, 8);
  second.interlace = true;
  second.local_map = gifwrite::grey_ramp(64);
  second.extensions_before = {gifwrite::comment("second")};
  anim.frames.push_back(second);
  anim.frames.push_back(gifwrite::pattern_frame(0, 2, 1));

  for (const auto &[name, gif] : {std::pair{"plain.gif", plain}, std::pair{"anim.gif", anim},
                                  std::pair{"every-feature.gif", every_feature()}}) {
    SCOPED_TRACE(name);
    // The one allocation after the sink exists is the line buffer.
    EXPECT_EQ(sweep(write(name, gif)), 1);
  }
}

TEST_F(AllocationFailureTest, TheSweepSeesTheModulesAllocations) {
  CountingHost h;
  gifwrite::GifDescription gif;
  gif.screen_width = 3;
  gif.screen_height = 3;
  gif.global_map = gifwrite::grey_ramp(2);
  gif.frames.push_back(gifwrite::solid_frame(3, 3, 1));
  const std::string file = write("small.gif", gif);
  failing_alloc_arm(0);
  run_load(h, file);
  const long total = failing_alloc_disarm();
  // At least the decoder, the row table, three rows and the line buffer.
  EXPECT_GE(total, 6);
}

}  // namespace
}  // namespace kalu7::testing
