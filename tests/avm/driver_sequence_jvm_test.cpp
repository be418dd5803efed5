// What the driver sees stays true through every change of state. Long
// random sequences of the inputs that change what the car looks like go
// through the app's Java class (view angles and their turns, the view
// reset, speed, gear, steering, doors, lamps, beams, screen modes 5, 12, 15
// and 20, the demonstration, selecting the car again) on the sample car.
// After every frame the screen is read back and held against what the
// inputs sent so far say must be on it, told by the marks the sample kit
// hides in every opaque pixel:
//
//  - the car picture is the one of the current view angle: whole while the
//    view turns or rests between state angles, composed on that angle's
//    base at rest on a state angle; the view comes to rest on its target;
//  - at rest on 130 or 158 without open doors the front wheel is turned as
//    far as the current steering says;
//  - the doors shown are exactly the open ones where the car has door
//    pictures, in the 3D view and in the top view;
//  - a lamp lights only where the lamp state lets that lamp blink, and then
//    it does; the beams show exactly while they are on;
//  - the wheels keep their frame while the speed is 1500 or less (and the
//    direction and the doors stay as they are);
//  - screen mode 15 shows nothing.
//
// Each sequence comes from a seed. A failing one is cut down to the
// shortest sequence that still fails, which is printed with its seed and
// can be replayed. Environment:
//   AVM_DRIVER_SEED=<n>          runs only the sequence of seed n
//   AVM_DRIVER_SEQUENCE=<text>   replays a sequence as a failure prints it
//   AVM_DRIVER_SOAK_FRAMES=<n>   runs seeds 1, 2, ... until n frames are drawn
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "avm/bridge/frame_clock.h"
#include "avm/bridge/scene_state.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/sprite_quad.h"
#include "avm/view/car_params.h"
#include "avm/view/frame_loop.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/driver_expectation.h"
#include "tests/avm/driver_sequence.h"
#include "tests/avm/driver_view.h"
#include "tests/avm/jvm_test_support.h"
#include "tests/support/process_runner.h"
#include "tools/lib/sample_marks.h"

namespace {

namespace sm = sample_marks;

// A frame clock that moves only when the pacing sleeps: every frame finds
// idle time, so the idle loading of the car's angles goes the same way in
// every run of a sequence.
uint32_t gDriverNow = 0;
uint32_t DriverNow() { return gDriverNow; }
void DriverSleep(uint32_t ms) { gDriverNow += ms; }

struct Failure {
  bool failed = false;
  int frame = -1;    // index of the failing frame in the sequence
  std::string kind;  // which promise broke
  std::string detail;
};

Failure Broken(const std::string& kind, const std::string& detail) {
  Failure failure;
  failure.failed = true;
  failure.kind = kind;
  failure.detail = detail;
  return failure;
}

std::string Describe(const std::set<int>& values) {
  std::string text = "{";
  for (int value : values) {
    text += (text.size() > 1 ? "," : "") + std::to_string(value);
  }
  return text + "}";
}

// The lamps lit over the frames at rest on one state angle since the last
// change of anything.
struct LampWatch {
  int frames = 0;
  std::set<int> lit;
};

// Drives the Java class through sequences and checks every frame.
class Driver {
 public:
  void Start() {
    root_ = JavaStartWithCar(dir_.path(), std::string(AVM_SAMPLE_ASSETS_DIR) + "/common/demo.car");
    ASSERT_FALSE(root_.empty());
    scene_ = pViewParam;
    ASSERT_EQ(scene_->doorSpritesAvailable, 1);
    ASSERT_EQ(scene_->partialWheelSpritesPresent, 1);
    // The screen shows texels, not blends of them: the marks stay readable.
    NearestCarTextures(scene_);
    gFrameClock = FrameClock{DriverNow, DriverSleep};
    LearnVisibleOverlays();
    ready_ = true;
  }

  bool ready() const { return ready_; }

  void Stop() { gFrameClock = FrameClock{GetTickCount, SleepMilliseconds}; }

  // Runs a sequence from the home state; the first broken promise ends it.
  Failure Run(const Sequence& sequence) {
    Home(sequence.startPhase);
    Expectation expect;
    lastWheelEpoch_ = ~uint64_t{0};
    lastWheelFrame_ = -1;
    lampWatch_ = LampWatch();
    int frame = 0;
    for (const Step& step : sequence.steps) {
      expect.Sent(step, Send(step));
      lampWatch_ = LampWatch();
      for (int i = 0; i < step.frames; ++i, ++frame, ++frames_) {
        DrawOne(&expect);
        Failure failure = Check(expect);
        if (failure.failed) {
          failure.frame = frame;
          return failure;
        }
      }
    }
    return Failure();
  }

