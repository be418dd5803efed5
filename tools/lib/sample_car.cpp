#include "tools/lib/sample_car.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "tools/lib/file_util.h"
#include "tools/lib/overlay.h"
#include "tools/lib/params_bin.h"
#include "tools/lib/png_codec.h"
#include "tools/lib/sample_marks.h"

namespace tools {

namespace {

namespace sm = sample_marks;
using car_model::Bit;
using car_model::Pose;

constexpr int kSteerSets[3] = {10, 20, 30};

// Door image number k and the door flags it shows open (first pair: flags 0
// and 2; second pair: flags 1 and 3).
struct DoorImage {
  int k;
  bool open[4];
};
constexpr DoorImage kDoorImages[6] = {{0, {true, false, false, false}}, {1, {false, false, true, false}},
                                      {2, {false, true, false, false}}, {3, {false, false, false, true}},
                                      {4, {true, false, true, false}},  {5, {false, true, false, true}}};

std::uint32_t DoorParts(const DoorImage& image) {
  std::uint32_t parts = 0;
  for (int d = 0; d < 4; ++d) {
    if (image.open[d]) {
      parts |= Bit(car_model::kPartDoor0 + d);
    }
  }
  return parts;
}

sm::Mark MakeMark(int kind, int angle, int group, int number, int frame = sm::kNone, int steer = sm::kNone) {
  sm::Mark mark;
  mark.kind = kind;
  mark.angle = angle;
  mark.group = group;
  mark.number = number;
  mark.frame = frame;
  mark.steer = steer;
  return mark;
}

cv::Rect OpaqueBounds(const cv::Mat& bgra) {
  int left = bgra.cols;
  int right = -1;
  int top = bgra.rows;
  int bottom = -1;
  for (int row = 0; row < bgra.rows; ++row) {
    const cv::Vec4b* p = bgra.ptr<cv::Vec4b>(row);
    for (int column = 0; column < bgra.cols; ++column) {
      if (p[column][3] != 0) {
        left = std::min(left, column);
        right = std::max(right, column);
        top = std::min(top, row);
        bottom = std::max(bottom, row);
      }
    }
  }
  return right < 0 ? cv::Rect() : cv::Rect(left, top, right - left + 1, bottom - top + 1);
}

std::string PoseKey(const Pose& pose) {
  std::ostringstream key;
  key << pose.wheelFrame[0] << pose.wheelFrame[1] << pose.wheelFrame[2] << pose.wheelFrame[3] << ' '
      << pose.steerDegrees[0] << ' ' << pose.steerDegrees[1] << ' ' << pose.indicatorLeft << pose.indicatorRight
      << pose.headlampLeft << pose.headlampRight << pose.doorOpen[0] << pose.doorOpen[1] << pose.doorOpen[2]
      << pose.doorOpen[3];
  return key.str();
}

class CarWriter {
 public:
  CarWriter(std::string root, SampleCarReport* report) : root_(std::move(root)), report_(report) {}

  // Gives the picture its layer codes and header mark and writes it.
  bool Write(const std::string& relative, cv::Mat image, int layer, const sm::Mark& mark, std::string* error) {
    for (int column = 0; column < image.cols; ++column) {
      if (image.at<cv::Vec4b>(0, column)[3] != 0) {
        *error = relative + ": the first row must stay transparent for the picture's mark";
        return false;
      }
    }
    for (int row = 1; row < image.rows; ++row) {
      cv::Vec4b* p = image.ptr<cv::Vec4b>(row);
      for (int column = 0; column < image.cols; ++column) {
        if (p[column][3] != 0) {
          sm::SetPixelLayer(&p[column][0], layer);
        }
      }
    }
    if (!sm::WriteMark(image.ptr<std::uint8_t>(0), image.cols, image.rows, 4, mark)) {
      *error = relative + ": the picture is too small to carry its mark";
      return false;
    }
    const std::string path = root_ + "/" + relative;
    if (!MakeDirectories(path.substr(0, path.rfind('/')), error)) {
      return false;
    }
    std::string png;
    if (!EncodePng(image, &png, error) || !WriteFileReplacing(path, png, error)) {
      *error = relative + ": " + *error;
      return false;
    }
    ++report_->files;
    report_->bytes += png.size();
    return true;
  }

