// The GIF load: name test, open, record loop, delivery, failure path.
//
// Memory comes from the C heap (malloc/free) so that nothing can throw across
// the host's C boundary, and every path releases what it took before it
// returns. giflib's error codes are received but never examined: every
// failure ends the same way, as result 1.
#include "gifloader/gif_load.h"

#include <gif_lib.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kalu7 {
namespace {

// The four passes of an interlaced image: first row and step of each.
constexpr int kPassFirstRow[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};

// The palette sent to the host holds at most this many entries.
constexpr int kMaxPaletteEntries = 256;

// The host learns of a failed delivery through finish's error code.
constexpr int32_t kFinishLineBufferFailed = 1;

// A heap block for one row of W index bytes. A zero-width image still gets a
// real (one-byte) block, so that a null result always means the heap is out.
uint8_t *allocate_row_bytes(int width) {
  return static_cast<uint8_t *>(std::malloc(width > 0 ? static_cast<size_t>(width) : 1u));
}

// The rows of the image read last. The table has one slot per image row; a
// row's buffer is allocated only when that row is about to be read, so what a
// load holds grows with the pixel data actually decoded, never with the size
// an image descriptor merely claims.
struct RowTable {
  uint8_t **rows = nullptr;
  int width = 0;
  int height = 0;

  void release() {
    if (rows != nullptr) {
      for (int y = 0; y < height; ++y) std::free(rows[y]);
      std::free(rows);
    }
    rows = nullptr;
    width = 0;
    height = 0;
  }

  // Starts a new image of the given size; false when the heap is out.
  bool reset(int w, int h) {
    release();
    // calloc: every slot starts null, so release() is safe at any point.
    rows = static_cast<uint8_t **>(std::calloc(h > 0 ? static_cast<size_t>(h) : 1u, sizeof(uint8_t *)));
    if (rows == nullptr) return false;
    width = w;
    height = h;
    return true;
  }

  // Allocates row y and reads it from the decoder.
  bool read_row(GifFileType *gif, int y) {
    rows[y] = allocate_row_bytes(width);
    if (rows[y] == nullptr) return false;
    return DGifGetLine(gif, rows[y], width) == GIF_OK;
  }
};

bool name_is_gif(const char *name) {
  if (name == nullptr) return false;
  const size_t n = std::strlen(name);
  if (n <= 3) return false;
  return std::memcmp(name + n - 4, ".gif", 4) == 0;  // exact and case-sensitive
}

// Only regular files are offered to giflib: opening a FIFO or a terminal
// device for reading can block for ever, and no such thing is an image file.
bool is_regular_file(const char *name) {
  struct stat st;
  if (stat(name, &st) != 0) return false;
  return (st.st_mode & S_IFMT) == S_IFREG;
}

// giflib reads through this function from the file the loader opened.
int read_from_file(GifFileType *gif, GifByteType *buffer, int length) {
  if (length <= 0) return 0;
  return static_cast<int>(std::fread(buffer, 1, static_cast<size_t>(length), static_cast<std::FILE *>(gif->UserData)));
}

// giflib asks for a few bytes at a time (a block's length, then the block),
// so the stream's buffer decides how often the file is read: a large image
// through stdio's default of one page makes thousands of read calls. A
// bigger buffer of our own is only a speed-up; without one (the heap is
// out, or the stream refuses it) the default buffering reads the same bytes.
constexpr size_t kReadBufferBytes = 64 * 1024;

// The decoder and the file it reads. The loader opens the file itself and
// hands giflib a read function, rather than letting giflib open it by name:
// giflib's own open does not check that its stream could be created, and
// reads through a null stream when the heap is out at that moment.
struct Decoder {
  std::FILE *file = nullptr;
  GifFileType *gif = nullptr;
  char *read_buffer = nullptr;  // outlives the stream that uses it

  bool open(const char *name) {
    file = std::fopen(name, "rb");
    if (file == nullptr) return false;
    read_buffer = static_cast<char *>(std::malloc(kReadBufferBytes));
    if (read_buffer != nullptr && std::setvbuf(file, read_buffer, _IOFBF, kReadBufferBytes) != 0) {
      std::free(read_buffer);
      read_buffer = nullptr;
    }
    int error = 0;
    gif = DGifOpen(file, read_from_file, &error);
    return gif != nullptr;
  }

