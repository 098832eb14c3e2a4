// A module whose descriptor carries a wrong first header word.
#if defined(_WIN32)
#define KALU7_FAKE_EXPORT __declspec(dllexport)
#else
#define KALU7_FAKE_EXPORT __attribute__((visibility("default")))
#endif
#include "gifloader/host_api.h"

namespace {
const server_record servers[] = {{nullptr, nullptr, nullptr, nullptr}};
}
extern "C" KALU7_FAKE_EXPORT const module_descriptor _mod_descrip;
extern "C" const module_descriptor _mod_descrip = {0x04121995u, HOST_MODULE_HEADER_2, HOST_MODULE_HEADER_3,
                                                   nullptr, nullptr, servers};
