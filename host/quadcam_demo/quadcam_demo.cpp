// quadcam in the host app: the Java activity in a real Java VM opens the
// four simulated cameras of the platform stand-ins and hands over two
// memory-backed surfaces, exactly as the app does on a device.
//
//   quadcam_demo live --size WxH [--seconds S] --out DIR
//       streams the built-in test patterns for S seconds (default 3) and
//       writes the last preview and record frames as DIR/preview.png and
//       DIR/record.png (converted from NV21 for viewing).
//   quadcam_demo replay --size WxH --out FILE [--frames N] [--png P]
//                cam0.nv21 cam1.nv21 cam2.nv21 cam3.nv21
//       plays four raw NV21 recordings (frames of W x H, back to back) as
//       the four cameras, one frame of each per composed frame, and writes
//       every composed preview frame, raw NV21 (2W x 2H), to FILE. N defaults
//       to the longest recording; shorter ones loop. P gets the last frame
//       as PNG.
//   quadcam_demo make-input --size WxH --frames N --camera K FILE
//       writes a synthetic moving picture to replay.
#include <android/log.h>
#include <jni.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "host/jvm/host_jvm.h"
#include "host_platform/host_platform.h"

namespace {

constexpr int kWaitMs = 20000;
const char* const kCameraIds[4] = {"2", "3", "4", "5"};

struct Options {
  std::string mode;
  int width = 0;
  int height = 0;
  double seconds = 3.0;
  long frames = 0;
  int camera = 0;
  std::string out;
  std::string png;
  std::vector<std::string> inputs;
};

int Usage() {
  std::fprintf(stderr,
               "usage: quadcam_demo live --size WxH [--seconds S] --out DIR\n"
               "       quadcam_demo replay --size WxH --out FILE [--frames N] [--png P] "
               "cam0.nv21 cam1.nv21 cam2.nv21 cam3.nv21\n"
               "       quadcam_demo make-input --size WxH --frames N --camera K FILE\n");
  return 2;
}

bool ParseSize(const char* text, int* w, int* h) {
  char* end = nullptr;
  const long width = std::strtol(text, &end, 10);
  if (end == text || (*end != 'x' && *end != 'X')) {
    return false;
  }
  const char* rest = end + 1;
  const long height = std::strtol(rest, &end, 10);
  if (end == rest || *end != '\0' || width < 2 || height < 2 || width > 4096 || height > 4096) {
    return false;
  }
  *w = static_cast<int>(width);
  *h = static_cast<int>(height);
  return true;
}

bool Parse(int argc, char** argv, Options* o) {
  if (argc < 2) {
    return false;
  }
  o->mode = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--size" && hasValue) {
      if (!ParseSize(argv[++i], &o->width, &o->height)) {
        std::fprintf(stderr, "quadcam_demo: size must be WxH, each 2 to 4096\n");
        return false;
      }
    } else if (arg == "--seconds" && hasValue) {
      o->seconds = std::atof(argv[++i]);
    } else if (arg == "--frames" && hasValue) {
      o->frames = std::atol(argv[++i]);
    } else if (arg == "--camera" && hasValue) {
      o->camera = std::atoi(argv[++i]);
    } else if (arg == "--out" && hasValue) {
      o->out = argv[++i];
    } else if (arg == "--png" && hasValue) {
      o->png = argv[++i];
    } else if (arg.rfind("--", 0) == 0) {
      std::fprintf(stderr, "quadcam_demo: unknown option %s\n", arg.c_str());
      return false;
    } else {
      o->inputs.push_back(arg);
    }
  }
  return o->width > 0;
}

size_t FrameBytes(int w, int h) {
  return static_cast<size_t>(w) * h + 2 * ((static_cast<size_t>(w) + 1) / 2) * ((static_cast<size_t>(h) + 1) / 2);
}

