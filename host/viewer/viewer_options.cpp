#include "host/viewer/viewer_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "avm/bridge/layout_sizes.h"

namespace {

// The renderer reads screen sizes as 16-bit fields of one int (command 89).
constexpr int kMinSide = 11;
constexpr int kMaxSide = 8192;

bool ParseInt(const char* text, int* value) {
  char* end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || parsed < -1000000 || parsed > 1000000) {
    return false;
  }
  *value = static_cast<int>(parsed);
  return true;
}

bool ParseSize(const char* text, int* width, int* height) {
  const char* x = std::strchr(text, 'x');
  if (x == nullptr) {
    return false;
  }
  const std::string w(text, x);
  if (!ParseInt(w.c_str(), width) || !ParseInt(x + 1, height)) {
    return false;
  }
  return *width >= kMinSide && *width <= kMaxSide && *height >= kMinSide && *height <= kMaxSide;
}

}  // namespace

void LayoutScreenSize(int code, int* width, int* height) {
  int32_t w = 1024;
  int32_t h = 600;
  ScreenSizeOfLayoutCode(code, &w, &h);
  *width = w;
  *height = h;
}

bool ParseViewerOptions(int argc, char** argv, const std::string& defaultAssets,
                        ViewerOptions* options, std::string* problem) {
  options->assets = defaultAssets;
  bool sizeGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool takesValue = arg == "--assets" || arg == "--size" || arg == "--layout" ||
                            arg == "--script" || arg == "--log";
    if (takesValue && i + 1 >= argc) {
      *problem = arg + " needs a value";
      return false;
    }
    if (arg == "--help" || arg == "-h") {
      options->help = true;
      return true;
    } else if (arg == "--assets") {
      options->assets = argv[++i];
    } else if (arg == "--size") {
      if (!ParseSize(argv[++i], &options->width, &options->height)) {
        *problem = "--size takes WIDTHxHEIGHT, each 11..8192 pixels";
        return false;
      }
      sizeGiven = true;
    } else if (arg == "--layout") {
      if (!ParseInt(argv[++i], &options->layout) || options->layout < 0 || options->layout > 39) {
        *problem = "--layout takes a layout code 0..39";
        return false;
      }
    } else if (arg == "--script") {
      options->script = argv[++i];
    } else if (arg == "--log") {
      options->logFile = argv[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      *problem = "unknown option " + arg;
      return false;
    } else if (options->car.empty()) {
      options->car = arg;
    } else {
      *problem = "one car at a time";
      return false;
    }
  }
  if (options->car.empty()) {
    *problem = "no car package or car directory given";
    return false;
  }
  // A layout code brings its own screen size, and a size in pixels its own
  // layout: the renderer keeps only the one given last.
  if (sizeGiven && options->layout >= 0) {
    *problem = "--size and --layout both set the screen: give one of them";
    return false;
  }
  if (options->layout >= 0) {
    LayoutScreenSize(options->layout, &options->width, &options->height);
  }
  if (options->assets.empty()) {
    *problem = "no asset root: give --assets DIR";
    return false;
  }
  return true;
}
