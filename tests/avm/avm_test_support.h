#pragma once
// Helpers of the renderer's tests: a GL context on the test thread, a clock
// the tests drive, and the few pictures the tests make for themselves.
#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

// The screen size the renderer starts with.
constexpr int kTestScreenWidth = 1024;
constexpr int kTestScreenHeight = 600;

// Starts the headless GL context on the calling (test) thread, once per
// process; aborts the test program when there is none.
void StartTestGlContext();

// A clock for the frame pacing that moves only when told to, or when the
// pacing sleeps; every sleep asked for is recorded.
struct FakeClock {
  static uint32_t now;
  static std::vector<uint32_t> sleeps;
  static void Install(uint32_t start);
  static void Uninstall();
};

// Writes a picture file (format from the extension) from a BGR or BGRA image.
bool WritePicture(const std::string& path, const cv::Mat& image);
// A picture of four flat quadrants: top-left red, top-right green,
// bottom-left blue, bottom-right white (BGR).
cv::Mat QuadrantPicture(int width, int height);

// A fresh asset directory below dir: its path with the closing separator,
// and its common/ folder created.
std::string MakeAssetRoot(const std::string& dir);

// Pixel helpers on a frame read back with HostEglReadPixels.
struct Rgba {
  int r, g, b, a;
};
Rgba FramePixel(const std::vector<uint8_t>& frame, int x, int y);
// True when every channel differs from the expected one by at most tolerance.
bool Near(const Rgba& pixel, int r, int g, int b, int tolerance = 2);

// A texture's image read back through a framebuffer: width x height RGBA
// bytes, rows in the order they were uploaded (first uploaded row first).
// Empty when the texture holds no image a framebuffer can take (never
// uploaded, or uploaded as 0 x 0).
std::vector<uint8_t> ReadTexture(uint32_t texture, int width, int height);
bool TextureHasImage(uint32_t texture);

// Size in bytes of a GL buffer's data (0 for a buffer never filled).
int32_t BufferBytes(uint32_t buffer);

// Whether another thread can take the scene lock right now (it gives it
// back at once).
bool SceneLockFreeForOthers();

// Nine radar pictures handed to the renderer, each 2 x 2 opaque grey
// pixels, picture i of level 20 * (i + 1) so that a frame tells them apart;
// and the scene's camera looking straight down on the car from 800 units,
// over the whole test screen. False when the renderer refuses the pictures.
struct ViewParam;
bool ShowRadarFromAbove(ViewParam* scene);