// Writes the mosaic (NV21, 2W x 3H bytes) as a viewable PNG.
bool WritePng(const std::string& path, const std::vector<uint8_t>& nv21, int pictureW, int pictureH) {
  if (nv21.size() != static_cast<size_t>(pictureW) * pictureH * 3 / 2) {
    return false;
  }
  cv::Mat yuv(pictureH * 3 / 2, pictureW, CV_8UC1, const_cast<uint8_t*>(nv21.data()));
  cv::Mat bgr;
  try {
    cv::cvtColor(yuv, bgr, cv::COLOR_YUV2BGR_NV21);
    return cv::imwrite(path, bgr);
  } catch (const cv::Exception& e) {
    std::fprintf(stderr, "quadcam_demo: %s: %s\n", path.c_str(), e.what());
    return false;
  }
}

// The posted picture without stride padding.
std::vector<uint8_t> Picture(const HostPostedFrame& frame) {
  std::vector<uint8_t> picture;
  const size_t w = static_cast<size_t>(frame.width);
  const size_t rows = static_cast<size_t>(frame.height) + (static_cast<size_t>(frame.height) + 1) / 2;
  picture.reserve(w * rows);
  for (size_t r = 0; r < rows; ++r) {
    const uint8_t* row = frame.bits + r * static_cast<size_t>(frame.stride);
    picture.insert(picture.end(), row, row + w);
  }
  return picture;
}

std::vector<uint8_t> LastPicture(ANativeWindow* window) {
  HostPostedFrame info{};
  HostWindow_copyLastPosted(window, &info, nullptr, 0);
  std::vector<uint8_t> buffer(info.size);
  if (info.size == 0 || HostWindow_copyLastPosted(window, &info, buffer.data(), buffer.size()) <= 0) {
    return {};
  }
  info.bits = buffer.data();
  return Picture(info);
}

// The app side: MainActivity and two host surfaces in the Java VM.
class App {
 public:
  bool Start() {
    env_ = HostJvmEnv();
    if (env_ == nullptr) {
      std::fprintf(stderr, "quadcam_demo: the Java VM did not start\n");
      return false;
    }
    activityClass_ = env_->FindClass("tarn/cam2/MainActivity");
    surfaceClass_ = env_->FindClass("android/view/Surface");
    if (!Ok() || activityClass_ == nullptr || surfaceClass_ == nullptr) {
      return false;
    }
    activity_ = env_->NewObject(activityClass_, env_->GetMethodID(activityClass_, "<init>", "()V"));
    open_ = env_->GetMethodID(activityClass_, "openCamera", "(II)V");
    close_ = env_->GetMethodID(activityClass_, "closeCamera", "()V");
    setPreview_ = env_->GetMethodID(activityClass_, "setPreviewSurface", "(Landroid/view/Surface;II)V");
    setRecord_ = env_->GetMethodID(activityClass_, "setRecordSurface", "(Landroid/view/Surface;II)V");
    return Ok() && activity_ != nullptr;
  }
  bool SetSurfaces(ANativeWindow* preview, ANativeWindow* record, int w, int h) {
    env_->CallVoidMethod(activity_, setPreview_, SurfaceOf(preview), w, h);
    if (!Ok()) {
      return false;
    }
    env_->CallVoidMethod(activity_, setRecord_, SurfaceOf(record), w, h);
    return Ok();
  }
  bool Open(int w, int h) {
    env_->CallVoidMethod(activity_, open_, w, h);
    return Ok();
  }
  bool Close() {
    env_->CallVoidMethod(activity_, close_);
    return Ok();
  }

 private:
  jobject SurfaceOf(ANativeWindow* window) {
    if (window == nullptr) {
      return nullptr;
    }
    jobject surface = env_->NewObject(surfaceClass_, env_->GetMethodID(surfaceClass_, "<init>", "(J)V"),
                                      static_cast<jlong>(HostWindow_surfaceId(window)));
    return Ok() ? surface : nullptr;
  }
  bool Ok() {
    std::string text;
    if (HostJvmTakeException(env_, &text)) {
      std::fprintf(stderr, "quadcam_demo: Java exception %s\n", text.c_str());
      return false;
    }
    return true;
  }
  JNIEnv* env_ = nullptr;
  jclass activityClass_ = nullptr;
  jclass surfaceClass_ = nullptr;
  jobject activity_ = nullptr;
  jmethodID open_ = nullptr;
  jmethodID close_ = nullptr;
  jmethodID setPreview_ = nullptr;
  jmethodID setRecord_ = nullptr;
};

