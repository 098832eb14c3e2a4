// Whole-file loads of large GIFs: the module (opened the way the host opens
// it, rows delivered to a sink that checks the call order and discards them)
// against giflib's DGifSlurp and stb_image's GIF decoder, on the same files.
//
// The inputs are drawn at run time with giflib's encoder: uniform noise over
// 256 colours, so that almost every LZW code stands for one or two pixels and
// the decompressor works as hard as it can. Each benchmark also reports the
// decoder's peak memory, measured in a fresh child process (this program
// again, with --kalu7_peak) so that nothing the benchmark process allocated
// earlier can hide or inflate it.
//
// Options of our own (before Google Benchmark's):
//   --kalu7_quick       tiny inputs, for the check that the benchmarks still run
//   --kalu7_dir=PATH    where the generated GIFs go (default: a temporary folder)
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <stb_image.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/module_handle.h"
#include "host/recording_sink.h"
#include "tools/gif_builder.h"

namespace {

namespace fs = std::filesystem;
using kalu7::gifwrite::Colour;
using kalu7::gifwrite::Frame;
using kalu7::gifwrite::GifDescription;

struct Config {
  bool quick = false;
  fs::path dir;
  std::string self;  // this program, for the peak-memory children
};
Config g_config;

// ---- inputs -----------------------------------------------------------------

enum class Kind { kSingle, kInterlaced, kAnimation };

struct Input {
  Kind kind;
  int width;
  int height;
  int frames;

  std::string name() const {
    switch (kind) {
      case Kind::kSingle:
        return "single/" + std::to_string(width) + "x" + std::to_string(height);
      case Kind::kInterlaced:
        return "interlaced/" + std::to_string(width) + "x" + std::to_string(height);
      case Kind::kAnimation:
        break;
    }
    return "animation/" + std::to_string(frames) + "x" + std::to_string(width) + "x" + std::to_string(height);
  }
  std::string file_name() const {
    std::string n = name();
    for (char &c : n) {
      if (c == '/') c = '_';
    }
    return n + ".gif";
  }
  double megapixels() const { return static_cast<double>(width) * height * frames / 1e6; }
};

// xorshift32: fast, and the same noise on every run.
struct Noise {
  uint32_t s;
  uint8_t next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return static_cast<uint8_t>(s >> 24);
  }
};

std::vector<Colour> palette_256() {
  std::vector<Colour> map;
  for (int i = 0; i < 256; ++i) {
    map.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i)});
  }
  return map;
}

Frame noise_frame(int width, int height, bool interlace, uint32_t seed) {
  Frame f;
  f.width = width;
  f.height = height;
  f.interlace = interlace;
  f.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  Noise noise{seed};
  for (uint8_t &p : f.pixels) p = noise.next();
  return f;
}

// The file of an input, drawn on first use and kept for the whole run. A
// file already in the folder (drawn by an earlier run given the same
// --kalu7_dir) is used as it is: the inputs never change.
const std::string &input_file(const Input &in) {
  static std::map<std::string, std::string> files;
  auto found = files.find(in.name());
  if (found != files.end()) return found->second;
  const std::string path = (g_config.dir / in.file_name()).string();
  std::error_code ec;
  if (fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0) return files.emplace(in.name(), path).first->second;
  GifDescription d;
  d.screen_width = in.width;
  d.screen_height = in.height;
  d.global_map = palette_256();
  for (int i = 0; i < in.frames; ++i) {
    d.frames.push_back(noise_frame(in.width, in.height, in.kind == Kind::kInterlaced, 0x9E3779B9u + 977u * i));
    if (in.kind == Kind::kAnimation) {
      d.frames.back().extensions_before.push_back(kalu7::gifwrite::graphic_control(4, -1));
    }
  }
  kalu7::gifwrite::write_file(path, kalu7::gifwrite::encode(d));
  return files.emplace(in.name(), path).first->second;
}

// ---- the three decoders -------------------------------------------------------

enum class Decoder { kModule, kSlurp, kStb };

const char *decoder_name(Decoder d) {
  switch (d) {
    case Decoder::kModule:
      return "module";
    case Decoder::kSlurp:
      return "slurp";
    case Decoder::kStb:
      break;
  }
  return "stb";
}