  uint64_t frames() const { return frames_; }

 private:
  static constexpr int kTopView = -1;

  // Which door pictures of each state angle and of the top view, and which
  // lamp pictures, have a fully opaque pixel: one without cannot be seen.
  void LearnVisibleOverlays() {
    const std::string car = root_ + ".tmp/demo/color/";
    const std::pair<int, const char*> doorGroups[] = {{54, "front"},  {72, "front2"},
                                                      {130, "left"},  {144, "back"},
                                                      {158, "right"}, {kTopView, "top"}};
    for (const auto& [angle, group] : doorGroups) {
      visibleDoors_[angle];
      for (int k = 0; k < 6; ++k) {
        if (OpaquePixels(car + "door/" + group + "/d" + std::to_string(k) + ".kes") > 0) {
          visibleDoors_[angle].insert(k);
        }
      }
    }
    const std::pair<int, const char*> lamps[] = {
        {sm::kLampLeft4, "left/4"},      {sm::kLampRight5, "right/5"},
        {sm::kLampFront0, "front/0"},    {sm::kLampFront1, "front/1"},
        {sm::kLampBack4, "back/4"},      {sm::kLampBack5, "back/5"},
        {sm::kLampFront2_0, "front2/0"}, {sm::kLampFront2_1, "front2/1"},
        {sm::kLampFront2_2, "front2/2"}, {sm::kLampFront2_3, "front2/3"}};
    for (const auto& [lamp, file] : lamps) {
      if (OpaquePixels(car + "light/" + file + ".kes") > 0) {
        visibleLamps_.insert(lamp);
      }
    }
  }

  static int OpaquePixels(const std::string& path) {
    const cv::Mat image = cv::imread(path, cv::IMREAD_UNCHANGED);
    int count = 0;
    for (int y = 1; y < image.rows && image.type() == CV_8UC4; ++y) {
      for (int x = 0; x < image.cols; ++x) {
        count += image.at<cv::Vec4b>(y, x)[3] == 255 ? 1 : 0;
      }
    }
    return count;
  }

  // The kit's whole-car picture of an angle, bytes as decoded (as uploaded).
  const Picture& Base(int angle) {
    std::unique_ptr<Picture>& picture = bases_[angle];
    if (!picture) {
      picture = std::make_unique<Picture>();
      const cv::Mat image = cv::imread(
          root_ + ".tmp/demo/color/a/" + std::to_string(angle) + ".kes", cv::IMREAD_UNCHANGED);
      if (image.type() == CV_8UC4 && image.isContinuous()) {
        picture->width = image.cols;
        picture->height = image.rows;
        picture->rgba.assign(image.data, image.data + image.total() * 4);
      }
    }
    return *picture;
  }

  // Every sequence starts from the same state: nothing open, lit, steered
  // or moving, the rear view, the car selected afresh (and forgotten by a
  // frame that draws nothing: no camera picture, top-view mode), only the
  // car drawn. The animation counters that live as long as the process
  // start from zero, so that a replay animates as the first run did, and
  // the frame counter from the sequence's place in the demonstration's
  // cycle.
  void Home(uint32_t startPhase) {
    const std::pair<int, int> commands[] = {
        {16, 0}, {0, 12}, {4, 0},   {6, 0},  {3, 0},   {1, 0},   {2, 0},   {102, 0},
        {73, 1}, {69, 0}, {100, 0}, {15, 0}, {106, 0}, {107, 0}, {108, 0}, {109, 0}};
    for (const auto& [command, arg] : commands) {
      EXPECT_EQ(JavaSetCmd(command, arg), 1) << "command " << command;
    }
    EXPECT_EQ(JavaSetCar("demo", 2), 1);
    gWheelPhase = 0;
    gWheelTickCounter = 0;
    gDemoDirection = 1;
    gDemoSteerStep = 1.0f;
    gBridge.demoSteer = 0.0f;
    scene_->blinkPhase = 0;
    const std::vector<int> noCamera = {-1};
    EXPECT_EQ(JavaDraw(&noCamera), 1);
    scene_->frameCounter = kDemoCycle + startPhase - 1;
    EXPECT_EQ(JavaSetCmd(0, 5), 1);
    counter_ = scene_->frameCounter;
    TakeNotifications();
    TakeLoadRequests();
  }