int RunLive(const Options& o) {
  if (o.out.empty() || o.seconds <= 0 || o.seconds > 600) {
    return Usage();
  }
  ANativeWindow* preview = HostWindow_create(2 * o.width, 2 * o.height, 17);
  ANativeWindow* record = HostWindow_create(2 * o.width, 2 * o.height, 17);
  App app;
  if (preview == nullptr || record == nullptr || !app.Start() ||
      !app.SetSurfaces(preview, record, o.width, o.height) || !app.Open(o.width, o.height)) {
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long>(o.seconds * 1000)));
  const bool closed = app.Close();
  const std::vector<uint8_t> previewPicture = LastPicture(preview);
  const std::vector<uint8_t> recordPicture = LastPicture(record);
  std::printf("quadcam_demo: %d s of %dx%d cameras: %llu preview and %llu record frames posted\n",
              static_cast<int>(o.seconds), o.width, o.height,
              static_cast<unsigned long long>(HostWindow_postCount(preview)),
              static_cast<unsigned long long>(HostWindow_postCount(record)));
  for (const char* id : kCameraIds) {
    std::printf("  camera %s delivered %llu frames\n", id,
                static_cast<unsigned long long>(HostCamera_framesDelivered(id)));
  }
  const bool written = WritePng(o.out + "/preview.png", previewPicture, 2 * o.width, 2 * o.height) &&
                       WritePng(o.out + "/record.png", recordPicture, 2 * o.width, 2 * o.height);
  app.SetSurfaces(nullptr, nullptr, 0, 0);
  ANativeWindow_release(preview);
  ANativeWindow_release(record);
  if (!closed || !written) {
    std::fprintf(stderr, "quadcam_demo: no picture written to %s\n", o.out.c_str());
    return 1;
  }
  std::printf("quadcam_demo: wrote %s/preview.png and %s/record.png\n", o.out.c_str(), o.out.c_str());
  return 0;
}

struct ReplayOutput {
  std::FILE* file = nullptr;
  long written = 0;
  bool failed = false;
  std::vector<uint8_t> last;
};

void WritePosted(void* context, const HostPostedFrame* frame) {
  auto* out = static_cast<ReplayOutput*>(context);
  if (frame->postNumber == 1) {
    return;  // the worker's first pass: the cleared frame, before any camera
  }
  out->last = Picture(*frame);
  if (std::fwrite(out->last.data(), 1, out->last.size(), out->file) != out->last.size()) {
    out->failed = true;
  }
  ++out->written;
}

