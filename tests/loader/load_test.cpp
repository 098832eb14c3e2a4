// Loads through the real module, each case comparing what the host saw.
#include <sys/stat.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <cmath>
#include <cstdio>

#include "tests/loader/loader_fixture.h"

namespace kalu7::testing {
namespace {

using gifwrite::Colour;
using gifwrite::Frame;
using gifwrite::GifDescription;

std::vector<std::string> lines(std::initializer_list<std::string> l) { return l; }

// A screen with a four-entry global map and one frame whose rows are 0..H-1.
GifDescription striped(int width, int height) {
  GifDescription gif;
  gif.screen_width = width;
  gif.screen_height = height;
  gif.global_map = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  Frame f = gifwrite::solid_frame(width, height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) f.pixels[static_cast<size_t>(y * width + x)] = static_cast<uint8_t>((x + y) % 4);
  }
  gif.frames.push_back(f);
  return gif;
}

class LoadTest : public LoaderTest {};

TEST_F(LoadTest, DeliversSizeTextsPaletteAndRowsInOrder) {
  const host::LoadRecord r = load(write("striped.gif", striped(3, 2)));
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.transcript, lines({"begin_image 2", "set_dimensions 3 2", "set_parameter 1 1.5", "set_parameter 2 4",
                                 "set_palette_entry 0 ff0000", "set_palette_entry 1 00ff00",
                                 "set_palette_entry 2 0000ff", "set_palette_entry 3 ffffff", "put_row 0 000102",
                                 "put_row 1 010203", "finish 0", "end_image"}));
}

TEST_F(LoadTest, FinishResultBecomesTheRequestResult) {
  const std::string file = write("striped.gif", striped(3, 2));
  for (int32_t finish_result : {0, 1, 7, -3}) {
    host::SinkOptions options;
    options.finish_result = finish_result;
    const host::LoadRecord r = load(file, options);
    EXPECT_EQ(r.result, finish_result);
    EXPECT_EQ(r.finish_code, 0);
    EXPECT_TRUE(r.sink_ended);
  }
}

TEST_F(LoadTest, OnlyTheLastImageIsDeliveredAtItsOwnSize) {
  GifDescription gif;
  gif.screen_width = 40;
  gif.screen_height = 30;
  gif.global_map = gifwrite::grey_ramp(16);
  gif.frames.push_back(gifwrite::pattern_frame(40, 30, 1));
  Frame middle = gifwrite::pattern_frame(10, 20, 2);
  middle.interlace = true;
  middle.local_map = gifwrite::grey_ramp(4);
  gif.frames.push_back(middle);
  Frame last = gifwrite::pattern_frame(3, 2, 5);
  last.left = 30;
  last.top = 25;
  gif.frames.push_back(last);
  const host::LoadRecord r = load(write("anim.gif", gif));
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.width, 3);
  EXPECT_EQ(r.height, 2);
  EXPECT_EQ(r.aspect, "1.5");
  EXPECT_EQ(r.palette_size, "16");  // the last frame has no local map: the screen's
  ASSERT_EQ(r.rows.size(), 2u);
  // pattern_frame: index = (7x + 31y + seed) mod 256, masked to the map's 4 bits by the encoder.
  EXPECT_EQ(r.rows[0], (std::vector<uint8_t>{5, 12, 19 & 15}));
  EXPECT_EQ(r.rows[1], (std::vector<uint8_t>{36 & 15, 43 & 15, 50 & 15}));
}

TEST_F(LoadTest, InterlacedRowsArriveTopToBottom) {
  // Each row is filled with its own row number, so a row read into the wrong
  // slot shows up as a wrong value in the delivered order.
  for (int height : {1, 2, 3, 5, 9, 10, 17}) {
    GifDescription gif;
    gif.screen_width = 4;
    gif.screen_height = height;
    gif.global_map = gifwrite::grey_ramp(32);
    Frame f = gifwrite::solid_frame(4, height, 0);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < 4; ++x) f.pixels[static_cast<size_t>(y * 4 + x)] = static_cast<uint8_t>(y);
    }
    f.interlace = true;
    gif.frames.push_back(f);
    const host::LoadRecord r = load(write("interlaced.gif", gif));
    ASSERT_EQ(r.result, 0) << height;
    ASSERT_EQ(r.rows.size(), static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) EXPECT_EQ(r.rows[static_cast<size_t>(y)], std::vector<uint8_t>(4, static_cast<uint8_t>(y))) << "row " << y;
  }
}

TEST_F(LoadTest, LocalMapWinsOverTheScreenMap) {
  GifDescription gif = striped(2, 1);
  gif.frames[0].local_map = {{1, 2, 3}, {4, 5, 6}};
  const host::LoadRecord r = load(write("local.gif", gif));
  EXPECT_EQ(r.palette_size, "2");
  ASSERT_EQ(r.palette.size(), 2u);
  EXPECT_EQ(r.palette[1], (std::array<uint8_t, 3>{4, 5, 6}));
}

