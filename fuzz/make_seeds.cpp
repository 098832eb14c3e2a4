// Writes the fuzzer's seed GIFs into a folder: small files that between them
// hold every kind of record the loader meets (plain and interlaced images,
// local and global maps, several frames, every extension kind, empty images).
#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "tools/gif_builder.h"

namespace gw = kalu7::gifwrite;

namespace {

gw::GifDescription screen(int w, int h, int colours) {
  gw::GifDescription gif;
  gif.screen_width = w;
  gif.screen_height = h;
  if (colours > 0) gif.global_map = gw::grey_ramp(colours);
  return gif;
}

std::vector<std::pair<std::string, gw::GifDescription>> seeds() {
  std::vector<std::pair<std::string, gw::GifDescription>> out;

  gw::GifDescription plain = screen(8, 6, 4);
  plain.frames.push_back(gw::pattern_frame(8, 6, 1));
  out.emplace_back("plain", plain);

  gw::GifDescription interlaced = screen(5, 19, 16);
  interlaced.frames.push_back(gw::pattern_frame(5, 19, 2));
  interlaced.frames.back().interlace = true;
  out.emplace_back("interlaced", interlaced);

  gw::GifDescription local = screen(6, 6, 2);
  local.frames.push_back(gw::pattern_frame(6, 6, 3));
  local.frames.back().local_map = gw::grey_ramp(256);
  out.emplace_back("local-map", local);

  gw::GifDescription anim = screen(12, 9, 8);
  anim.frames.push_back(gw::pattern_frame(12, 9, 4));
  anim.frames.back().extensions_before = {gw::netscape_loop(0), gw::graphic_control(5, 2)};
  gw::Frame second = gw::pattern_frame(4, 3, 5);
  second.left = 3;
  second.top = 2;
  second.interlace = true;
  second.local_map = gw::grey_ramp(32);
  second.extensions_before = {gw::graphic_control(7, -1), gw::comment("frame two")};
  anim.frames.push_back(second);
  anim.frames.push_back(gw::pattern_frame(1, 1, 6));
  anim.extensions_before_trailer = {gw::comment("the end")};
  out.emplace_back("animated", anim);

  gw::GifDescription extensions = screen(3, 3, 4);
  gw::Extension plain_text;
  plain_text.code = 0x01;
  plain_text.blocks = {std::vector<uint8_t>(12, 1), {'t', 'e', 'x', 't'}};
  gw::Extension unknown;
  unknown.code = 0x42;
  unknown.blocks = {{1, 2, 3}, {4}};
  extensions.frames.push_back(gw::pattern_frame(3, 3, 7));
  extensions.frames.back().extensions_before = {plain_text, unknown, gw::comment(std::string(300, 'c'))};
  out.emplace_back("extensions", extensions);

  gw::GifDescription no_frames = screen(4, 4, 2);
  no_frames.extensions_before_trailer = {gw::comment("nothing")};
  out.emplace_back("no-frames", no_frames);

  gw::GifDescription zero_width = screen(4, 4, 2);
  zero_width.frames.push_back(gw::solid_frame(0, 4, 0));
  out.emplace_back("zero-width", zero_width);

  gw::GifDescription wide = screen(300, 2, 256);
  wide.frames.push_back(gw::pattern_frame(300, 2, 8));
  out.emplace_back("wide", wide);

  gw::GifDescription tiny_frames = screen(1, 1, 2);
  for (int i = 0; i < 20; ++i) tiny_frames.frames.push_back(gw::solid_frame(1, 1, static_cast<uint8_t>(i & 1)));
  out.emplace_back("tiny-frames", tiny_frames);
  return out;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  try {
    for (const auto &[name, gif] : seeds()) gw::write_file(std::string(argv[1]) + "/" + name + ".gif", gw::encode(gif));
  } catch (const std::exception &e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
