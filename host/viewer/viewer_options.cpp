#include "host/viewer/viewer_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The layout codes of command 19 with the screen each stands for, as the
// app knows them; the window must be that screen.
struct LayoutScreen {
  int code;
  int width;
  int height;
};
constexpr LayoutScreen kLayoutScreens[] = {
    {0, 1024, 600},  {1, 1280, 720},   {2, 1280, 480},   {3, 1280, 800},  {4, 1920, 720},
    {5, 1920, 860},  {6, 1920, 1080},  {7, 2000, 1200},  {8, 1600, 720},  {9, 1920, 1200},
    {15, 1000, 600}, {16, 1024, 458},  {17, 960, 600},   {18, 1024, 576}, {19, 1024, 384},
    {20, 768, 1024}, {21, 800, 1280},  {22, 1080, 1920}, {23, 960, 1280}, {24, 768, 720},
    {25, 768, 880},  {26, 800, 1100},  {27, 1080, 1650}, {33, 436, 600},  {34, 375, 600},
    {35, 337, 600},  {36, 640, 600},   {37, 392, 600},   {38, 523, 600},  {39, 450, 600},
};

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
  *width = 1024;
  *height = 600;
  for (const LayoutScreen& screen : kLayoutScreens) {
    if (screen.code == code) {
      *width = screen.width;
      *height = screen.height;
    }
  }
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
