// Builds GIF files in memory with giflib's encoder, for the sample, the tests,
// the fuzzer's seeds and the benchmarks.
#ifndef KALU7_TOOLS_GIF_BUILDER_H
#define KALU7_TOOLS_GIF_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

namespace kalu7::gifwrite {

struct Colour {
  uint8_t r, g, b;
};

// An extension record: its function code (0xF9 graphic control, 0xFE comment,
// 0xFF application, 0x01 plain text) and its data blocks, each 1..255 bytes.
struct Extension {
  int code = 0xFE;
  std::vector<std::vector<uint8_t>> blocks;
};

struct Frame {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool interlace = false;
  std::vector<Colour> local_map;   // empty: the frame has no local colour map
  std::vector<uint8_t> pixels;     // width * height indices, top row first
  std::vector<Extension> extensions_before;
};

struct GifDescription {
  int screen_width = 0;
  int screen_height = 0;
  int background = 0;
  std::vector<Colour> global_map;  // empty: no global colour map
  std::vector<Frame> frames;
  std::vector<Extension> extensions_before_trailer;
};

// Colour maps are padded with black to the next power of two (2..256), as the
// format requires. Throws std::runtime_error when giflib refuses something.
std::vector<uint8_t> encode(const GifDescription &gif);

// Writes bytes to a file; throws std::runtime_error on failure.
void write_file(const std::string &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> read_file(const std::string &path);

// Helpers for building descriptions.
std::vector<Colour> grey_ramp(int entries);
Frame solid_frame(int width, int height, uint8_t index);
Frame pattern_frame(int width, int height, unsigned seed);  // indices vary by row and column
Extension comment(const std::string &text);
Extension graphic_control(int delay_cs, int transparent_index);  // transparent_index < 0: none
Extension netscape_loop(int count);

}  // namespace kalu7::gifwrite

#endif