bool decoder_from_name(const std::string &s, Decoder *d) {
  for (Decoder c : {Decoder::kModule, Decoder::kSlurp, Decoder::kStb}) {
    if (s == decoder_name(c)) {
      *d = c;
      return true;
    }
  }
  return false;
}

const server_record *gif_server() {
  static kalu7::host::ModuleHandle handle;
  static const server_record *server = nullptr;
  if (server == nullptr) {
    if (!handle.is_open() && !handle.open(KALU7_MODULE_PATH)) throw std::runtime_error(handle.error());
    server = handle.find_server(HOST_CLASS_IMAGE_LOADER, "kalu7_gif");
    if (server == nullptr) throw std::runtime_error("the module has no kalu7_gif server");
  }
  return server;
}

std::vector<unsigned char> read_whole(const std::string &path) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return {};
  std::vector<unsigned char> bytes;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long n = std::ftell(f);
    if (n > 0 && std::fseek(f, 0, SEEK_SET) == 0) {
      bytes.resize(static_cast<size_t>(n));
      if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    }
  }
  std::fclose(f);
  return bytes;
}

// One whole load of the file; the width and height of the image delivered
// last (stb: of the canvas), or an error text.
struct Outcome {
  int width = -1;
  int height = -1;
  const char *error = nullptr;
};

Outcome decode(Decoder d, const std::string &path, bool animation) {
  Outcome o;
  switch (d) {
    case Decoder::kModule: {
      const kalu7::host::LoadRecord r = kalu7::host::load_discarding(*gif_server(), path);
      if (r.result != 0 || !r.violations.empty()) {
        o.error = "the module did not deliver the image";
      } else {
        o.width = r.width;
        o.height = r.height;
      }
      return o;
    }
    case Decoder::kSlurp: {
      int error = 0;
      GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
      if (gif == nullptr) {
        o.error = "DGifOpenFileName failed";
        return o;
      }
      if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) {
        o.error = "DGifSlurp failed";
      } else {
        const SavedImage &last = gif->SavedImages[gif->ImageCount - 1];
        benchmark::DoNotOptimize(last.RasterBits[0]);
        o.width = last.ImageDesc.Width;
        o.height = last.ImageDesc.Height;
      }
      DGifCloseFile(gif, &error);
      return o;
    }
    case Decoder::kStb:
      break;
  }
  int w = 0, h = 0, channels = 0;
  stbi_uc *pixels = nullptr;
  if (animation) {
    // stb decodes an animation only from memory; reading the file is part
    // of the load.
    std::vector<unsigned char> bytes = read_whole(path);
    int *delays = nullptr;
    int frames = 0;
    pixels = stbi_load_gif_from_memory(bytes.data(), static_cast<int>(bytes.size()), &delays, &w, &h, &frames,
                                       &channels, 0);
    stbi_image_free(delays);
  } else {
    pixels = stbi_load(path.c_str(), &w, &h, &channels, 0);
  }
  if (pixels == nullptr) {
    o.error = "stb_image failed";
    return o;
  }
  benchmark::DoNotOptimize(pixels[0]);
  stbi_image_free(pixels);
  o.width = w;
  o.height = h;
  return o;
}

// ---- peak memory ------------------------------------------------------------

// A field of /proc/self/status in KiB, or -1.
long status_kib(const char *field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':') {
      return std::strtol(line.c_str() + n + 1, nullptr, 10);
    }
  }
  return -1;
}

// Runs in the child: one load, then the rise of the resident high-water
// mark over what the process held just before it, in KiB, on stdout.
int peak_child(const std::string &decoder, const std::string &path, bool animation) {
  Decoder d;
  if (!decoder_from_name(decoder, &d)) return 2;
  if (d == Decoder::kModule) gif_server();  // the module's own pages are not the load's
  // Writing 5 to clear_refs resets the high-water mark to the current
  // resident size, so the baseline is exact; where that is refused the
  // current resident size serves, which the fresh process has not exceeded
  // by more than its start-up.
  {
    std::ofstream clear("/proc/self/clear_refs");
    if (clear) clear << "5";
  }
  const long before = status_kib("VmRSS");
  const Outcome o = decode(d, path, animation);
  const long peak = status_kib("VmHWM");
  if (o.error != nullptr || before < 0 || peak < 0) return 1;
  std::printf("%ld\n", peak - before);
  return 0;
}

