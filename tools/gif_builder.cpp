#include "tools/gif_builder.h"

#include <gif_lib.h>

#include <cstdio>
#include <stdexcept>

namespace kalu7::gifwrite {
namespace {

int write_to_vector(GifFileType *gif, const GifByteType *data, int length) {
  auto *out = static_cast<std::vector<uint8_t> *>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

struct MapHolder {
  ColorMapObject *map = nullptr;
  explicit MapHolder(const std::vector<Colour> &colours) {
    if (colours.empty()) return;
    if (colours.size() > 256) throw std::runtime_error("a colour map holds at most 256 entries");
    int size = 2;
    while (size < static_cast<int>(colours.size())) size *= 2;
    std::vector<GifColorType> entries(static_cast<size_t>(size), GifColorType{0, 0, 0});
    for (size_t i = 0; i < colours.size(); ++i) entries[i] = GifColorType{colours[i].r, colours[i].g, colours[i].b};
    map = GifMakeMapObject(size, entries.data());
    if (map == nullptr) throw std::runtime_error("GifMakeMapObject failed");
  }
  ~MapHolder() { GifFreeMapObject(map); }
  MapHolder(const MapHolder &) = delete;
  MapHolder &operator=(const MapHolder &) = delete;
};

void check(int status, GifFileType *gif, const char *what) {
  if (status != GIF_OK) {
    throw std::runtime_error(std::string("giflib encoder: ") + what + ": " + GifErrorString(gif->Error));
  }
}

void put_extension(GifFileType *gif, const Extension &ext) {
  check(EGifPutExtensionLeader(gif, ext.code), gif, "extension leader");
  for (const auto &block : ext.blocks) {
    if (block.empty() || block.size() > 255) throw std::runtime_error("an extension block holds 1..255 bytes");
    check(EGifPutExtensionBlock(gif, static_cast<int>(block.size()), block.data()), gif, "extension block");
  }
  check(EGifPutExtensionTrailer(gif), gif, "extension trailer");
}

void put_frame(GifFileType *gif, const Frame &f) {
  for (const Extension &ext : f.extensions_before) put_extension(gif, ext);
  if (f.pixels.size() != static_cast<size_t>(f.width) * static_cast<size_t>(f.height)) {
    throw std::runtime_error("frame pixels do not match its size");
  }
  MapHolder local(f.local_map);
  // giflib's encoder forgets, without freeing it, the previous frame's local
  // map when a frame has none: free it here.
  if (local.map == nullptr && gif->Image.ColorMap != nullptr) {
    GifFreeMapObject(gif->Image.ColorMap);
    gif->Image.ColorMap = nullptr;
  }
  check(EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlace, local.map), gif, "image descriptor");
  // The encoder writes rows in the order it is given them; an interlaced
  // frame takes them in the order of its four passes. A zero-width row still
  // gets a one-byte buffer, since the encoder looks at its first byte.
  std::vector<uint8_t> row(static_cast<size_t>(f.width > 0 ? f.width : 1), 0);
  auto put_row = [&](int y) {
    std::copy(f.pixels.begin() + static_cast<long>(y) * f.width,
              f.pixels.begin() + static_cast<long>(y + 1) * f.width, row.begin());
    check(EGifPutLine(gif, row.data(), f.width), gif, "line");
  };
  if (f.interlace) {
    static const int first[4] = {0, 4, 2, 1};
    static const int step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
      for (int y = first[pass]; y < f.height; y += step[pass]) put_row(y);
    }
  } else {
    for (int y = 0; y < f.height; ++y) put_row(y);
  }
}

}  // namespace

std::vector<uint8_t> encode(const GifDescription &desc) {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType *gif = EGifOpen(&out, write_to_vector, &error);
  if (gif == nullptr) throw std::runtime_error("EGifOpen failed");
  try {
    EGifSetGifVersion(gif, true);
    MapHolder global(desc.global_map);
    int colour_resolution = 8;
    check(EGifPutScreenDesc(gif, desc.screen_width, desc.screen_height, colour_resolution, desc.background,
                            global.map),
          gif, "screen descriptor");
    for (const Frame &f : desc.frames) put_frame(gif, f);
    for (const Extension &ext : desc.extensions_before_trailer) put_extension(gif, ext);
  } catch (...) {
    EGifCloseFile(gif, &error);
    throw;
  }
  if (EGifCloseFile(gif, &error) != GIF_OK) throw std::runtime_error("EGifCloseFile failed");
  return out;
}

void write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("cannot open " + path);
  const size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
  const bool ok = std::fclose(f) == 0 && written == bytes.size();
  if (!ok) throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> read_file(const std::string &path) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) throw std::runtime_error("cannot open " + path);
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

std::vector<Colour> grey_ramp(int entries) {
  std::vector<Colour> map;
  for (int i = 0; i < entries; ++i) {
    const auto v = static_cast<uint8_t>(entries > 1 ? i * 255 / (entries - 1) : 0);
    map.push_back({v, v, v});
  }
  return map;
}

Frame solid_frame(int width, int height, uint8_t index) {
  Frame f;
  f.width = width;
  f.height = height;
  f.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), index);
  return f;
}

Frame pattern_frame(int width, int height, unsigned seed) {
  Frame f = solid_frame(width, height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      f.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          static_cast<uint8_t>((static_cast<unsigned>(x) * 7u + static_cast<unsigned>(y) * 31u + seed) & 0xFFu);
    }
  }
  return f;
}

Extension comment(const std::string &text) {
  Extension e;
  e.code = COMMENT_EXT_FUNC_CODE;
  for (size_t i = 0; i < text.size(); i += 255) {
    const std::string part = text.substr(i, 255);
    e.blocks.emplace_back(part.begin(), part.end());
  }
  return e;
}

Extension graphic_control(int delay_cs, int transparent_index) {
  Extension e;
  e.code = GRAPHICS_EXT_FUNC_CODE;
  const auto flags = static_cast<uint8_t>(transparent_index >= 0 ? 1 : 0);
  e.blocks.push_back({flags, static_cast<uint8_t>(delay_cs & 0xFF), static_cast<uint8_t>((delay_cs >> 8) & 0xFF),
                      static_cast<uint8_t>(transparent_index >= 0 ? transparent_index : 0)});
  return e;
}

Extension netscape_loop(int count) {
  Extension e;
  e.code = APPLICATION_EXT_FUNC_CODE;
  const std::string id = "NETSCAPE2.0";
  e.blocks.emplace_back(id.begin(), id.end());
  e.blocks.push_back({1, static_cast<uint8_t>(count & 0xFF), static_cast<uint8_t>((count >> 8) & 0xFF)});
  return e;
}

}  // namespace kalu7::gifwrite
