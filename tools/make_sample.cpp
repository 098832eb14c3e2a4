// Draws the bundled sample: a small animated GIF of three frames in which a
// ball crosses a sky over hills. The last frame, the one a loader delivers,
// is interlaced and has its own colour map, and the file carries comment,
// graphic-control and looping extensions that a loader has to step over.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "tools/gif_builder.h"

using namespace kalu7::gifwrite;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 100;

// Palette: 0..31 sky blues (top to bottom), 32..47 greens, 48..63 ball colours.
std::vector<Colour> palette(bool dusk) {
  std::vector<Colour> map;
  for (int i = 0; i < 32; ++i) {
    if (dusk) {
      map.push_back({static_cast<uint8_t>(90 + i * 5), static_cast<uint8_t>(40 + i * 3), static_cast<uint8_t>(110 - i)});
    } else {
      map.push_back({static_cast<uint8_t>(60 + i * 4), static_cast<uint8_t>(120 + i * 3), 255});
    }
  }
  for (int i = 0; i < 16; ++i) map.push_back({static_cast<uint8_t>(20 + i * 3), static_cast<uint8_t>(90 + i * 8), 40});
  for (int i = 0; i < 16; ++i) {
    map.push_back({255, static_cast<uint8_t>(dusk ? 80 + i * 6 : 160 + i * 6), static_cast<uint8_t>(i * 4)});
  }
  return map;
}

Frame draw(double ball_x, double ball_y) {
  Frame f = solid_frame(kWidth, kHeight, 0);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const double hill = 70 + 10 * std::sin(x / 17.0) + 6 * std::sin(x / 7.0 + 1.0);
      const double dx = x - ball_x, dy = y - ball_y, d = std::sqrt(dx * dx + dy * dy);
      int index;
      if (d < 14) {
        index = 48 + static_cast<int>(15 * (1 - d / 14));
      } else if (y > hill) {
        index = 32 + std::min(15, static_cast<int>((y - hill) / 2));
      } else {
        index = std::min(31, y * 32 / kHeight);
      }
      f.pixels[static_cast<size_t>(y * kWidth + x)] = static_cast<uint8_t>(index);
    }
  }
  f.extensions_before.push_back(graphic_control(40, -1));
  return f;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample OUT.gif\n");
    return 2;
  }
  try {
    GifDescription gif;
    gif.screen_width = kWidth;
    gif.screen_height = kHeight;
    gif.global_map = palette(false);
    gif.frames.push_back(draw(25, 55));
    gif.frames.front().extensions_before.insert(gif.frames.front().extensions_before.begin(),
                                                {netscape_loop(0), comment("kalu7 sample: a ball over hills")});
    gif.frames.push_back(draw(80, 25));
    Frame last = draw(135, 50);
    last.interlace = true;
    last.local_map = palette(true);
    gif.frames.push_back(last);
    gif.extensions_before_trailer.push_back(comment("the last frame is interlaced, with its own colours"));
    write_file(argv[1], encode(gif));
  } catch (const std::exception &e) {
    std::fprintf(stderr, "make_sample: %s\n", e.what());
    return 1;
  }
  return 0;
}
