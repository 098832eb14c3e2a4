#include "host/png_writer.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace kalu7::host {
namespace {

struct FileCloser {
  void operator()(std::FILE *f) const { std::fclose(f); }
};

}  // namespace

bool write_palette_png(const std::string &path, const LoadRecord &record, std::string &error) {
  if (record.width <= 0 || record.height <= 0 || record.rows.size() != static_cast<size_t>(record.height)) {
    error = "cannot write " + path + ": the image is " + std::to_string(record.width) + " x " +
            std::to_string(record.height) + " with " + std::to_string(record.rows.size()) +
            " rows, and a PNG needs at least one pixel";
    return false;
  }
  int entries = static_cast<int>(record.palette.size());
  for (const auto &row : record.rows) {
    for (uint8_t index : row) {
      if (index + 1 > entries) entries = index + 1;
    }
  }
  if (entries == 0) entries = 1;
  std::vector<png_color> colours(static_cast<size_t>(entries), png_color{0, 0, 0});
  for (size_t i = 0; i < record.palette.size(); ++i) {
    colours[i] = png_color{record.palette[i][0], record.palette[i][1], record.palette[i][2]};
  }

  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    error = "cannot open " + path + " for writing";
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr) {
    png_destroy_write_struct(&png, &info);
    error = "cannot write " + path + ": out of memory";
    return false;
  }
  std::vector<png_bytep> row_pointers;
  for (const auto &row : record.rows) row_pointers.push_back(const_cast<png_bytep>(row.data()));
  // libpng reports errors by longjmp; nothing with a destructor is created
  // between here and the end of the writing.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    error = "cannot write " + path + ": libpng failed";
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(record.width), static_cast<png_uint_32>(record.height), 8,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_PLTE(png, info, colours.data(), entries);
  png_write_info(png, info);
  png_write_image(png, row_pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0) {
    error = "cannot write " + path + ": write failed";
    return false;
  }
  return true;
}

}  // namespace kalu7::host