  // Sends the step's input; its result.
  static int Send(const Step& step) {
    static const std::map<Input, int> kCommands = {
        {Input::kAngle, 7},  {Input::kViewReset, 69}, {Input::kSpeed, 2},  {Input::kGear, 1},
        {Input::kSteer, 3},  {Input::kDoors, 4},      {Input::kLamps, 6},  {Input::kBeams, 102},
        {Input::kScreen, 0}, {Input::kDemo, 16},      {Input::kSmooth, 73}};
    int result = 1;
    if (step.input == Input::kCarAgain) {
      result = JavaSetCar("demo", 2);
    } else if (step.input != Input::kNone) {
      result = JavaSetCmd(kCommands.at(step.input), step.arg);
    }
    // Only the angle is ever refused: while a rotation show runs.
    EXPECT_TRUE(result == 1 || (step.input == Input::kAngle && result == -1))
        << static_cast<char>(step.input) << step.arg << ": " << result;
    return result;
  }

  void DrawOne(Expectation* expect) {
    const uint32_t n = ++counter_;
    const int doorsBefore = expect->doors;
    expect->Frame(n);
    if (expect->doors != doorsBefore) {
      lampWatch_ = LampWatch();
    }
    const std::vector<int> camera = {0};
    EXPECT_EQ(JavaDraw(&camera), 1);
    if (n % 1000 == 0) {
      TakeNotifications();  // the host's Java side keeps them all
      TakeLoadRequests();
    }
  }

  Failure Check(const Expectation& expect) {
    switch (expect.mode) {
      case 5:
        return Check3D(expect);
      case 12:
        lampWatch_ = LampWatch();
        return CheckTop(expect);
      case 15:
        lampWatch_ = LampWatch();
        screen_.Read();
        return screen_.Black() ? Failure() : Broken("blank", "screen mode 15 shows something");
      default:
        lampWatch_ = LampWatch();
        return Failure();
    }
  }

  Failure Check3D(const Expectation& expect) {
    const int angle = scene_->spriteAngle;
    const std::string where =
        "angle " + std::to_string(angle) + " (target " + std::to_string(expect.target) + ")";
    if (scene_->spriteAngleTarget != expect.target) {
      return Broken("target",
                    where + ": the view turns to " + std::to_string(scene_->spriteAngleTarget));
    }
    if (angle != expect.target && expect.turnFrames > kSpriteAngles) {
      return Broken(
          "rest", where + ": still turning after " + std::to_string(expect.turnFrames) + " frames");
    }
    const bool composed = angle == expect.target && IsStateAngle3D(angle);
    float quad[12];
    if (!WholeCarSpriteQuad(scene_, carCordCur[angle],
                            composed ? SpriteEdges::kHalfPixelFurther : SpriteEdges::kWhole,
                            quad)) {
      return Broken("picture", where + ": no place for the car");
    }
    // Only the car's place and a margin around it: nothing else on screen
    // is drawn from car pictures.
    float rect[4];
    QuadRect(scene_->mainViewport, quad, 4.0f, rect);
    screen_.Read(rect);
    const CarSighting car = SightCar(screen_, scene_->mainViewport, quad, Base(angle));
    if (car.wrong > 0 || car.matched * 2 < car.expected) {
      std::ostringstream detail;
      detail << where << ": " << car.matched << " of " << car.expected
             << " pixels show the angle's own car picture, " << car.wrong << " another";
      return Broken("picture", detail.str());
    }
    const CarParts parts = PartsOf(car.layers);
    if (!composed) {
      lampWatch_ = LampWatch();
      if (!parts.frontWheels.empty() || !parts.backWheels.empty() || !parts.lamps.empty() ||
          !parts.doorImages.empty()) {
        return Broken("picture", where + ": moving parts on the whole car");
      }
      return Failure();
    }
    // Doors, where the car has pictures of them at this angle.
    const auto visible = visibleDoors_.find(angle);
    const bool hasDoors = visible != visibleDoors_.end();
    Failure failure = CompareDoors(where, hasDoors ? DoorImagesOf(expect.doors) : std::set<int>(),
                                   parts.doorImages, hasDoors ? visible->second : std::set<int>());
    if (!failure.failed) {
      failure = CheckLamps(where, angle, expect, parts);
    }
    if (!failure.failed) {
      failure = CheckWheels(where, angle, expect, parts);
    }
    return failure;
  }