  bool WriteBytes(const std::string& relative, const std::string& bytes, std::string* error) {
    if (!WriteFileReplacing(root_ + "/" + relative, bytes, error)) {
      return false;
    }
    ++report_->files;
    report_->bytes += bytes.size();
    return true;
  }

  SampleCarReport* report() { return report_; }

 private:
  std::string root_;
  SampleCarReport* report_;
};

struct OverlayJob {
  std::string path;
  Pose pose;
  std::uint32_t parts = 0;
  PasteKind kind = PasteKind::kOpaquePixels;
  int layer = 0;
  sm::Mark mark;
  std::vector<PositionEntry*> entries;
  int group = 0;  // overlays of one group are placed by one table entry and share one rectangle
};

bool RenderPose(const Pose& pose, const ViewCamera& camera, const cv::Rect& region, int supersample,
                RenderedRegion* out, std::string* error) {
  return RenderMesh(car_model::BuildCar(pose), camera, region, supersample, out, error);
}

// The renderings of every state of one view, over one region.
using StateRenders = std::map<std::string, std::unique_ptr<RenderedRegion>>;

Mesh PartsOf(const Mesh& mesh, std::uint32_t parts) {
  Mesh selected;
  for (const Triangle& triangle : mesh) {
    if ((Bit(triangle.part) & parts) != 0) {
      selected.push_back(triangle);
    }
  }
  return selected;
}

// Renders each state that the jobs need. A state differs from the base only
// where its moving parts lie, shut or moved (what they cover, and what they
// uncover), so only that rectangle is rendered again and the rest is the
// base's: the same samples give the same pixels.
bool RenderStates(const std::vector<OverlayJob>& jobs, const Mesh& baseMesh, const RenderedRegion& base,
                  const ViewCamera& camera, int supersample, StateRenders* renders, std::string* error) {
  for (const OverlayJob& job : jobs) {
    std::unique_ptr<RenderedRegion>& rendered = (*renders)[PoseKey(job.pose)];
    if (rendered) {
      continue;
    }
    const Mesh mesh = car_model::BuildCar(job.pose);
    Mesh moving = PartsOf(mesh, job.parts);
    const Mesh shut = PartsOf(baseMesh, job.parts);
    moving.insert(moving.end(), shut.begin(), shut.end());
    const cv::Rect dirty = ProjectedBounds(moving, camera, 2) & base.region;
    rendered = std::make_unique<RenderedRegion>();
    rendered->region = base.region;
    rendered->bgra = base.bgra.clone();
    rendered->parts = base.parts.clone();
    if (dirty.empty()) {
      continue;
    }
    RenderedRegion patch;
    if (!RenderMesh(mesh, camera, dirty, supersample, &patch, error)) {
      return false;
    }
    const cv::Rect at(dirty.x - base.region.x, dirty.y - base.region.y, dirty.width, dirty.height);
    patch.bgra.copyTo(rendered->bgra(at));
    patch.parts.copyTo(rendered->parts(at));
  }
  return true;
}

// Cuts and writes the overlays of one base picture. `base` and the states
// were rendered over one region; baseRect is the base picture's rectangle in
// the same frame.
bool WriteOverlays(CarWriter& writer, const RenderedRegion& base, const StateRenders& renders,
                   const cv::Rect& baseRect, std::vector<OverlayJob>& jobs, std::string* error) {
  const cv::Rect inRegion(baseRect.x - base.region.x, baseRect.y - base.region.y, baseRect.width, baseRect.height);
  std::vector<OverlayContent> contents(jobs.size());
  std::map<int, cv::Rect> groups;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    contents[i] = ExtractOverlay(base, *renders.at(PoseKey(jobs[i].pose)), jobs[i].parts, jobs[i].kind);
    cv::Rect& united = groups[jobs[i].group];
    if (!contents[i].bounds.empty()) {
      united = united.empty() ? contents[i].bounds : (united | contents[i].bounds);
    }
  }
  for (auto& [group, united] : groups) {
    if (united.empty()) {
      // Nothing of the parts shows from here: a blank overlay that changes
      // nothing still carries its mark.
      united = cv::Rect(inRegion.x + 2, inRegion.y + 2, sm::kHeaderPixels, 1);
      continue;
    }
    if ((united & inRegion) != united || united.y < inRegion.y + 1) {
      std::string path;
      for (const OverlayJob& job : jobs) {
        if (job.group == group) {
          path = job.path;
        }
      }
      std::ostringstream message;
      message << "the overlay " << path << " reaches outside its base picture (overlay " << united << ", base "
              << inRegion << " in the rendered region)";
      *error = message.str();
      return false;
    }
    // One transparent pixel around the content (the first row carries the
    // mark), at least as wide as the mark, and inside the base picture.
    cv::Rect grown(united.x - 1, united.y - 1, united.width + 2, united.height + 2);
    grown &= inRegion;
    if (grown.width < sm::kHeaderPixels) {
      const int right = std::min(inRegion.x + inRegion.width, grown.x + sm::kHeaderPixels);
      grown.x = right - sm::kHeaderPixels;
      grown.width = sm::kHeaderPixels;
    }
    united = grown;
  }
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const OverlayJob& job = jobs[i];
    const cv::Rect rect = groups[job.group];
    const cv::Mat image = contents[i].pixels(rect).clone();
    if (!writer.Write(job.path, image, job.layer, job.mark, error)) {
      return false;
    }
    PositionEntry entry;
    entry.x = rect.x - inRegion.x;
    entry.y = rect.y - inRegion.y;
    entry.width = rect.width;
    entry.height = rect.height;
    for (PositionEntry* target : job.entries) {
      *target = entry;
    }
    // How closely the paste rebuilds the direct rendering of the state.
    const RenderedRegion& variant = *renders.at(PoseKey(job.pose));
    cv::Mat composed = base.bgra(inRegion).clone();
    if (job.kind == PasteKind::kOpaquePixels) {
      PasteOpaquePixels(image, entry.x, entry.y, &composed);
    } else {
      PasteOpaqueSpans(image, entry.x, entry.y, &composed);
    }
    SampleCarReport* report = writer.report();
    ++report->overlays;
    report->overlayPixels += CountDifferentPixels(base.bgra(inRegion), variant.bgra(inRegion));
    report->residualPixels += CountDifferentPixels(composed, variant.bgra(inRegion));
  }
  return true;
}