TEST_F(LoadTest, NoColourMapAnywhereIsRefusedBeforeAskingForASink) {
  // The encoder insists on a map, so drop the screen's map from its output.
  std::vector<uint8_t> bytes = gifwrite::encode(striped(2, 2));
  ASSERT_EQ(bytes[10] & 0x87, 0x81);  // global map present, 4 entries
  bytes[10] = static_cast<uint8_t>(bytes[10] & 0x7F);
  bytes.erase(bytes.begin() + 13, bytes.begin() + 13 + 12);
  expect_refused(write("nomap.gif", bytes));
  // With a local map on the image the same file loads.
  GifDescription local = striped(2, 2);
  local.frames[0].local_map = gifwrite::grey_ramp(4);
  bytes = gifwrite::encode(local);
  bytes[10] = static_cast<uint8_t>(bytes[10] & 0x7F);
  bytes.erase(bytes.begin() + 13, bytes.begin() + 13 + 12);
  EXPECT_EQ(load(write("localonly.gif", bytes)).palette_size, "4");
}

// Sets the height field of the image descriptor at `at` (its ',' byte).
void set_descriptor_height(std::vector<uint8_t> &bytes, size_t at, int height) {
  ASSERT_EQ(bytes[at], ',');
  bytes[at + 7] = static_cast<uint8_t>(height & 0xFF);
  bytes[at + 8] = static_cast<uint8_t>(height >> 8);
}

TEST_F(LoadTest, ZeroHeightImagesAreSkippedOrDeliveredEmpty) {
  // The encoder cannot write an image of no rows: write one row and then
  // declare the image zero rows high, leaving its data in place.
  GifDescription gif = striped(3, 1);
  gif.frames.push_back(gifwrite::solid_frame(2, 2, 3));
  std::vector<uint8_t> bytes = gifwrite::encode(gif);
  const size_t first = 13 + 12;
  set_descriptor_height(bytes, first, 0);
  const host::LoadRecord r = load(write("empty-first.gif", bytes));
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.width, 2);
  EXPECT_EQ(r.rows, (std::vector<std::vector<uint8_t>>{{3, 3}, {3, 3}}));

  std::vector<uint8_t> last = gifwrite::encode(striped(3, 1));
  set_descriptor_height(last, first, 0);
  const host::LoadRecord e = load(write("empty-last.gif", last));
  EXPECT_EQ(e.result, 0);
  EXPECT_EQ(e.width, 3);
  EXPECT_EQ(e.height, 0);
  EXPECT_EQ(e.aspect, "inf");
  EXPECT_TRUE(e.rows.empty());
}

TEST_F(LoadTest, IndicesBeyondThePaletteAreDeliveredUnchanged) {
  // Encode 256 colours, then cut the screen's map down to two entries: the
  // image data still carries 8-bit indices.
  GifDescription gif;
  gif.screen_width = 16;
  gif.screen_height = 16;
  gif.global_map = gifwrite::grey_ramp(256);
  Frame f = gifwrite::solid_frame(16, 16, 0);
  for (size_t i = 0; i < f.pixels.size(); ++i) f.pixels[i] = static_cast<uint8_t>(255 - i);
  gif.frames.push_back(f);
  std::vector<uint8_t> bytes = gifwrite::encode(gif);
  ASSERT_EQ(bytes[10] & 0x87, 0x87);  // global map present, 2^(7+1) entries
  bytes[10] = static_cast<uint8_t>(bytes[10] & ~0x07);  // now 2 entries
  bytes.erase(bytes.begin() + 13 + 6, bytes.begin() + 13 + 768);
  const host::LoadRecord r = load(write("bigindex.gif", bytes));
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.palette_size, "2");
  EXPECT_EQ(r.palette.size(), 2u);
  for (size_t y = 0; y < 16; ++y) {
    for (size_t x = 0; x < 16; ++x) ASSERT_EQ(r.rows[y][x], static_cast<uint8_t>(255 - (y * 16 + x)));
  }
}

TEST_F(LoadTest, AspectTextIsTheFloatQuotientPrintedWithG) {
  struct Case {
    int w, h;
    const char *text;
  };
  const Case cases[] = {{3, 2, "1.5"}, {1, 3, "0.333333"}, {2, 3, "0.666667"}, {7, 1, "7"}, {640, 480, "1.33333"},
                        {1, 1000, "0.001"}, {0, 3, "0"}, {65535, 1, "65535"}};
  for (const Case &c : cases) {
    GifDescription gif = striped(c.w > 0 ? c.w : 1, c.h);
    gif.frames[0] = gifwrite::solid_frame(c.w, c.h, 1);
    const host::LoadRecord r = load(write("aspect.gif", gif));
    ASSERT_EQ(r.result, 0) << c.w << "x" << c.h;
    EXPECT_EQ(r.aspect, c.text) << c.w << "x" << c.h;
  }
}

TEST_F(LoadTest, ZeroWidthImageDeliversEmptyRows) {
  GifDescription gif = striped(4, 3);
  gif.frames[0] = gifwrite::solid_frame(0, 3, 0);
  const host::LoadRecord r = load(write("zerowidth.gif", gif));
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.transcript, lines({"begin_image 2", "set_dimensions 0 3", "set_parameter 1 0", "set_parameter 2 4",
                                 "set_palette_entry 0 ff0000", "set_palette_entry 1 00ff00",
                                 "set_palette_entry 2 0000ff", "set_palette_entry 3 ffffff", "put_row 0 ",
                                 "put_row 1 ", "put_row 2 ", "finish 0", "end_image"}));
}