  // Seen door pictures must be those of open doors; open doors must be seen
  // where their picture shows anything.
  static Failure CompareDoors(const std::string& where, const std::set<int>& expected,
                              const std::set<int>& seen, const std::set<int>& visible) {
    bool right = true;
    for (int k : seen) {
      right = right && expected.count(k) == 1;
    }
    for (int k : expected) {
      right = right && (seen.count(k) == 1 || visible.count(k) == 0);
    }
    if (right) {
      return Failure();
    }
    return Broken("doors", where + ": door pictures " + Describe(seen) + " (doors " +
                               std::to_string(DoorsOfImages(seen)) + ") for the open doors " +
                               std::to_string(DoorsOfImages(expected)) + " (pictures " +
                               Describe(expected) + ")");
  }

  Failure CheckLamps(const std::string& where, int angle, const Expectation& expect,
                     const CarParts& parts) {
    const std::set<int> allowed = LampsAllowed(angle, expect.lamps, expect.beams);
    for (int lamp : parts.lamps) {
      if (allowed.count(lamp) == 0) {
        return Broken("lamp", where + ": lamp " + std::to_string(lamp) + " lit with lamp state " +
                                  std::to_string(expect.lamps) +
                                  (expect.beams ? ", beams on" : ", beams off"));
      }
    }
    for (int lamp : allowed) {
      if (IsBeam(lamp) && visibleLamps_.count(lamp) == 1 && parts.lamps.count(lamp) == 0) {
        return Broken("lamp", where + ": beams on but beam " + std::to_string(lamp) + " not shown");
      }
    }
    // An indicator that may blink does blink: lit for 12 frames in every 24
    // while nothing changes. At 72 the pictures with open doors have none.
    lampWatch_.lit.insert(parts.lamps.begin(), parts.lamps.end());
    if (++lampWatch_.frames < 24) {
      return Failure();
    }
    const LampWatch watched = lampWatch_;
    lampWatch_ = LampWatch();
    if (angle == 72 && expect.doors != 0) {
      return Failure();
    }
    for (int lamp : allowed) {
      if (!IsBeam(lamp) && visibleLamps_.count(lamp) == 1 && watched.lit.count(lamp) == 0) {
        return Broken("lamp", where + ": lamp " + std::to_string(lamp) +
                                  " dark for 24 frames with lamp state " +
                                  std::to_string(expect.lamps));
      }
    }
    return Failure();
  }

  Failure CheckWheels(const std::string& where, int angle, const Expectation& expect,
                      const CarParts& parts) {
    if (parts.frontWheels.size() > 1 || parts.backWheels.size() > 1) {
      return Broken("wheels", where + ": more than one picture of a wheel");
    }
    const bool sideView = angle == 130 || angle == 158;
    if (sideView && expect.doors == 0) {
      if (parts.frontWheels.size() != 1 || parts.backWheels.size() != 1) {
        return Broken("wheels", where + ": a wheel is missing");
      }
      const int steerSet = SteerSetFor(angle, expect.steering);
      const int shown = SteerSetOf(*parts.frontWheels.begin());
      if (shown != steerSet) {
        std::ostringstream detail;
        detail << where << ": front wheel of steer set " << shown << " for steering "
               << expect.steering << " (set " << steerSet << ")";
        return Broken("steer", detail.str());
      }
    } else if (!parts.frontWheels.empty() && SteerSetOf(*parts.frontWheels.begin()) != 0) {
      return Broken("steer", where + ": a steered wheel outside the side views");
    }
    if (parts.frontWheels.empty() || parts.backWheels.empty()) {
      return Failure();
    }
    const int frame = WheelFrameOf(*parts.frontWheels.begin());
    if (WheelFrameOf(*parts.backWheels.begin()) != frame) {
      return Broken("wheels", where + ": front and back wheels in different frames");
    }
    if (lastWheelEpoch_ == expect.wheelEpoch && lastWheelFrame_ != frame) {
      std::ostringstream detail;
      detail << where << ": wheels went from frame " << lastWheelFrame_ << " to " << frame
             << " at speed " << expect.speed;
      return Broken("wheels", detail.str());
    }
    lastWheelEpoch_ = expect.wheelEpoch;
    lastWheelFrame_ = frame;
    return Failure();
  }