std::string Num(int value) { return std::to_string(value); }

// The overlays of a state angle and the table entries that place them.
std::vector<OverlayJob> StateJobs(int angle, CarParams* params) {
  std::vector<OverlayJob> jobs;
  auto wheel = [&](const std::string& folder, int group, bool front, int frame, int steerSet, double steerDegrees,
                   int part, PositionEntry* entry, int jobGroup) {
    OverlayJob job;
    job.path = "tires/" + folder + "/" + (front ? "f" : "b") + Num(frame) + ".kes";
    const int which = part - car_model::kPartWheelFrontLeft;  // parts follow the Wheel order
    job.pose.wheelFrame[which] = frame;
    if (front) {
      job.pose.steerDegrees[which] = steerDegrees;
    }
    job.parts = Bit(part);
    job.layer = sm::WheelLayer(front, steerSet, frame);
    job.mark = MakeMark(sm::kKindWheel, angle, group, front ? 0 : 1, frame, steerSet);
    job.entries = {entry};
    job.group = jobGroup;
    jobs.push_back(job);
  };
  auto lamp = [&](const std::string& folder, int group, int k, int lampIndex, void (*light)(Pose*), int part,
                  PositionEntry* entry) {
    OverlayJob job;
    job.path = "color/light/" + folder + "/" + Num(k) + ".kes";
    light(&job.pose);
    job.parts = Bit(part);
    job.layer = sm::kLayerLamp + lampIndex;
    job.mark = MakeMark(sm::kKindLamp, angle, group, k);
    job.entries = {entry};
    job.group = 100 + lampIndex;
    jobs.push_back(job);
  };
  auto doors = [&](const std::string& folder, int group, PositionEntry* entries) {
    for (const DoorImage& image : kDoorImages) {
      OverlayJob job;
      job.path = "color/door/" + folder + "/d" + Num(image.k) + ".kes";
      std::copy(image.open, image.open + 4, job.pose.doorOpen);
      job.parts = DoorParts(image);
      job.kind = PasteKind::kOpaqueSpans;
      job.layer = sm::kLayerDoor + image.k;
      job.mark = MakeMark(sm::kKindDoor, angle, group, image.k);
      job.entries = {&entries[image.k]};
      job.group = 200 + image.k;
      jobs.push_back(job);
    }
  };
  auto sideWheels = [&](bool left, PositionEntry* front, PositionEntry* back) {
    const std::string folder = left ? "left" : "right";
    const int group = left ? sm::kWheelLeft : sm::kWheelRight;
    const int frontPart = left ? car_model::kPartWheelFrontLeft : car_model::kPartWheelFrontRight;
    const int backPart = left ? car_model::kPartWheelRearLeft : car_model::kPartWheelRearRight;
    for (int f = 0; f < 6; ++f) {
      wheel(folder, group, true, f, 0, 0.0, frontPart, front, 1);
      wheel(folder, group, false, f, 0, 0.0, backPart, back, 2);
      for (int steer : kSteerSets) {
        // The left set turns the wheels to the left (positive steering), the
        // right set to the right.
        wheel(folder + "_" + Num(steer), group, true, f, steer, left ? steer : -steer, frontPart, front, 1);
      }
    }
  };
  auto partialWheels = [&](int k, bool left) {
    const int frontPart = left ? car_model::kPartWheelFrontLeft : car_model::kPartWheelFrontRight;
    const int backPart = left ? car_model::kPartWheelRearLeft : car_model::kPartWheelRearRight;
    for (int f = 0; f < 6; ++f) {
      wheel(Num(angle + 1), sm::kWheelPartial, true, f, 0, 0.0, frontPart, &params->tiresOffset2[2 * k], 1);
      wheel(Num(angle + 1), sm::kWheelPartial, false, f, 0, 0.0, backPart, &params->tiresOffset2[2 * k + 1], 2);
    }
  };
  auto leftOn = [](Pose* p) { p->indicatorLeft = true; };
  auto rightOn = [](Pose* p) { p->indicatorRight = true; };
  auto headRight = [](Pose* p) { p->headlampRight = true; };
  auto headLeft = [](Pose* p) { p->headlampLeft = true; };
  PositionEntry* lamps = params->lampsOffset2;
  switch (angle) {
    case 0:
      partialWheels(2, false);
      break;
    case 24:
      partialWheels(3, false);
      break;
    case 96:
      partialWheels(5, true);
      break;
    case 72:
      partialWheels(4, true);
      lamp("front2", sm::kLampFront2, 0, sm::kLampFront2_0, headRight, car_model::kPartHeadlampRight, &lamps[32]);
      lamp("front2", sm::kLampFront2, 1, sm::kLampFront2_1, headLeft, car_model::kPartHeadlampLeft, &lamps[33]);
      lamp("front2", sm::kLampFront2, 2, sm::kLampFront2_2, rightOn, car_model::kPartIndicatorRight, &lamps[34]);
      lamp("front2", sm::kLampFront2, 3, sm::kLampFront2_3, leftOn, car_model::kPartIndicatorLeft, &lamps[35]);
      doors("front2", sm::kDoorFront2, &params->doorsOffset2[30]);
      break;
    case 54:
      lamp("front", sm::kLampFront, 0, sm::kLampFront0, rightOn, car_model::kPartIndicatorRight, &lamps[16]);
      lamp("front", sm::kLampFront, 1, sm::kLampFront1, leftOn, car_model::kPartIndicatorLeft, &lamps[17]);
      doors("front", sm::kDoorFront, &params->doorsOffset2[18]);
      break;
    case 144:
      lamp("back", sm::kLampBack, 4, sm::kLampBack4, leftOn, car_model::kPartIndicatorLeft, &lamps[24]);
      lamp("back", sm::kLampBack, 5, sm::kLampBack5, rightOn, car_model::kPartIndicatorRight, &lamps[25]);
      doors("back", sm::kDoorBack, &params->doorsOffset2[24]);
      break;
    case 130:
      sideWheels(true, &params->tiresOffset[0], &params->tiresOffset[1]);
      lamp("left", sm::kLampLeft, 4, sm::kLampLeft4, leftOn, car_model::kPartIndicatorLeft, &lamps[4]);
      doors("left", sm::kDoorLeft, &params->doorsOffset[0]);
      break;
    case 158:
      sideWheels(false, &params->tiresOffset[2], &params->tiresOffset[3]);
      lamp("right", sm::kLampRight, 5, sm::kLampRight5, rightOn, car_model::kPartIndicatorRight, &lamps[13]);
      doors("right", sm::kDoorRight, &params->doorsOffset[6]);
      break;
    default:
      break;
  }
  return jobs;
}

