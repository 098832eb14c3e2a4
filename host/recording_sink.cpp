#include "host/recording_sink.h"

#include <cstdio>
#include <cstring>

namespace kalu7::host {
namespace {

// Row bytes in a transcript: whole rows up to this width, a prefix beyond.
constexpr size_t kTranscriptRowBytes = 64;

std::string hex(const uint8_t *bytes, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  s.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    s += digits[bytes[i] >> 4];
    s += digits[bytes[i] & 15];
  }
  return s;
}

// The state the loader sees through the request and the sink. The expected
// order of calls: begin_image, set_dimensions, set_parameter 1, set_parameter
// 2, palette entries in increasing index, rows in increasing number, finish,
// end_image.
enum class Stage { kNone, kBegun, kDimensions, kAspect, kPaletteSize, kPalette, kRows, kFinished, kEnded };

struct Recorder {
  loader_request request{};
  image_sink sink{};
  SinkOptions options;
  LoadRecord record;
  bool keep = true;
  Stage stage = Stage::kNone;

  void log(std::string line) {
    if (keep) record.transcript.push_back(std::move(line));
  }
  void violation(const std::string &what) { record.violations.push_back(what); }
  void expect(bool ok, const char *what) {
    if (!ok) violation(what);
  }
};

Recorder *from_sink(void *ctx) { return static_cast<Recorder *>(ctx); }

image_sink *begin_image(void *host_context, int32_t image_type) {
  auto *r = static_cast<Recorder *>(host_context);
  r->log("begin_image " + std::to_string(image_type));
  r->expect(r->stage == Stage::kNone, "begin_image called twice");
  r->expect(image_type == IMAGE_TYPE_PALETTE_8, "begin_image with an unexpected image type");
  r->record.sink_requested = true;
  r->stage = Stage::kBegun;
  return r->options.refuse_sink ? nullptr : &r->sink;
}

void end_image(void *host_context, image_sink *sink) {
  auto *r = static_cast<Recorder *>(host_context);
  r->log(sink == &r->sink ? "end_image" : "end_image <foreign sink>");
  r->expect(sink == &r->sink, "end_image with a sink that was not handed out");
  r->expect(r->stage == Stage::kFinished, "end_image before finish");
  r->record.sink_ended = true;
  r->stage = Stage::kEnded;
}

int32_t finish(void *ctx, int32_t error_code) {
  Recorder *r = from_sink(ctx);
  r->log("finish " + std::to_string(error_code));
  r->expect(r->stage >= Stage::kBegun && r->stage < Stage::kFinished, "finish out of order");
  if (error_code == IMAGE_FINISH_OK) {
    r->expect(r->stage >= Stage::kPaletteSize, "finish before the image was described");
    r->expect(r->record.height < 0 || r->record.rows.size() == static_cast<size_t>(r->record.height),
              "finish before every row was sent");
  }
  r->record.finish_code = error_code;
  r->stage = Stage::kFinished;
  return r->options.finish_result;
}

void set_dimensions(void *ctx, int32_t width, int32_t height) {
  Recorder *r = from_sink(ctx);
  r->log("set_dimensions " + std::to_string(width) + " " + std::to_string(height));
  r->expect(r->stage == Stage::kBegun, "set_dimensions out of order");
  r->record.width = width;
  r->record.height = height;
  r->stage = Stage::kDimensions;
}

void set_parameter(void *ctx, int32_t code, const char *text) {
  Recorder *r = from_sink(ctx);
  r->log("set_parameter " + std::to_string(code) + " " + text);
  if (code == IMAGE_PARAM_ASPECT) {
    r->expect(r->stage == Stage::kDimensions, "aspect out of order");
    r->record.aspect = text;
    r->stage = Stage::kAspect;
  } else if (code == IMAGE_PARAM_PALETTE_SIZE) {
    r->expect(r->stage == Stage::kAspect, "palette size out of order");
    r->record.palette_size = text;
    r->stage = Stage::kPaletteSize;
  } else {
    r->violation("unknown parameter code");
  }
}

void set_palette_entry(void *ctx, int32_t index, const uint8_t *rgb) {
  Recorder *r = from_sink(ctx);
  char line[64];
  std::snprintf(line, sizeof line, "set_palette_entry %d %02x%02x%02x", static_cast<int>(index), rgb[0], rgb[1],
                rgb[2]);
  r->log(line);
  r->expect(r->stage == Stage::kPaletteSize || r->stage == Stage::kPalette, "palette entry out of order");
  r->expect(index == static_cast<int32_t>(r->record.palette.size()), "palette entries not in increasing order");
  r->record.palette.push_back({rgb[0], rgb[1], rgb[2]});
  r->stage = Stage::kPalette;
}

void put_row(void *ctx, int32_t row, const uint8_t *bytes) {
  Recorder *r = from_sink(ctx);
  const size_t width = r->record.width > 0 ? static_cast<size_t>(r->record.width) : 0;
  r->expect(r->stage == Stage::kPaletteSize || r->stage == Stage::kPalette || r->stage == Stage::kRows,
            "row out of order");
  r->expect(row == static_cast<int32_t>(r->record.rows.size()), "rows not in increasing order");
  r->expect(row >= 0 && row < r->record.height, "row number outside the image");
  r->stage = Stage::kRows;
  if (!r->keep) {
    r->record.rows.emplace_back();
    return;
  }
  std::string line = "put_row " + std::to_string(row) + " ";
  if (width <= kTranscriptRowBytes) {
    line += hex(bytes, width);
  } else {
    line += hex(bytes, kTranscriptRowBytes / 2) + "... (" + std::to_string(width) + " bytes)";
  }
  r->log(std::move(line));
  r->record.rows.emplace_back(bytes, bytes + width);
}

LoadRecord run(const server_record &server, const std::string &file_name, const SinkOptions &options, bool keep) {
  Recorder r;
  r.options = options;
  r.keep = keep;
  r.request.host_context = &r;
  r.request.result = -12345;  // a value no loader writes, to see whether it was written
  r.request.file_name = file_name.c_str();
  r.request.extra = nullptr;
  r.request.begin_image = begin_image;
  r.request.end_image = end_image;
  r.sink.kind = nullptr;
  r.sink.sink_context = &r;
  r.sink.finish = finish;
  r.sink.set_dimensions = set_dimensions;
  r.sink.set_parameter = set_parameter;
  r.sink.put_row = put_row;
  r.sink.set_palette_entry = set_palette_entry;

  r.record.activate_return = server.activate(0, nullptr, &r.request, nullptr);
  r.record.result = r.request.result;
  if (r.record.sink_requested && !options.refuse_sink && !r.record.sink_ended) {
    r.violation("the sink was never ended");
  }
  return std::move(r.record);
}

}  // namespace

LoadRecord load_with_recording(const server_record &server, const std::string &file_name,
                               const SinkOptions &options) {
  return run(server, file_name, options, true);
}

LoadRecord load_discarding(const server_record &server, const std::string &file_name) {
  return run(server, file_name, SinkOptions{}, false);
}

std::string transcript_text(const LoadRecord &record) {
  std::string text;
  for (const std::string &line : record.transcript) {
    text += line;
    text += '\n';
  }
  return text;
}

std::string summary_line(const std::string &file_name, const LoadRecord &record) {
  std::string line = file_name + ": result " + std::to_string(record.result);
  if (!record.sink_requested) return line + ", refused, no image";
  if (record.width >= 0) {
    line += ", " + std::to_string(record.width) + " x " + std::to_string(record.height);
    line += ", aspect " + record.aspect + ", palette size " + record.palette_size;
    line += ", " + std::to_string(record.palette.size()) + " palette entries";
    line += ", " + std::to_string(record.rows.size()) + " rows";
  }
  if (record.finish_code != IMAGE_FINISH_OK) line += ", finished with error " + std::to_string(record.finish_code);
  return line;
}

}  // namespace kalu7::host
