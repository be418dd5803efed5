#include "host/viewer/viewer_loop.h"

#include <SDL.h>

#include <chrono>
#include <cstdio>

#include "host/viewer/renderer_app.h"
#include "host/viewer/viewer_actions.h"
#include "host/viewer/viewer_keys.h"
#include "host/viewer/viewer_window.h"
#include "tools/lib/exit_codes.h"

namespace {

using Clock = std::chrono::steady_clock;

// The animation query: 1 while the view turns (or a rotation show runs).
constexpr int kCmdAnimationQuery = 71;

struct Viewer {
  std::string carName;
  ViewerState state;
  bool turning = false;
  bool quit = false;
  int helpPage = -1;  // -1: the title shows the state
  int pictures = 0;   // pictures written with the P key
  long frames = 0;
  Clock::time_point start = Clock::now();
  // Frame rate over the last second or so.
  Clock::time_point rateMark = Clock::now();
  long rateFrames = 0;
  double rate = 0.0;
  std::string title;
};

int Send(int command, int argument) { return AppSetCmd(command, argument); }

void Act(Viewer& viewer, ActionId action, int argument) {
  const std::string note = ApplyAction(&viewer.state, action, argument, Send);
  if (!note.empty()) {
    std::printf("avm-viewer: %s\n", note.c_str());
  }
}

void UpdateTitle(Viewer& viewer) {
  std::string title;
  if (viewer.helpPage >= 0) {
    title = KeyHelpPage(viewer.helpPage);
  } else {
    char rate[32];
    std::snprintf(rate, sizeof(rate), " | %.1f fps", viewer.rate);
    title = viewer.carName + " | " + DescribeState(viewer.state) +
            (viewer.turning ? " | turning" : "") + rate + " | H: keys";
  }
  if (title != viewer.title) {
    SetWindowTitle(title);
    viewer.title = title;
  }
}

// One frame: AVM.Draw, the picture asked for (before the frame is
// presented: afterwards the back buffer's content is undefined), then the
// frame on screen. False when the frame or the picture failed.
bool Frame(Viewer& viewer, const std::string& picture) {
  if (AppDraw() != 1) {
    std::fprintf(stderr, "avm-viewer: AVM.Draw failed at frame %ld\n", viewer.frames + 1);
    return false;
  }
  bool ok = true;
  if (!picture.empty()) {
    std::string error;
    if (WriteFramePng(picture, &error)) {
      std::printf("avm-viewer: wrote %s (%s)\n", picture.c_str(),
                  DescribeState(viewer.state).c_str());
    } else {
      std::fprintf(stderr, "avm-viewer: cannot write %s: %s\n", picture.c_str(), error.c_str());
      ok = false;
    }
  }
  PresentFrame();
  ++viewer.frames;
  ++viewer.rateFrames;
  viewer.turning = !viewer.state.topView && AppSetCmd(kCmdAnimationQuery, 0) == 1;
  const Clock::time_point now = Clock::now();
  const double seconds = std::chrono::duration<double>(now - viewer.rateMark).count();
  if (seconds >= 1.0) {
    viewer.rate = static_cast<double>(viewer.rateFrames) / seconds;
    viewer.rateMark = now;
    viewer.rateFrames = 0;
  }
  UpdateTitle(viewer);
  return ok;
}

std::string NextPictureName(Viewer& viewer) {
  char name[64];
  std::snprintf(name, sizeof(name), "-%03d.png", ++viewer.pictures);
  return viewer.carName + name;
}

void HandleKey(Viewer& viewer, const SDL_KeyboardEvent& key, std::string* picture) {
  const KeyPress press = KeyFor(key.keysym.sym, (key.keysym.mod & KMOD_SHIFT) != 0);
  switch (press.command) {
    case KeyCommand::kAction:
      Act(viewer, press.action, press.argument);
      break;
    case KeyCommand::kPicture:
      *picture = NextPictureName(viewer);
      break;
    case KeyCommand::kHelp:
      if (viewer.helpPage < 0) {
        std::printf("avm-viewer keys:\n%s", KeysHelp().c_str());
      }
      viewer.helpPage = viewer.helpPage + 1 < KeyHelpPages() ? viewer.helpPage + 1 : -1;
      break;
    case KeyCommand::kQuit:
      viewer.quit = true;
      break;
    case KeyCommand::kNone:
      break;
  }
}

// Takes the window's events; a script run only listens for closing.
void PollEvents(Viewer& viewer, bool keys, std::string* picture) {
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (event.type == SDL_QUIT) {
      viewer.quit = true;
    } else if (event.type == SDL_KEYDOWN && keys) {
      HandleKey(viewer, event.key, picture);
    } else if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) {
      viewer.quit = true;
    }
  }
}

void PrintRate(const Viewer& viewer) {
  const double seconds = std::chrono::duration<double>(Clock::now() - viewer.start).count();
  std::printf("avm-viewer: %ld frames in %.2f s (%.1f frames per second)\n", viewer.frames, seconds,
              seconds > 0.0 ? static_cast<double>(viewer.frames) / seconds : 0.0);
}

// Draws until the renderer says the view rests (the frame after the one
// that reached the target angle), at most kMaxSettleFrames.
bool Settle(Viewer& viewer, int line) {
  for (int frame = 0; frame < kMaxSettleFrames; ++frame) {
    if (!Frame(viewer, "")) {
      return false;
    }
    if (!viewer.turning) {
      return true;
    }
  }
  std::fprintf(stderr, "avm-viewer: script line %d: the view still turns after %d frames\n", line,
               kMaxSettleFrames);
  return false;
}

}  // namespace

int RunInteractive(const std::string& carName) {
  Viewer viewer;
  viewer.carName = carName;
  std::printf("avm-viewer: H shows the keys in the title; Esc or Q quits\n");
  while (!viewer.quit) {
    std::string picture;
    PollEvents(viewer, true, &picture);
    if (viewer.quit) {
      break;
    }
    if (!Frame(viewer, picture)) {
      return tools::kExitIo;
    }
  }
  PrintRate(viewer);
  return tools::kExitOk;
}

int RunScript(const std::string& carName, const std::vector<ScriptStep>& steps) {
  Viewer viewer;
  viewer.carName = carName;
  for (const ScriptStep& step : steps) {
    std::string unused;
    PollEvents(viewer, false, &unused);
    if (viewer.quit) {
      std::printf("avm-viewer: window closed at script line %d\n", step.line);
      return tools::kExitIo;
    }
    bool ok = true;
    switch (step.kind) {
      case ScriptStep::Kind::kAction:
        Act(viewer, step.action, step.number);
        break;
      case ScriptStep::Kind::kFrames:
        for (int frame = 0; frame < step.number && ok; ++frame) {
          ok = Frame(viewer, "");
        }
        break;
      case ScriptStep::Kind::kSettle:
        ok = Settle(viewer, step.line);
        break;
      case ScriptStep::Kind::kShot:
        ok = Frame(viewer, step.path);
        break;
    }
    if (!ok) {
      return tools::kExitIo;
    }
  }
  PrintRate(viewer);
  return tools::kExitOk;
}