bool WriteWholeCarPictures(CarWriter& writer, const SpriteSetup& setup, CarParams* params, std::string* error) {
  const Pose plain;
  const Mesh plainMesh = car_model::BuildCar(plain);
  for (int angle = 0; angle < 192; ++angle) {
    const ViewCamera camera = SpriteCamera(setup, angle);
    std::vector<OverlayJob> jobs = StateJobs(angle, params);
    // The base is rendered over the region that every state of this angle
    // can touch, so that base and states line up pixel for pixel.
    cv::Rect region = ProjectedBounds(plainMesh, camera, 3);
    for (const OverlayJob& job : jobs) {
      region |= ProjectedBounds(car_model::BuildCar(job.pose), camera, 3);
    }
    RenderedRegion base;
    StateRenders states;
    if (!RenderMesh(plainMesh, camera, region, setup.supersample, &base, error) ||
        !RenderStates(jobs, plainMesh, base, camera, setup.supersample, &states, error)) {
      return false;
    }
    // The picture's rectangle is tight around the car: around the car as it
    // stands in this picture and, at a state angle, also around every state
    // its overlays show (an open door reaches beyond the shut car), so that
    // each overlay lies inside the picture it is pasted on.
    cv::Rect opaque = OpaqueBounds(base.bgra);
    for (const auto& [key, state] : states) {
      const cv::Rect more = OpaqueBounds(state->bgra);
      opaque = opaque.empty() ? more : (more.empty() ? opaque : (opaque | more));
    }
    const cv::Rect rect(region.x + opaque.x - 1, region.y + opaque.y - 1, opaque.width + 2, opaque.height + 2);
    if (opaque.empty() || rect.x < 0 || rect.y < 0 || rect.x + rect.width > setup.width ||
        rect.y + rect.height > setup.height) {
      *error = "the car does not fit the rendered frame at angle " + Num(angle);
      return false;
    }
    params->cord[angle][0] = static_cast<float>(rect.x);
    params->cord[angle][1] = static_cast<float>(rect.y);
    params->cord[angle][2] = static_cast<float>(rect.width);
    params->cord[angle][3] = static_cast<float>(rect.height);
    params->picSize[0] = std::max(params->picSize[0], static_cast<float>(rect.width));
    params->picSize[1] = std::max(params->picSize[1], static_cast<float>(rect.height));
    const cv::Mat picture = base.bgra(cv::Rect(rect.x - region.x, rect.y - region.y, rect.width, rect.height)).clone();
    if (!writer.Write("color/a/" + Num(angle) + ".kes", picture, sm::kLayerWholeCar,
                      MakeMark(sm::kKindWholeCar, angle, sm::kNone, sm::kNone), error)) {
      return false;
    }
    if (!jobs.empty() && !WriteOverlays(writer, base, states, rect, jobs, error)) {
      return false;
    }
  }
  return true;
}