// Runs the child and reads its answer; -1 when it could not be measured.
double peak_mib(Decoder d, const std::string &path, bool animation) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return -1;
  }
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    const std::string decoder = decoder_name(d);
    execl(g_config.self.c_str(), g_config.self.c_str(), "--kalu7_peak", decoder.c_str(), path.c_str(),
          animation ? "animation" : "single", static_cast<char *>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string text;
  char buffer[64];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) return -1;
  return std::strtod(text.c_str(), nullptr) / 1024.0;
}

// ---- the benchmarks -----------------------------------------------------------

void bm_load(benchmark::State &state, Decoder d, Input in) {
  std::string path;
  try {
    path = input_file(in);
    gif_server();
  } catch (const std::exception &e) {
    state.SkipWithError(e.what());
    return;
  }
  const bool animation = in.kind == Kind::kAnimation;
  for (auto _ : state) {
    const Outcome o = decode(d, path, animation);
    if (o.error != nullptr || o.width != in.width || o.height != in.height) {
      state.SkipWithError(o.error != nullptr ? o.error : "wrong image size");
      return;
    }
  }
  // Measured once per input and decoder, outside the timed loop.
  static std::map<std::string, double> peaks;
  const std::string key = std::string(decoder_name(d)) + "/" + in.name();
  if (peaks.find(key) == peaks.end()) peaks[key] = peak_mib(d, path, animation);
  state.counters["peak_MiB"] = peaks[key];
  state.counters["file_MiB"] = static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0);
  state.counters["Mpixels"] = in.megapixels();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(static_cast<double>(fs::file_size(path))));
}

void register_all() {
  const bool q = g_config.quick;
  const int big = q ? 96 : 3000;
  std::vector<Input> inputs = {
      {Kind::kSingle, big, big, 1},
      {Kind::kInterlaced, big, big, 1},
      {Kind::kAnimation, q ? 64 : 640, q ? 48 : 480, q ? 5 : 200},
  };
  // Further sizes of the single image, for the plot of time against size.
  const std::vector<int> sizes = q ? std::vector<int>{32} : std::vector<int>{500, 1000, 1500, 2000, 2500};
  for (int s : sizes) inputs.push_back({Kind::kSingle, s, s, 1});
  for (const Input &in : inputs) {
    for (Decoder d : {Decoder::kModule, Decoder::kSlurp, Decoder::kStb}) {
      const std::string name = "load/" + in.name() + "/" + decoder_name(d);
      benchmark::RegisterBenchmark(name.c_str(), bm_load, d, in)->Unit(benchmark::kMillisecond)->UseRealTime();
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 5 && std::strcmp(argv[1], "--kalu7_peak") == 0) {
    try {
      return peak_child(argv[2], argv[3], std::strcmp(argv[4], "animation") == 0);
    } catch (const std::exception &) {
      return 1;
    }
  }
  // Our own options are taken out before Google Benchmark sees the rest.
  std::vector<char *> rest;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && std::strcmp(argv[i], "--kalu7_quick") == 0) {
      g_config.quick = true;
    } else if (i > 0 && std::strncmp(argv[i], "--kalu7_dir=", 12) == 0) {
      g_config.dir = argv[i] + 12;
    } else {
      rest.push_back(argv[i]);
    }
  }
  std::error_code ec;
  g_config.self = fs::read_symlink("/proc/self/exe", ec).string();
  if (ec) g_config.self = argv[0];
  bool own_dir = false;
  if (g_config.dir.empty()) {
    std::string templ = (fs::temp_directory_path() / "kalu7_bench_XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) {
      std::perror("mkdtemp");
      return 2;
    }
    g_config.dir = templ;
    own_dir = true;
  } else {
    fs::create_directories(g_config.dir);
  }
  int n = static_cast<int>(rest.size());
  benchmark::Initialize(&n, rest.data());
  if (benchmark::ReportUnrecognizedArguments(n, rest.data())) return 1;
  register_all();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (own_dir) fs::remove_all(g_config.dir, ec);
  return 0;
}
