// avm-viewer: shows a car package or car directory in the renderer, in a
// window, driven as the app drives it: the app's Java class in a Java VM
// loads the shipped renderer library and calls Init and Draw on the thread
// whose OpenGL ES 2.0 context is the window's.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/viewer/renderer_app.h"
#include "host/viewer/scratch_assets.h"
#include "host/viewer/viewer_actions.h"
#include "host/viewer/viewer_keys.h"
#include "host/viewer/viewer_loop.h"
#include "host/viewer/viewer_options.h"
#include "host/viewer/viewer_script.h"
#include "host/viewer/viewer_window.h"
#include "tools/lib/exit_codes.h"
#include "tools/lib/file_util.h"

namespace {

constexpr int kCmdScreenSizeCode = 19;
constexpr int kCmdScreenSizePixels = 89;
constexpr int kUnpackMode = 1;
// Selection as the app makes it before the first frame: the first 24
// angles at once, the others one per idle frame.
constexpr int kSelectMode = 3;

const char kUsage[] =
    "usage: avm-viewer [--assets DIR] [--size WxH | --layout CODE] [--script FILE]\n"
    "                  [--log FILE] PACKAGE.car | CAR_DIR\n"
    "\n"
    "Shows a car in the renderer, in a window, as the app drives it. A package\n"
    "is unpacked by the renderer (AVM.SetCar(name, 1)) into a scratch asset\n"
    "root; a car directory is used as it stands. The car is then selected and\n"
    "shown in the 3D view. The window opens only once the renderer took the car.\n"
    "\n"
    "  --assets DIR   asset root whose common/ pictures are shown around the car\n"
    "                 (default: the sample kit of the build)\n"
    "  --size WxH     window and screen size in pixels (default 1024x600)\n"
    "  --layout CODE  screen by layout code (0..39), with that code's size\n"
    "  --script FILE  run the script's steps, write its pictures, and exit\n"
    "  --log FILE     the renderer's log lines go to FILE (default: standard error)\n"
    "  --help         this text\n"
    "\n"
    "Exit status: 0 done; 1 bad arguments or script; 2 a file could not be read\n"
    "or written, or no window, Java VM or renderer; 3 the renderer refused the\n"
    "package (damaged); 4 the renderer found no usable car.\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "avm-viewer: %s\n\n%s", problem.c_str(), kUsage);
  return tools::kExitUsage;
}