  void close() {
    if (gif != nullptr) {
      int error = 0;
      DGifCloseFile(gif, &error);  // frees the decoder even when it reports an error
      gif = nullptr;
    }
    if (file != nullptr) {
      std::fclose(file);
      file = nullptr;
    }
    std::free(read_buffer);
    read_buffer = nullptr;
  }
};

bool skip_image_data(GifFileType *gif) {
  int code_size = 0;
  GifByteType *block = nullptr;
  if (DGifGetCode(gif, &code_size, &block) != GIF_OK) return false;
  while (block != nullptr) {
    if (DGifGetCodeNext(gif, &block) != GIF_OK) return false;
  }
  return true;
}

bool read_image(GifFileType *gif, RowTable &table) {
  if (DGifGetImageDesc(gif) != GIF_OK) return false;
  const int width = gif->Image.Width;
  const int height = gif->Image.Height;
  if (width < 0 || height < 0) return false;
  // giflib keeps a record of every image descriptor it has read (for its
  // whole-file reader, which this loader does not use). Dropping it at once
  // keeps a file of many thousands of frames from growing the decoder
  // without bound; the current image's fields stay in gif->Image. The count
  // is not reset by giflib itself and indexes the next record.
  GifFreeSavedImages(gif);
  gif->ImageCount = 0;
  if (!table.reset(width, height)) return false;
  if (gif->Image.Interlace) {
    for (int pass = 0; pass < 4; ++pass) {
      for (int y = kPassFirstRow[pass]; y < height; y += kPassStep[pass]) {
        if (!table.read_row(gif, y)) return false;
      }
    }
  } else {
    for (int y = 0; y < height; ++y) {
      if (!table.read_row(gif, y)) return false;
    }
  }
  // giflib steps over an image's remaining data blocks once its last row has
  // been read. An image of no rows never gets there, and its data would be
  // taken for the next record: step over it here, so that an empty frame is
  // skipped like any other instead of failing the file.
  if (height == 0 && !skip_image_data(gif)) return false;
  return true;
}

bool skip_extension(GifFileType *gif) {
  int code = 0;
  GifByteType *block = nullptr;
  if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
  }
  return true;
}

// Reads records up to the trailer. False on any failed read, including a
// file that ends before its trailer.
bool read_records(GifFileType *gif, RowTable &table) {
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) != GIF_OK) return false;
    switch (type) {
      case IMAGE_DESC_RECORD_TYPE:
        if (!read_image(gif, table)) return false;
        break;
      case EXTENSION_RECORD_TYPE:
        if (!skip_extension(gif)) return false;
        break;
      case TERMINATE_RECORD_TYPE:
        return true;
      default:
        return false;  // giflib reports unknown bytes itself; nothing else is valid here
    }
  }
}

bool refuse(loader_request *request, Decoder &decoder, RowTable &table) {
  request->result = LOADER_RESULT_REFUSED;
  table.release();
  decoder.close();
  return false;
}

}  // namespace

bool gif_load(loader_request *request) {
  Decoder decoder;
  RowTable table;

  if (!name_is_gif(request->file_name) || !is_regular_file(request->file_name)) {
    return refuse(request, decoder, table);
  }
  if (!decoder.open(request->file_name)) return refuse(request, decoder, table);
  GifFileType *const gif = decoder.gif;

  if (!read_records(gif, table)) return refuse(request, decoder, table);

  // The last image's own map, else the screen's. Without either there is no
  // palette to send, so the file is refused before a sink is asked for.
  const ColorMapObject *map = gif->Image.ColorMap != nullptr ? gif->Image.ColorMap : gif->SColorMap;
  if (map == nullptr || map->Colors == nullptr) return refuse(request, decoder, table);
  int palette_size = map->ColorCount;
  if (palette_size > kMaxPaletteEntries) palette_size = kMaxPaletteEntries;
  if (palette_size < 0) palette_size = 0;

  const int width = table.width;
  const int height = table.height;

  image_sink *sink = request->begin_image(request->host_context, IMAGE_TYPE_PALETTE_8);
  if (sink == nullptr) return refuse(request, decoder, table);
  void *const ctx = sink->sink_context;

  sink->set_dimensions(ctx, width, height);

  char aspect_text[256];
  char palette_size_text[256];
  const float aspect = static_cast<float>(width) / static_cast<float>(height);
  std::snprintf(aspect_text, sizeof aspect_text, "%g", static_cast<double>(aspect));
  sink->set_parameter(ctx, IMAGE_PARAM_ASPECT, aspect_text);
  std::snprintf(palette_size_text, sizeof palette_size_text, "%d", palette_size);
  sink->set_parameter(ctx, IMAGE_PARAM_PALETTE_SIZE, palette_size_text);

  uint8_t rgb[3];
  for (int i = 0; i < palette_size; ++i) {
    rgb[0] = map->Colors[i].Red;
    rgb[1] = map->Colors[i].Green;
    rgb[2] = map->Colors[i].Blue;
    sink->set_palette_entry(ctx, i, rgb);
  }

  uint8_t *line = allocate_row_bytes(width);
  if (line == nullptr) {
    // The sink exists but the rows cannot be handed over: end the image as
    // failed, so the host does not take a partial image for a whole one.
    table.release();
    decoder.close();
    sink->finish(ctx, kFinishLineBufferFailed);
    request->result = LOADER_RESULT_REFUSED;
    request->end_image(request->host_context, sink);
    return false;
  }
  for (int y = 0; y < height; ++y) {
    if (width > 0) std::memcpy(line, table.rows[y], static_cast<size_t>(width));
    sink->put_row(ctx, y, line);
    std::free(table.rows[y]);
    table.rows[y] = nullptr;
  }
  std::free(line);
  table.release();
  decoder.close();

  request->result = sink->finish(ctx, IMAGE_FINISH_OK);
  request->end_image(request->host_context, sink);
  return true;
}

}  // namespace kalu7