bool WriteTopPictures(CarWriter& writer, const TopSetup& setup, CarParams* params, std::string* error) {
  const ViewCamera camera = TopCamera(setup);
  const cv::Rect whole(0, 0, setup.width, setup.height);
  const char* const names[6] = {"0000", "1000", "0100", "0010", "0001", "1111"};
  RenderedRegion plain;
  for (const char* name : names) {
    Pose pose;
    for (int d = 0; d < 4; ++d) {
      pose.doorOpen[d] = name[d] == '1';
    }
    RenderedRegion rendered;
    if (!RenderPose(pose, camera, whole, setup.supersample, &rendered, error)) {
      return false;
    }
    const cv::Rect opaque = OpaqueBounds(rendered.bgra);
    if (opaque.x < 1 || opaque.y < 1 || opaque.x + opaque.width > setup.width - 1 ||
        opaque.y + opaque.height > setup.height - 1) {
      *error = std::string("the car does not fit the top picture top") + name;
      return false;
    }
    if (!writer.Write(std::string("color/top/top") + name + ".kes", rendered.bgra.clone(), sm::kLayerTopImage,
                      MakeMark(sm::kKindTopImage, sm::kNone, sm::kNone, std::stoi(name)), error)) {
      return false;
    }
    if (std::string(name) == "0000") {
      plain = rendered;
    }
  }
  std::vector<OverlayJob> jobs;
  for (const DoorImage& image : kDoorImages) {
    OverlayJob job;
    job.path = "color/door/top/d" + Num(image.k) + ".kes";
    std::copy(image.open, image.open + 4, job.pose.doorOpen);
    job.parts = DoorParts(image);
    job.kind = PasteKind::kOpaqueSpans;
    job.layer = sm::kLayerDoor + image.k;
    job.mark = MakeMark(sm::kKindDoor, sm::kNone, sm::kDoorTop, image.k);
    job.entries = {&params->doorsOffset[12 + image.k]};
    job.group = image.k;
    jobs.push_back(job);
  }
  StateRenders states;
  if (!RenderStates(jobs, car_model::BuildCar(Pose()), plain, camera, setup.supersample, &states, error) ||
      !WriteOverlays(writer, plain, states, whole, jobs, error)) {
    return false;
  }
  params->top2[0] = static_cast<float>(car_model::kWidth * setup.scale);
  params->top2[1] = static_cast<float>(car_model::kLength * setup.scale);
  params->top2[2] = static_cast<float>(setup.margin);
  params->top2[3] = static_cast<float>(setup.width);
  params->top2[4] = static_cast<float>(setup.height);
  return true;
}