void PrintHelp() {
  std::printf("%s\nKeys:\n%s\nScript lines (one step each; '#' starts a comment):\n%s%s", kUsage,
              KeysHelp().c_str(), ScriptWordsHelp().c_str(), ScriptControlHelp().c_str());
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsPlainFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The car the renderer names after a package: its file name without the
// last four characters (".car").
std::string PackageCarName(const std::string& fileName) {
  return fileName.size() > 4 ? fileName.substr(0, fileName.size() - 4) : "";
}

const char* UnpackMeaning(int result) {
  switch (result) {
    case -1:
      return "no such package";
    case -2:
      return "the package cannot be opened";
    case -4:
      return "the package is damaged";
    default:
      return "not unpacked";
  }
}

// Prints what the renderer refused, its result and its own log lines of
// the call (without the lines that only frame every call).
void ReportRefusal(const std::string& what, const std::string& call, int result,
                   const char* meaning, const std::vector<std::string>& log) {
  std::fprintf(stderr, "avm-viewer: the renderer refused %s: %s = %d (%s)\n", what.c_str(),
               call.c_str(), result, meaning);
  for (const std::string& line : log) {
    if (line.rfind("---------SetCar:", 0) != 0) {
      std::fprintf(stderr, "avm-viewer: renderer log: %s\n", line.c_str());
    }
  }
}

struct Session {
  ScratchAssets scratch;
  bool window = false;
  std::FILE* log = nullptr;
};

[[noreturn]] void Finish(Session& session, int status) {
  if (session.window) {
    CloseWindow();
  }
  RemoveScratchAssets(session.scratch);
  if (session.log != nullptr) {
    SetRendererLogFile(nullptr);
    std::fclose(session.log);
  }
  // The Java VM is never destroyed; letting the process's static
  // destructors run beside its threads makes the VM's signal check report
  // handlers as changed while the process goes down. Nothing is left to
  // tidy once the window and the scratch folder are gone.
  std::fflush(nullptr);
  std::_Exit(status);
}

// Unpacks (a package) and selects the car. Returns 0, or the exit status
// after reporting the refusal.
int TakeCar(const ViewerOptions& options, bool package, const std::string& carName) {
  if (package) {
    const std::string fileName = tools::BaseName(options.car);
    StartLogCapture();
    const int unpacked = AppSetCar(fileName, kUnpackMode);
    const std::vector<std::string> log = TakeCapturedLog();
    if (unpacked != 1) {
      ReportRefusal("the package " + options.car, "AVM.SetCar(\"" + fileName + "\", 1)", unpacked,
                    UnpackMeaning(unpacked), log);
      return unpacked == -4 ? tools::kExitRefused : tools::kExitIo;
    }
  }
  StartLogCapture();
  const int selected = AppSetCar(carName, kSelectMode);
  const std::vector<std::string> log = TakeCapturedLog();
  if (selected != 1) {
    ReportRefusal((package ? "the car of " : "the car directory ") + options.car,
                  "AVM.SetCar(\"" + carName + "\", " + std::to_string(kSelectMode) + ")", selected,
                  "no usable car: params.bin and tires/right_30/f5.kes missing or too small, or "
                  "the name too long",
                  log);
    return selected == -5 ? tools::kExitNotACar : tools::kExitIo;
  }
  return tools::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  ViewerOptions options;
  std::string problem;
  if (!ParseViewerOptions(argc, argv, AVM_SAMPLE_ASSETS_DIR, &options, &problem)) {
    return Usage(problem);
  }
  if (options.help) {
    PrintHelp();
    return tools::kExitOk;
  }
  const bool package = IsPlainFile(options.car);
  if (!package && !IsDirectory(options.car)) {
    std::fprintf(stderr, "avm-viewer: %s is neither a car package nor a car directory\n",
                 options.car.c_str());
    return tools::kExitIo;
  }
  if (!IsDirectory(options.assets + "/common")) {
    std::fprintf(stderr, "avm-viewer: no common/ pictures in %s (give --assets DIR)\n",
                 options.assets.c_str());
    return tools::kExitIo;
  }
  const std::string carName =
      package ? PackageCarName(tools::BaseName(options.car)) : tools::BaseName(options.car);
  std::vector<ScriptStep> steps;
  if (!options.script.empty() && !ReadScript(options.script, &steps, &problem)) {
    std::fprintf(stderr, "avm-viewer: %s\n", problem.c_str());
    return IsPlainFile(options.script) ? tools::kExitUsage : tools::kExitIo;
  }

  Session session;
  if (!options.logFile.empty()) {
    session.log = std::fopen(options.logFile.c_str(), "w");
    if (session.log == nullptr) {
      std::fprintf(stderr, "avm-viewer: cannot write %s\n", options.logFile.c_str());
      return tools::kExitIo;
    }
    SetRendererLogFile(session.log);
  }
  if (!MakeScratchAssets(options.assets, &session.scratch, &problem) ||
      (package ? !AddPackage(session.scratch, options.car, &problem)
               : !AddCarDirectory(session.scratch, options.car, carName, &problem))) {
    std::fprintf(stderr, "avm-viewer: %s\n", problem.c_str());
    Finish(session, tools::kExitIo);
  }
  // The renderer's Init needs a current context; the window stays hidden
  // until the car is taken.
  if (!OpenHiddenWindow(options.width, options.height, &problem)) {
    std::fprintf(stderr, "avm-viewer: %s\n", problem.c_str());
    Finish(session, tools::kExitIo);
  }
  session.window = true;
  if (!StartRendererApp(&problem)) {
    std::fprintf(stderr, "avm-viewer: %s\n", problem.c_str());
    Finish(session, tools::kExitIo);
  }
  if (options.layout >= 0) {
    AppSetCmd(kCmdScreenSizeCode, options.layout);
  } else {
    AppSetCmd(kCmdScreenSizePixels, options.width * 65536 + options.height);
  }
  const int initialised = AppInitialise(session.scratch.root);
  if (initialised != 1) {
    std::fprintf(stderr, "avm-viewer: AVM.Init(\"%s\") = %d: the renderer did not start\n",
                 session.scratch.root.c_str(), initialised);
    Finish(session, tools::kExitIo);
  }
  const int taken = TakeCar(options, package, carName);
  if (taken != tools::kExitOk) {
    Finish(session, taken);
  }
  SendStartState(ViewerState{}, [](int command, int argument) { return AppSetCmd(command, argument); });
  ShowWindow();
  std::printf("avm-viewer: showing %s in a %dx%d window\n", carName.c_str(), options.width,
              options.height);
  std::fflush(stdout);
  const int status = options.script.empty() ? RunInteractive(carName) : RunScript(carName, steps);
  Finish(session, status);
}
