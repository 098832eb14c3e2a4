// Opening a module file the way the host application does: load the library,
// find its descriptor, check the header words, walk the server list.
#ifndef KALU7_HOST_MODULE_HANDLE_H
#define KALU7_HOST_MODULE_HANDLE_H

#include <string>

#include "gifloader/host_api.h"

namespace kalu7::host {

class ModuleHandle {
 public:
  ModuleHandle() = default;
  ~ModuleHandle();
  ModuleHandle(const ModuleHandle &) = delete;
  ModuleHandle &operator=(const ModuleHandle &) = delete;
  ModuleHandle(ModuleHandle &&other) noexcept;
  ModuleHandle &operator=(ModuleHandle &&other) noexcept;

  // Loads the module file at `path`. On failure returns false and leaves a
  // one-line reason in error(); the handle then holds nothing.
  bool open(const std::string &path);
  void close();

  bool is_open() const { return library_ != nullptr; }
  const module_descriptor *descriptor() const { return descriptor_; }
  const std::string &error() const { return error_; }

  // The first server of the given class and name, or null.
  const server_record *find_server(const char *class_name, const char *server_name) const;

 private:
  void *library_ = nullptr;
  const module_descriptor *descriptor_ = nullptr;
  std::string error_;
};

// Counts the entries of a server list up to its all-null terminator.
int count_servers(const module_descriptor *descriptor);

}  // namespace kalu7::host

#endif
