// A host-side image sink that records every call a loader makes on it, in
// order (the transcript), and keeps the delivered image.
#ifndef KALU7_HOST_RECORDING_SINK_H
#define KALU7_HOST_RECORDING_SINK_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gifloader/host_api.h"

namespace kalu7::host {

struct SinkOptions {
  bool refuse_sink = false;     // begin_image returns null
  int32_t finish_result = 0;    // what finish returns to the loader
};

struct LoadRecord {
  int32_t activate_return = -1;
  int32_t result = -12345;      // the request's result after the call
  std::vector<std::string> transcript;
  bool sink_requested = false;
  bool sink_ended = false;
  int32_t width = -1;
  int32_t height = -1;
  std::string aspect;           // text of parameter 1
  std::string palette_size;     // text of parameter 2
  std::vector<std::array<uint8_t, 3>> palette;  // in index order as sent
  std::vector<std::vector<uint8_t>> rows;       // in row order as sent
  int32_t finish_code = -1;
  std::vector<std::string> violations;  // calls out of the expected order
};

// Runs one activation of `server` on `file_name` with a recording sink.
LoadRecord load_with_recording(const server_record &server, const std::string &file_name,
                               const SinkOptions &options = {});

// Runs one activation of `server` with a sink that checks the call order and
// discards rows (nothing is kept but the size and the finish code).
LoadRecord load_discarding(const server_record &server, const std::string &file_name);

// The transcript joined by newlines.
std::string transcript_text(const LoadRecord &record);

// One readable summary line of a load.
std::string summary_line(const std::string &file_name, const LoadRecord &record);

}  // namespace kalu7::host

#endif