// The headlight beams on the road ahead of the car.
GroundLight Beams(double x, double y) {
  GroundLight light;
  double strength = 0.0;
  for (double lampX : {-55.0, 55.0}) {
    const double ahead = y - 231.0;
    if (ahead <= 5.0) {
      continue;
    }
    // Each beam widens with distance and is aimed a little outward.
    const double lateral = x - lampX - (lampX > 0 ? 1.0 : -1.0) * 0.05 * ahead;
    const double spread = 18.0 + 0.22 * ahead;
    const double fadeIn = std::min(1.0, (ahead - 5.0) / 90.0);
    const double fadeOut = std::pow(std::max(0.0, 1.0 - ahead / 1500.0), 1.5);
    strength += std::exp(-(lateral / spread) * (lateral / spread)) * fadeIn * fadeOut;
  }
  light.b = 0.75;
  light.g = 0.93;
  light.r = 1.0;
  light.alpha = std::min(0.7, 0.7 * strength);
  return light;
}

bool WriteFrameSizedPictures(CarWriter& writer, const SpriteSetup& setup, std::string* error) {
  // load_textureIndex type 0 (light2, beams seen at 144) and 2 (light1, at 72).
  struct Beam {
    const char* path;
    int angle;
    int layer;
    int number;
  };
  for (const Beam& beam : {Beam{"color/light2.kes", 144, sm::kLayerLight2, 0},
                           Beam{"color/light1.kes", 72, sm::kLayerLight1, 2}}) {
    const cv::Mat picture = RenderGroundLight(SpriteCamera(setup, beam.angle), 2, Beams);
    if (!writer.Write(beam.path, picture, beam.layer,
                      MakeMark(sm::kKindCarPicture, beam.angle, sm::kNone, beam.number), error)) {
      return false;
    }
  }
  // The other car (type 1): a yellow car of the same model ahead of ours,
  // seen from the camera at 144.
  Pose other;
  other.offset = {0.0, 700.0, 0.0};
  other.paint = {40, 175, 220};
  const ViewCamera camera = SpriteCamera(setup, 144);
  const Mesh mesh = car_model::BuildCar(other);
  const cv::Rect region = ProjectedBounds(mesh, camera, 2);
  RenderedRegion rendered;
  if (!RenderMesh(mesh, camera, region, setup.supersample, &rendered, error)) {
    return false;
  }
  cv::Mat picture(setup.height, setup.width, CV_8UC4, cv::Scalar(0, 0, 0, 0));
  rendered.bgra.copyTo(picture(region));
  return writer.Write("color/warning2.kes", picture, sm::kLayerWarning2,
                      MakeMark(sm::kKindCarPicture, 144, sm::kNone, 1), error);
}

