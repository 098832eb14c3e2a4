#include "host/module_handle.h"

#include <cstring>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace kalu7::host {
namespace {

#if defined(_WIN32)
void *load_library(const std::string &path, std::string &error) {
  HMODULE lib = LoadLibraryA(path.c_str());
  if (lib == nullptr) error = "cannot load module " + path + " (error " + std::to_string(GetLastError()) + ")";
  return reinterpret_cast<void *>(lib);
}
void *find_symbol(void *lib, const char *name) {
  return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(lib), name));
}
void free_library(void *lib) { FreeLibrary(static_cast<HMODULE>(lib)); }
#else
void *load_library(const std::string &path, std::string &error) {
  void *lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) {
    const char *why = dlerror();
    error = "cannot load module " + path + ": " + (why != nullptr ? why : "unknown error");
  }
  return lib;
}
void *find_symbol(void *lib, const char *name) { return dlsym(lib, name); }
void free_library(void *lib) { dlclose(lib); }
#endif

bool is_terminator(const server_record &s) {
  return s.class_name == nullptr && s.server_name == nullptr && s.activate == nullptr && s.aux_info == nullptr;
}

// A list that does not end within this many entries is taken as broken.
constexpr int kMaxServers = 4096;

}  // namespace

ModuleHandle::~ModuleHandle() { close(); }

ModuleHandle::ModuleHandle(ModuleHandle &&other) noexcept
    : library_(std::exchange(other.library_, nullptr)),
      descriptor_(std::exchange(other.descriptor_, nullptr)),
      error_(std::move(other.error_)) {}

ModuleHandle &ModuleHandle::operator=(ModuleHandle &&other) noexcept {
  if (this != &other) {
    close();
    library_ = std::exchange(other.library_, nullptr);
    descriptor_ = std::exchange(other.descriptor_, nullptr);
    error_ = std::move(other.error_);
  }
  return *this;
}

bool ModuleHandle::open(const std::string &path) {
  close();
  error_.clear();
  void *lib = load_library(path, error_);
  if (lib == nullptr) return false;
  const auto *desc = static_cast<const module_descriptor *>(find_symbol(lib, HOST_MODULE_DESCRIPTOR_SYMBOL));
  if (desc == nullptr) {
    error_ = "module " + path + " has no " HOST_MODULE_DESCRIPTOR_SYMBOL " descriptor";
  } else if (desc->header_1 != HOST_MODULE_HEADER_1 || desc->header_2 != HOST_MODULE_HEADER_2 ||
             desc->header_3 != HOST_MODULE_HEADER_3) {
    error_ = "module " + path + " has a descriptor with wrong header words";
  } else if (desc->servers == nullptr || count_servers(desc) < 0) {
    error_ = "module " + path + " has no terminated server list";
  }
  if (!error_.empty()) {
    free_library(lib);
    return false;
  }
  library_ = lib;
  descriptor_ = desc;
  return true;
}

void ModuleHandle::close() {
  if (library_ != nullptr) free_library(library_);
  library_ = nullptr;
  descriptor_ = nullptr;
}

const server_record *ModuleHandle::find_server(const char *class_name, const char *server_name) const {
  if (descriptor_ == nullptr) return nullptr;
  for (const server_record *s = descriptor_->servers; !is_terminator(*s); ++s) {
    if (s->class_name != nullptr && s->server_name != nullptr && std::strcmp(s->class_name, class_name) == 0 &&
        std::strcmp(s->server_name, server_name) == 0) {
      return s;
    }
  }
  return nullptr;
}

int count_servers(const module_descriptor *descriptor) {
  if (descriptor == nullptr || descriptor->servers == nullptr) return -1;
  for (int n = 0; n < kMaxServers; ++n) {
    if (is_terminator(descriptor->servers[n])) return n;
  }
  return -1;
}

}  // namespace kalu7::host
