// Writes a delivered palette image as a palette PNG, so a person can look at it.
#ifndef KALU7_HOST_PNG_WRITER_H
#define KALU7_HOST_PNG_WRITER_H

#include <string>

#include "host/recording_sink.h"

namespace kalu7::host {

// Writes `record`'s image to `path`. Index bytes beyond the palette that was
// sent are shown as black (the PNG palette is padded to cover them). Returns
// false with a one-line reason in `error` when the image cannot be written,
// for instance a 0 x 0 image, which PNG cannot hold.
bool write_palette_png(const std::string &path, const LoadRecord &record, std::string &error);

}  // namespace kalu7::host

#endif