  Failure CheckTop(const Expectation& expect) {
    screen_.Read(scene_->topViewport);
    const std::map<int, int> layers = SeenLayers(screen_, scene_->topViewport);
    if (!Has(layers, sm::kLayerTopImage) || Has(layers, sm::kLayerWholeCar)) {
      return Broken("top", "the top view without its picture of the car");
    }
    return CompareDoors("top view", DoorImagesOf(expect.doors), PartsOf(layers).doorImages,
                        visibleDoors_[kTopView]);
  }

  TempDir dir_;
  std::string root_;
  bool ready_ = false;
  ViewParam* scene_ = nullptr;
  Screen screen_;
  uint32_t counter_ = 0;
  uint64_t frames_ = 0;
  std::map<int, std::set<int>> visibleDoors_;
  std::set<int> visibleLamps_;
  std::map<int, std::unique_ptr<Picture>> bases_;
  LampWatch lampWatch_;
  uint64_t lastWheelEpoch_ = ~uint64_t{0};
  int lastWheelFrame_ = -1;
};

class DriverSequences : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    driver_ = new Driver();
    driver_->Start();
  }
  static void TearDownTestSuite() {
    driver_->Stop();
    delete driver_;
    driver_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(driver_->ready()) << "the sample car did not start"; }

  // Runs the sequence; a failure names where the sequence came from and
  // what broke, and the first one in a test the shortest sequence that
  // still breaks it, to replay.
  static void Drive(const Sequence& sequence, const std::string& origin) {
    const Failure failure = driver_->Run(sequence);
    if (!failure.failed) {
      return;
    }
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << origin << ", frame " << failure.frame << ": " << failure.kind << ": "
                    << failure.detail;
      return;
    }
    // A trial fails when it breaks the same promise.
    const Sequence shortest =
        ShortenSequence(sequence, failure.frame, [&](const Sequence& candidate, uint64_t* frames) {
          const uint64_t before = driver_->frames();
          const Failure trial = driver_->Run(candidate);
          *frames = driver_->frames() - before;
          return trial.failed && trial.kind == failure.kind;
        });
    const Failure again = driver_->Run(shortest);
    ADD_FAILURE() << origin << ", frame " << failure.frame << " of " << sequence.Frames() << ": "
                  << failure.kind << ": " << failure.detail << "\n  shortest failing sequence ("
                  << shortest.Frames() << " frames; frame " << again.frame << ": " << again.detail
                  << "):\n  AVM_DRIVER_SEQUENCE='" << SequenceText(shortest) << "'";
  }

  // A sequence written out by hand: every frame must show what it says.
  static void Expect(const std::string& text) {
    Sequence sequence;
    ASSERT_TRUE(ParseSequence(text, &sequence)) << text;
    const Failure failure = driver_->Run(sequence);
    EXPECT_FALSE(failure.failed) << text << "\n  frame " << failure.frame << ": " << failure.kind
                                 << ": " << failure.detail;
  }

  static Driver* driver_;
};

Driver* DriverSequences::driver_ = nullptr;

const char* Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0' ? value : nullptr;
}

TEST(DriverSequenceText, ReadsBackWhatItWrites) {
  const Sequence made = GenerateSequence(7, 300);
  EXPECT_GE(made.Frames(), 300);
  Sequence read;
  ASSERT_TRUE(ParseSequence(SequenceText(made), &read));
  EXPECT_EQ(SequenceText(read), SequenceText(made));
  EXPECT_EQ(SequenceText(GenerateSequence(7, 300)), SequenceText(made));
  for (const char* bad : {"", "A7*1", "@10000", "@1 A*1", "@1 A7", "@1 R3*1", "@1 X1*1", "@1 S1x*2",
                          "@1 V99999999999*1"}) {
    EXPECT_FALSE(ParseSequence(bad, &read)) << bad;
  }
}

// A stand-in for the renderer that fails as the demonstration's doors did:
// at the first frame whose counter is a multiple of 500 after the
// demonstration was switched on. Frame j of a sequence has the counter
// start phase + j.
bool FailsLikeTheDemoDoors(const Sequence& sequence, uint64_t* frames, int* failingFrame) {
  bool demo = false;
  int frame = 0;
  for (const Step& step : sequence.steps) {
    demo = demo || (step.input == Input::kDemo && step.arg == 1);
    for (int i = 0; i < step.frames; ++i, ++frame) {
      if (demo && (sequence.startPhase + frame) % 500 == 0) {
        *frames = static_cast<uint64_t>(frame) + 1;
        *failingFrame = frame;
        return true;
      }
    }
  }
  *frames = static_cast<uint64_t>(frame);
  return false;
}