void FillFixedTables(const SpriteSetup& setup, CarParams* params) {
  // Car size in millimetres as the renderer reads it: it takes 60 off both.
  params->carSize[0] = static_cast<std::int32_t>(car_model::kLength * 10.0 + 60.0);
  params->carSize[1] = static_cast<std::int32_t>(car_model::kWidth * 10.0 + 60.0);
  params->carSize[2] = 0;
  // Plate quads in strip order top-left, bottom-left, top-right,
  // bottom-right as seen from their end of the car: quad 0 on the front
  // (seen from +y, where -x is to the right), quad 1 on the back.
  const double w = car_model::kPlateHalfWidth;
  const double front = car_model::kLength / 2.0 + car_model::kPlateOut;
  const double quads[2][4][3] = {
      {{w, front, car_model::kPlateTop},
       {w, front, car_model::kPlateBottom},
       {-w, front, car_model::kPlateTop},
       {-w, front, car_model::kPlateBottom}},
      {{-w, -front, car_model::kPlateTop},
       {-w, -front, car_model::kPlateBottom},
       {w, -front, car_model::kPlateTop},
       {w, -front, car_model::kPlateBottom}}};
  for (int q = 0; q < 2; ++q) {
    for (int v = 0; v < 4; ++v) {
      for (int c = 0; c < 3; ++c) {
        params->plateCord[q * 12 + v * 3 + c] = static_cast<float>(quads[q][v][c]);
      }
    }
  }
  // The renderer adds 10 to the lateral distance and negates the rear axle's
  // value; stored so that the prepared table holds the model's true values.
  params->tiresParams[0] = static_cast<float>(car_model::kWheelCentreX - 10.0);
  params->tiresParams[1] = static_cast<float>(car_model::kAxleY);
  params->tiresParams[2] = static_cast<float>(car_model::kAxleY);
  params->tiresParams[3] = static_cast<float>(car_model::kWheelWidth);
  params->tiresParams[4] = static_cast<float>(car_model::kWheelRadius);
  params->tiresParams[5] = 0.0f;
  params->lookat[0] = static_cast<float>(setup.eyeHeight);
  params->lookat[1] = static_cast<float>(setup.eyeDistance);
  params->lookat[2] = static_cast<float>(setup.targetHeight);
  params->lookat[3] = static_cast<float>(setup.fourthValue);
  params->lookat[4] = static_cast<float>(setup.fovy);
  params->lookat[5] = static_cast<float>(setup.aspect());
  params->picSize[2] = static_cast<float>(setup.width);
  params->picSize[3] = static_cast<float>(setup.height);
}