TEST_F(LoadTest, TrailerBeforeAnyImageGivesAnEmptyImageWithTheScreenPalette) {
  GifDescription gif = striped(4, 4);
  gif.frames.clear();
  gif.extensions_before_trailer.push_back(gifwrite::comment("no pictures here"));
  const host::LoadRecord r = load(write("empty.gif", gif));
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.width, 0);
  EXPECT_EQ(r.height, 0);
  EXPECT_TRUE(r.rows.empty());
  EXPECT_EQ(r.palette.size(), 4u);
  // 0/0 is not a number; its exact text is the C library's.
  EXPECT_TRUE(r.aspect == "nan" || r.aspect == "-nan") << r.aspect;
}

TEST_F(LoadTest, ExtensionsOfEveryKindAreSkipped) {
  const GifDescription plain = striped(5, 3);
  GifDescription decorated = plain;
  gifwrite::Extension plain_text;
  plain_text.code = 0x01;
  plain_text.blocks = {std::vector<uint8_t>(12, 0), {'h', 'i'}};
  gifwrite::Extension unknown;
  unknown.code = 0x42;
  unknown.blocks = {{1, 2, 3}};
  decorated.frames[0].extensions_before = {gifwrite::netscape_loop(3), gifwrite::comment(std::string(600, 'c')),
                                           gifwrite::graphic_control(10, 2), plain_text, unknown};
  decorated.extensions_before_trailer = {gifwrite::comment("after")};
  const host::LoadRecord a = load(write("plain.gif", plain));
  const host::LoadRecord b = load(write("decorated.gif", decorated));
  EXPECT_EQ(a.result, 0);
  EXPECT_EQ(a.transcript, b.transcript);
}

TEST_F(LoadTest, NameRules) {
  const std::vector<uint8_t> good = gifwrite::encode(striped(2, 2));
  struct Case {
    const char *name;
    bool loads;
  };
  // Every file below exists and holds the same valid GIF: only the name decides.
  const Case cases[] = {{"a.gif", true},    {"a.GIF", false},  {"a.Gif", false},   {"a.gif.bak", false},
                        {"agif", false},   {"a.gifx", false}, {"name.with.dots.gif", true}};
  for (const Case &c : cases) {
    const host::LoadRecord r = load(write(c.name, good));
    EXPECT_EQ(r.result, c.loads ? 0 : 1) << c.name;
    EXPECT_EQ(r.sink_requested, c.loads) << c.name;
  }
  for (const char *name : {"", "gif", "x", "/"}) expect_refused(name);
  expect_refused(path("missing.gif"));
}

TEST_F(LoadTest, FourByteNameDotGifIsOfferedToTheDecoder) {
  write(".gif", gifwrite::encode(striped(2, 2)));
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  const host::LoadRecord r = load(".gif");
  std::filesystem::current_path(old);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.width, 2);
}

TEST_F(LoadTest, NoSinkFromTheHostEndsTheLoad) {
  host::SinkOptions options;
  options.refuse_sink = true;
  const host::LoadRecord r = load(write("striped.gif", striped(3, 2)), options);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.transcript, lines({"begin_image 2"}));
  EXPECT_FALSE(r.sink_ended);
}

TEST_F(LoadTest, TruncatedFilesAreRefusedWithoutASink) {
  GifDescription anim = striped(6, 5);
  anim.frames[0].extensions_before = {gifwrite::graphic_control(5, -1)};
  Frame second = gifwrite::pattern_frame(6, 5, 9);
  second.interlace = true;
  second.local_map = gifwrite::grey_ramp(8);
  anim.frames.push_back(second);
  anim.extensions_before_trailer = {gifwrite::comment("end")};
  for (const GifDescription &gif : {striped(6, 5), anim}) {
    const std::vector<uint8_t> bytes = gifwrite::encode(gif);
    for (size_t n = 0; n < bytes.size(); ++n) {
      expect_refused(write("cut.gif", std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n))));
    }
    EXPECT_EQ(load(write("whole.gif", bytes)).result, 0);
  }
}

TEST_F(LoadTest, GarbageAndNonRegularFilesAreRefused) {
  expect_refused(write("text.gif", std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a', '!'}));
  expect_refused(write("nogif.gif", std::vector<uint8_t>(100, 0)));
  std::filesystem::create_directory(path("folder.gif"));
  expect_refused(path("folder.gif"));
#if !defined(_WIN32)
  // A named pipe with no writer would block a plain open for ever.
  ASSERT_EQ(mkfifo(path("pipe.gif").c_str(), 0600), 0);
  expect_refused(path("pipe.gif"));
#else
  // Windows' device names mean the device whatever their extension, in any
  // folder; reading CON would wait for the console.
  expect_refused("NUL.gif");
  expect_refused(path("CON.gif"));
#endif
}

}  // namespace
}  // namespace kalu7::testing
