// avm-viewer under a virtual X display: a script turns the sample car to
// two state angles, opens a door and switches to the top view, and the
// pictures it writes show, by the marks the sample kit hides in every car
// pixel, the side, the door and the view asked for. A package the renderer
// refuses ends the viewer with the tools' status, the renderer's result and
// log line, and no window.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include <opencv2/imgcodecs.hpp>

#include "tests/support/process_runner.h"
#include "tools/lib/sample_marks.h"

namespace {

namespace sm = sample_marks;

// An Xvfb server on a display number it picks itself (-displayfd), so that
// tests running side by side never race for one. Started and stopped by
// the test; a missing Xvfb fails the test (the set-up installs it).
class VirtualDisplay {
 public:
  VirtualDisplay() {
    int fds[2];
    if (pipe(fds) != 0) {
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // The server writes its display number once it accepts clients; end of
    // file means it did not start.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
      number += c;
    }
    close(fds[0]);
    if (!number.empty()) {
      display_ = ":" + number;
    }
  }
  ~VirtualDisplay() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Layer codes of a picture the viewer wrote, counted over the pixels whose
// 3 x 3 neighbourhood has exactly their colour: there the texture was
// sampled where all its texels agree, so the code hidden in the low bits
// is the car file's own. Edges, where sampling mixes texels, are left out.
struct LayerPixels {
  std::map<int, int> count;
  std::map<int, double> sumX;
  double MeanX(int layer) const { return sumX.at(layer) / count.at(layer); }
  // The layers that at least a few flat pixels show.
  std::set<int> Shown() const {
    std::set<int> layers;
    for (const auto& [layer, n] : count) {
      if (n >= 10) {
        layers.insert(layer);
      }
    }
    return layers;
  }
};

LayerPixels ReadLayers(const std::string& path) {
  LayerPixels layers;
  const cv::Mat picture = cv::imread(path, cv::IMREAD_COLOR);
  if (picture.empty()) {
    ADD_FAILURE() << "no picture " << path;
    return layers;
  }
  for (int y = 1; y + 1 < picture.rows; ++y) {
    for (int x = 1; x + 1 < picture.cols; ++x) {
      const uint8_t* p = picture.ptr<uint8_t>(y) + 3 * x;
      if ((p[0] | p[1] | p[2]) == 0) {
        continue;  // the black screen around the car
      }
      bool flat = true;
      for (int dy = -1; dy <= 1 && flat; ++dy) {
        for (int dx = -1; dx <= 1 && flat; ++dx) {
          flat = std::memcmp(p, picture.ptr<uint8_t>(y + dy) + 3 * (x + dx), 3) == 0;
        }
      }
      if (!flat) {
        continue;
      }
      // The frame shows the texture's bytes as the car file decoded them
      // (B, G, R), which the picture file holds as red, green, blue.
      const uint8_t decoded[3] = {p[2], p[1], p[0]};
      const int layer = sm::PixelLayer(decoded);
      ++layers.count[layer];
      layers.sumX[layer] += x;
    }
  }
  return layers;
}

// Whether the viewer's report repeats a renderer log line holding text.
bool ReportsLogLine(const std::string& standardError, const std::string& text) {
  const std::string prefix = "avm-viewer: renderer log: ";
  for (size_t at = standardError.find(prefix); at != std::string::npos;
       at = standardError.find(prefix, at + 1)) {
    const size_t end = standardError.find('\n', at);
    if (standardError.substr(at, end - at).find(text) != std::string::npos) {
      return true;
    }
  }
  return false;
}

ProgramResult RunViewer(const VirtualDisplay& display, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {AVM_VIEWER_PATH};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunProgram(argv, {"DISPLAY=" + display.display()});
}

TEST(Viewer, ScriptShowsTheSidesTheDoorAndTheTopViewAskedFor) {
  VirtualDisplay display;
  ASSERT_FALSE(display.display().empty()) << "Xvfb did not start";
  TempDir dir;
  // Only the car over black: the ground pictures carry no layer codes.
  ASSERT_TRUE(WriteFile(dir / "views.txt",
                        "background\nroadway\nlanes\nshadow\n"
                        "state 158\nsettle\nshot " + (dir / "right.png") + "\n"
                        "state 130\nsettle\nshot " + (dir / "left.png") + "\n"
                        "door 0\nshot " + (dir / "left-door.png") + "\n"
                        "top\nshot " + (dir / "top.png") + "\n"));
  const ProgramResult run =
      RunViewer(display, {"--script", dir / "views.txt", "--log", dir / "log.txt",
                          std::string(AVM_SAMPLE_ASSETS_DIR) + "/common/demo.car"});
  ASSERT_EQ(run.exitStatus, 0) << run.standardOutput << run.standardError;
  EXPECT_NE(run.standardOutput.find("showing demo in a 1024x600 window"), std::string::npos);

  const int front = sm::WheelLayer(true, 0, 0);
  const int back = sm::WheelLayer(false, 0, 0);
  // The side views: the whole car with its wheels pasted in (standing, so
  // frame 0, front wheel straight). From the right the front wheel is right
  // of the back one, from the left it is left of it.
  const LayerPixels right = ReadLayers(dir / "right.png");
  EXPECT_EQ(right.Shown(), (std::set<int>{sm::kLayerWholeCar, front, back}));
  const LayerPixels left = ReadLayers(dir / "left.png");
  EXPECT_EQ(left.Shown(), (std::set<int>{sm::kLayerWholeCar, front, back}));
  if (right.Shown().count(front) != 0 && left.Shown().count(front) != 0) {
    EXPECT_GT(right.MeanX(front), right.MeanX(back));
    EXPECT_LT(left.MeanX(front), left.MeanX(back));
  }
  // Door 0 open on the left side: its door picture, and the base's own
  // wheels (door pictures come without wheel animation).
  EXPECT_EQ(ReadLayers(dir / "left-door.png").Shown(),
            (std::set<int>{sm::kLayerWholeCar, sm::kLayerDoor + 0}));
  // The top view: the top picture instead of any whole-car picture, with
  // the open door pasted in.
  EXPECT_EQ(ReadLayers(dir / "top.png").Shown(),
            (std::set<int>{sm::kLayerTopImage, sm::kLayerDoor + 0}));
}

TEST(Viewer, RefusedPackagesEndWithTheirStatusAndNoWindow) {
  VirtualDisplay display;
  ASSERT_FALSE(display.display().empty()) << "Xvfb did not start";
  TempDir dir;
  const std::string package = ReadFile(std::string(AVM_SAMPLE_ASSETS_DIR) + "/common/demo.car");
  ASSERT_GT(package.size(), 16u);
  // A damaged package: the first entry's trailer is wrong.
  std::string damaged = package;
  int32_t nameLength = 0;
  int32_t dataLength = 0;
  std::memcpy(&nameLength, &damaged[0], 4);
  ASSERT_GT(nameLength, 0);
  ASSERT_LT(static_cast<size_t>(8 + nameLength), damaged.size());
  std::memcpy(&dataLength, &damaged[4 + static_cast<size_t>(nameLength)], 4);
  const size_t trailer = 8 + static_cast<size_t>(nameLength) + static_cast<size_t>(dataLength);
  ASSERT_LT(trailer, damaged.size());
  damaged[trailer] = 0;
  ASSERT_TRUE(WriteFile(dir / "bad.car", damaged));
  // A whole package under another name: it unpacks the car "demo", so no
  // car "other" is there to select.
  ASSERT_TRUE(WriteFile(dir / "other.car", package));

  const struct {
    const char* file;
    int status;
    const char* call;
    const char* log;
  } cases[] = {
      {"bad.car", 3, "AVM.SetCar(\"bad.car\", 1) = -4", "crc error."},
      {"other.car", 4, "AVM.SetCar(\"other\", 3) = -5", "set car other failed!car not exist."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const ProgramResult run = RunViewer(display, {dir / c.file});
    EXPECT_EQ(run.exitStatus, c.status) << run.standardError;
    EXPECT_NE(run.standardError.find(c.call), std::string::npos) << run.standardError;
    // The renderer's own log line, repeated in the viewer's report.
    EXPECT_TRUE(ReportsLogLine(run.standardError, c.log)) << run.standardError;
    EXPECT_EQ(run.standardOutput.find("showing"), std::string::npos) << run.standardOutput;
  }
}

}  // namespace
