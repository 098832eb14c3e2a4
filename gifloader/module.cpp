// The module's face towards the host: the descriptor, the server list, the
// token functions and the activation of the GIF loader.
#include "gifloader/gif_load.h"
#include "gifloader/host_api.h"

#if defined(_WIN32)
#define KALU7_EXPORT __declspec(dllexport)
#else
#define KALU7_EXPORT __attribute__((visibility("default")))
#endif

namespace {

// The token is opaque to the host and never dereferenced here; any non-null
// value does, and 4 is what hosts of this interface expect to see.
void *make_token() { return reinterpret_cast<void *>(static_cast<uintptr_t>(4)); }

void drop_token(void *) {}

int32_t activate_gif_loader(int32_t, void *, void *request, void *) {
  if (request != nullptr) {
    kalu7::gif_load(static_cast<loader_request *>(request));
  }
  // The outcome travels in the request's result, never in the return value.
  return 0;
}

const server_record servers[] = {
    {HOST_CLASS_IMAGE_LOADER, "kalu7_gif", activate_gif_loader, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

// A namespace-scope const object has internal linkage in C++; declaring it
// extern first gives the definition external linkage so it can be exported.
extern "C" KALU7_EXPORT const module_descriptor _mod_descrip;
extern "C" const module_descriptor _mod_descrip = {
    HOST_MODULE_HEADER_1, HOST_MODULE_HEADER_2, HOST_MODULE_HEADER_3,
    make_token,           drop_token,           servers,
};
