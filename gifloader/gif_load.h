// The GIF load run by the "kalu7_gif" server on each activation.
#ifndef KALU7_GIFLOADER_GIF_LOAD_H
#define KALU7_GIFLOADER_GIF_LOAD_H

#include "gifloader/host_api.h"

namespace kalu7 {

// Loads the file named by request->file_name and hands its last image to the
// host through the request's image sink. Writes request->result: 1 when the
// file was not loaded, otherwise the sink's finish result. Returns true when
// the image was handed to the host. Everything the load allocates is released
// and the file is closed before it returns, on every path.
bool gif_load(loader_request *request);

}  // namespace kalu7

#endif
