// The host program: a stand-in for the 3D host application. It loads a module
// file the way the host does, finds the "ImageLoader" server "kalu7_gif" and
// loads GIF files through it, printing what the module delivered and, on
// request, writing the image as a PNG.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "gifloader/host_api.h"
#include "host/module_handle.h"
#include "host/png_writer.h"
#include "host/recording_sink.h"

namespace {

const char kModuleFileName[] = "kalu7_gifload_64.p";
const char kSampleFileName[] = "sample.gif";
const char kServerName[] = "kalu7_gif";

void usage(std::FILE *to) {
  std::fprintf(to,
               "usage: kalu7_host [--module FILE] [--trace] [-o OUT.png] [FILE.gif ...]\n"
               "  Loads each GIF through the module's \"kalu7_gif\" image loader and prints a summary.\n"
               "  --module FILE  the module to load (default: %s beside this program)\n"
               "  --trace        print every call the module makes on the image sink\n"
               "  -o OUT.png     write the delivered image as a palette PNG (one GIF only)\n"
               "  With no GIF, loads the bundled sample (%s beside this program).\n",
               kModuleFileName, kSampleFileName);
}

std::filesystem::path program_dir(const char *argv0) {
#if defined(_WIN32)
  char buffer[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return std::filesystem::path(buffer).parent_path();
#else
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.parent_path();
#endif
  return std::filesystem::path(argv0).parent_path();
}

int fail(const std::string &message, int status) {
  std::fprintf(stderr, "kalu7_host: %s\n", message.c_str());
  return status;
}

}  // namespace

int main(int argc, char **argv) {
  const std::filesystem::path dir = program_dir(argv[0]);
  std::string module_path = (dir / kModuleFileName).string();
  std::string png_path;
  bool trace = false;
  std::vector<std::string> files;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    } else if (arg == "--trace") {
      trace = true;
    } else if (arg == "--module" || arg == "-o") {
      if (i + 1 >= argc) {
        usage(stderr);
        return fail(arg + " needs an argument", 2);
      }
      (arg == "-o" ? png_path : module_path) = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      usage(stderr);
      return fail("unknown option " + arg, 2);
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) files.push_back((dir / kSampleFileName).string());
  if (!png_path.empty() && files.size() != 1) return fail("-o takes exactly one GIF", 2);
#if !KALU7_HAVE_PNG
  if (!png_path.empty()) return fail("-o is not available: this build of the host program has no PNG output", 2);
#endif

  kalu7::host::ModuleHandle module;
  if (!module.open(module_path)) return fail(module.error(), 2);
  const server_record *server = module.find_server(HOST_CLASS_IMAGE_LOADER, kServerName);
  if (server == nullptr || server->activate == nullptr) {
    return fail("module " + module_path + " offers no " HOST_CLASS_IMAGE_LOADER " server named " + kServerName, 2);
  }

  int status = 0;
  for (const std::string &file : files) {
    const kalu7::host::LoadRecord record = kalu7::host::load_with_recording(*server, file);
    if (trace) {
      for (const std::string &line : record.transcript) std::printf("  %s\n", line.c_str());
    }
    std::printf("%s\n", kalu7::host::summary_line(file, record).c_str());
    for (const std::string &v : record.violations) std::fprintf(stderr, "kalu7_host: %s: %s\n", file.c_str(), v.c_str());
    if (record.result != 0 || !record.violations.empty()) {
      status = fail(file + ": not loaded (result " + std::to_string(record.result) + ")", 1);
      continue;
    }
#if KALU7_HAVE_PNG
    if (!png_path.empty()) {
      std::string error;
      if (!kalu7::host::write_palette_png(png_path, record, error)) {
        status = fail(error, 1);
      } else {
        std::printf("wrote %s\n", png_path.c_str());
      }
    }
#endif
  }
  std::fflush(stdout);
  return status;
}