int RunReplay(const Options& o) {
  if (o.out.empty() || o.inputs.size() != 4 || o.frames < 0) {
    return Usage();
  }
  const size_t frameBytes = FrameBytes(o.width, o.height);
  long longest = 0;
  for (size_t k = 0; k < 4; ++k) {
    std::FILE* in = std::fopen(o.inputs[k].c_str(), "rb");
    if (in == nullptr) {
      std::fprintf(stderr, "quadcam_demo: %s: %s\n", o.inputs[k].c_str(), std::strerror(errno));
      return 2;
    }
    std::fseek(in, 0, SEEK_END);
    const long bytes = std::ftell(in);
    std::fclose(in);
    const long frames = bytes > 0 ? static_cast<long>(static_cast<size_t>(bytes) / frameBytes) : 0;
    if (frames == 0) {
      std::fprintf(stderr, "quadcam_demo: %s holds no complete %dx%d NV21 frame (%zu bytes)\n",
                   o.inputs[k].c_str(), o.width, o.height, frameBytes);
      return 2;
    }
    if (static_cast<size_t>(bytes) % frameBytes != 0) {
      std::fprintf(stderr, "quadcam_demo: %s: %zu trailing bytes ignored\n", o.inputs[k].c_str(),
                   static_cast<size_t>(bytes) % frameBytes);
    }
    longest = std::max(longest, frames);
    HostCameraConfig config;
    HostCamera_defaultConfig(&config);
    config.stepMode = 1;
    config.sourceFile = o.inputs[k].c_str();
    if (HostCamera_configure(kCameraIds[k], &config) != 0) {
      return 2;
    }
  }
  const long frames = o.frames > 0 ? o.frames : longest;
  ReplayOutput out;
  out.file = std::fopen(o.out.c_str(), "wb");
  if (out.file == nullptr) {
    std::fprintf(stderr, "quadcam_demo: %s: %s\n", o.out.c_str(), std::strerror(errno));
    return 2;
  }
  ANativeWindow* preview = HostWindow_create(2 * o.width, 2 * o.height, 17);
  HostWindow_setPostObserver(preview, WritePosted, &out);
  App app;
  bool ok = preview != nullptr && app.Start() && app.SetSurfaces(preview, nullptr, o.width, o.height) &&
            app.Open(o.width, o.height) && HostWindow_waitForPosts(preview, 1, kWaitMs) == 0;
  // One frame of every camera per composed frame: the next set only starts
  // once the previous one has been posted.
  for (long n = 1; ok && n <= frames; ++n) {
    for (const char* id : kCameraIds) {
      ok = ok && HostCamera_step(id, 1) == 0;
    }
    ok = ok && HostWindow_waitForPosts(preview, static_cast<uint64_t>(n) + 1, kWaitMs) == 0;
  }
  ok = app.Close() && ok;
  app.SetSurfaces(nullptr, nullptr, 0, 0);
  HostWindow_setPostObserver(preview, nullptr, nullptr);
  ANativeWindow_release(preview);
  ok = std::fclose(out.file) == 0 && ok && !out.failed && out.written == frames;
  if (ok && !o.png.empty() && !WritePng(o.png, out.last, 2 * o.width, 2 * o.height)) {
    ok = false;
  }
  std::printf("quadcam_demo: %ld composed %dx%d frames written to %s\n", out.written, 2 * o.width,
              2 * o.height, o.out.c_str());
  return ok ? 0 : 1;
}

int RunMakeInput(const Options& o) {
  if (o.inputs.size() != 1 || o.frames < 1 || o.frames > 10000) {
    return Usage();
  }
  std::FILE* file = std::fopen(o.inputs[0].c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "quadcam_demo: %s: %s\n", o.inputs[0].c_str(), std::strerror(errno));
    return 2;
  }
  const int w = o.width;
  const int h = o.height;
  const int vuRow = 2 * ((w + 1) / 2);
  std::vector<uint8_t> frame(FrameBytes(w, h));
  bool ok = true;
  for (long n = 0; n < o.frames && ok; ++n) {
    // A ring that moves across a gradient; each camera its own colour.
    const int cx = static_cast<int>((n * 8 + o.camera * w / 4) % w);
    const int cy = h / 2;
    const int r = std::max(2, h / 5);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        const bool ring = d2 < r * r && d2 > (r - r / 3) * (r - r / 3);
        frame[static_cast<size_t>(y) * w + x] = ring ? 235 : static_cast<uint8_t>(30 + (x + y) * 150 / (w + h));
      }
    }
    uint8_t* vu = frame.data() + static_cast<size_t>(w) * h;
    for (int y = 0; y < (h + 1) / 2; ++y) {
      for (int i = 0; i < vuRow; i += 2) {
        vu[static_cast<size_t>(y) * vuRow + i] = static_cast<uint8_t>(90 + o.camera * 40);
        vu[static_cast<size_t>(y) * vuRow + i + 1] = static_cast<uint8_t>(200 - o.camera * 40);
      }
    }
    ok = std::fwrite(frame.data(), 1, frame.size(), file) == frame.size();
  }
  ok = std::fclose(file) == 0 && ok;
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // The library's progress lines ("init cam", session states) are debug lines.
  __android_log_set_minimum_priority(ANDROID_LOG_DEBUG);
  Options options;
  if (!Parse(argc, argv, &options)) {
    return Usage();
  }
  if (options.mode == "live") {
    return RunLive(options);
  }
  if (options.mode == "replay") {
    return RunReplay(options);
  }
  if (options.mode == "make-input") {
    return RunMakeInput(options);
  }
  return Usage();
}