// The renderer's parameter reader takes a table as present only when one of
// its values is above a bound; a sample that failed one of these would run
// with that part switched off.
bool CheckReaderBounds(const CarParams& params, std::string* error) {
  const struct {
    const char* table;
    bool valid;
  } checks[] = {
      {"carTop2Cur[0]", params.top2[0] > 1.0f},
      {"carPlateCordCur[2]", params.plateCord[2] > 1.0f},
      {"carTiresParamsCur[0]", params.tiresParams[0] > 1.0f},
      {"carLookatAllCur[0]", params.lookat[0] > 1.0f},
      {"carPicSizeCur[0]", params.picSize[0] > 1.0f},
      {"carLampsOffset entry 4", params.lampsOffset[4].x > 1},
      {"carDoorsOffset entry 0", params.doorsOffset[0].x > 1},
      {"carLampsOffset2 entry 4", params.lampsOffset2[4].x > 1},
      {"carDoorsOffset2 entry 18", params.doorsOffset2[18].x > 1},
      {"carTiresOffset2 entry 6", params.tiresOffset2[6].x > 1},
  };
  for (const auto& check : checks) {
    if (!check.valid) {
      *error = std::string("params.bin would fail the renderer's check of ") + check.table;
      return false;
    }
  }
  return true;
}

}  // namespace

bool WriteSampleCar(const std::string& directory, const SpriteSetup& sprites, const TopSetup& top,
                    SampleCarReport* report, std::string* error) {
  *report = SampleCarReport();
  if (!MakeDirectories(directory, error)) {
    return false;
  }
  CarWriter writer(directory, report);
  auto params = std::make_unique<CarParams>();
  FillFixedTables(sprites, params.get());
  if (!WriteWholeCarPictures(writer, sprites, params.get(), error) ||
      !WriteTopPictures(writer, top, params.get(), error) || !WriteFrameSizedPictures(writer, sprites, error)) {
    return false;
  }
  // The first lamp table is read by nothing but its check; it repeats the
  // first twelve entries of the second.
  std::copy(params->lampsOffset2, params->lampsOffset2 + 12, params->lampsOffset);
  if (!CheckReaderBounds(*params, error)) {
    return false;
  }
  const std::string bytes = SerializeParams(*params);
  if (bytes.size() != kParamsBinSize) {
    *error = "params.bin came out " + std::to_string(bytes.size()) + " bytes long";
    return false;
  }
  return writer.WriteBytes("params.bin", bytes, error);
}

bool RenderSpriteRect(const car_model::Pose& pose, const SpriteSetup& sprites, int angle, const cv::Rect& rect,
                      cv::Mat* bgra, std::string* error) {
  RenderedRegion rendered;
  if (!RenderPose(pose, SpriteCamera(sprites, angle), rect, sprites.supersample, &rendered, error)) {
    return false;
  }
  *bgra = rendered.bgra;
  return true;
}

}  // namespace tools