// The cuts keep the frames after them at their place in the cycle: the
// shortest sequence switches the demonstration on at the very frame 500.
TEST(DriverSequenceShortening, KeepsTheDemonstrationCycleInPlace) {
  Sequence sequence;
  ASSERT_TRUE(ParseSequence("@100 A244*80 S5*50 O1*10 D3*300 L1*200 V100*300", &sequence));
  uint64_t frames = 0;
  int failingFrame = -1;
  ASSERT_TRUE(FailsLikeTheDemoDoors(sequence, &frames, &failingFrame));
  ASSERT_EQ(failingFrame, 400);
  int trials = 0;
  const StillFails stillFails = [&](const Sequence& candidate, uint64_t* drawn) {
    ++trials;
    int ignored = 0;
    return FailsLikeTheDemoDoors(candidate, drawn, &ignored);
  };
  EXPECT_EQ(SequenceText(ShortenSequence(sequence, failingFrame, stillFails)), "@500 O1*1");
  EXPECT_GT(trials, 0);
  // Without frames to spend on trials only what follows the failure goes.
  trials = 0;
  EXPECT_EQ(SequenceText(ShortenSequence(sequence, failingFrame, stillFails, 0)),
            "@100 A244*80 S5*50 O1*10 D3*261");
  EXPECT_EQ(trials, 0);
}

// At rest on 130 (244 degrees), then the view reset: every frame at angle 0
// shows angle 0's own composed picture, in both blink phases.
TEST_F(DriverSequences, ViewResetShowsTheRearPictureNotTheOneItLeft) { Expect("@0 A244*80 R*40"); }

// At rest on 130 the front wheel follows the steering into the 20 set,
// standing and then rolling through the wheel frames, and back to straight;
// also when the steering changed while the top view or the logo was shown.
TEST_F(DriverSequences, SideViewWheelFollowsTheSteering) {
  Expect("@0 A244*80 S12*5 V10001*12 S2*12");
  Expect("@0 A244*80 M12*2 S12*2 M5*3 M20*2 S-3*2 M5*3");
}

// The demonstration opens door 0 at frame 500 while the view rests on 130:
// shown in the 3D view, and afterwards when it happened in the upkeep-only
// mode 15 or in the top view.
TEST_F(DriverSequences, DemonstrationDoorsShowInThe3DView) {
  Expect("@400 A244*80 O1*40");
  Expect("@400 A244*80 M15*0 O1*40 M5*3");
  Expect("@400 A244*80 M12*0 O1*40 M5*3");
}

constexpr int kFramesPerSeed = 1000;

TEST_F(DriverSequences, EveryFrameShowsWhatTheInputsSay) {
  if (const char* text = Environment("AVM_DRIVER_SEQUENCE")) {
    Sequence sequence;
    ASSERT_TRUE(ParseSequence(text, &sequence)) << text;
    Drive(sequence, "the given sequence");
    return;
  }
  if (const char* seed = Environment("AVM_DRIVER_SEED")) {
    const uint32_t value = static_cast<uint32_t>(std::strtoul(seed, nullptr, 10));
    Drive(GenerateSequence(value, kFramesPerSeed), "seed " + std::to_string(value));
    return;
  }
  if (const char* soak = Environment("AVM_DRIVER_SOAK_FRAMES")) {
    const uint64_t frames = std::strtoull(soak, nullptr, 10);
    const uint64_t start = driver_->frames();
    uint32_t seed = 0;
    while (driver_->frames() - start < frames && !HasFailure()) {
      ++seed;
      Drive(GenerateSequence(seed, 2000), "seed " + std::to_string(seed) + " of the soak");
      if (seed % 50 == 0) {
        std::printf("soak: %" PRIu64 " frames\n", driver_->frames() - start);
        std::fflush(stdout);
      }
    }
    std::printf("soak: %" PRIu64 " frames, seeds 1 to %u\n", driver_->frames() - start, seed);
    return;
  }
  // A few thousand frames: seeds whose sequences met each of the stale
  // pictures this test was written for.
  for (uint32_t seed : {1u, 3u, 7u, 17u}) {
    Drive(GenerateSequence(seed, kFramesPerSeed), "seed " + std::to_string(seed));
  }
}

}  // namespace
