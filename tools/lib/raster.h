#pragma once
// A small software rasteriser for the sample car: flat-shaded triangles with
// a depth buffer, rendered with several samples per pixel so that edges are
// antialiased and the background stays transparent (alpha = covered share).
// It also records, per pixel, which model parts any of its samples showed,
// which is how the generator knows where a wheel, lamp or door lies in a
// picture.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace tools {

struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(const Vec3& a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Normalized(const Vec3& v);

struct Colour {
  std::uint8_t b = 0;
  std::uint8_t g = 0;
  std::uint8_t r = 0;
};

struct Triangle {
  Vec3 v[3];
  Colour colour;
  std::uint8_t part = 0;   // 0..31: bit of the part masks
  bool emissive = false;   // drawn at full colour, unlit (lamps that are on)
  // Seen only from the side its normal (v1 - v0) x (v2 - v0) points to: a
  // face of a closed solid, or a decal on one. Back faces are skipped.
  bool oneSided = false;
};

using Mesh = std::vector<Triangle>;

// Maps world points to pixel coordinates of a frame whose pixel centres lie
// at integer coordinates, column 0 left and row 0 at the top.
class ViewCamera {
 public:
  // The sprite camera: the view of LookAt(eye, target, up) under a
  // perspective of fovy degrees and the given aspect, with the projected
  // square -1..1 mapped so that pixel column 0 is at -1 and column width-1
  // at +1, row 0 at +1 and row height-1 at -1.
  static ViewCamera Perspective(const Vec3& eye, const Vec3& target, const Vec3& up, double fovyDegrees,
                                double aspect, int width, int height);
  // Straight down on the ground plane, front (+y) up, +x to the right:
  // column = column0 + x * scale, row = row0 - y * scale.
  static ViewCamera TopDown(double scale, double column0, double row0, int width, int height);

  // False when the point lies behind or too near the eye.
  bool Project(const Vec3& p, double* column, double* row, double* closeness) const;
  // Unit vector from a world point toward the viewer.
  Vec3 TowardViewer(const Vec3& p) const;
  // The ray through a pixel position (perspective cameras only).
  void Ray(double column, double row, Vec3* origin, Vec3* direction) const;

  int width() const { return width_; }
  int height() const { return height_; }

 private:
  bool perspective_ = true;
  int width_ = 0;
  int height_ = 0;
  Vec3 eye_, side_, up_, forward_;
  double focal_ = 1.0;
  double aspect_ = 1.0;
  double scale_ = 1.0;
  double column0_ = 0.0;
  double row0_ = 0.0;
};

struct RenderedRegion {
  cv::Rect region;  // the frame pixels rendered
  cv::Mat bgra;     // CV_8UC4, region-sized; alpha = share of covered samples
  cv::Mat parts;    // CV_32SC1, bit p set where a sample showed part p
};

// The frame rectangle that the mesh's projection can touch, grown by
// `padding` pixels and clipped to the frame (empty when nothing projects).
cv::Rect ProjectedBounds(const Mesh& mesh, const ViewCamera& camera, int padding);

// Renders the mesh into the given frame region with supersample x supersample
// samples per pixel. Fails when a vertex lies behind the camera.
bool RenderMesh(const Mesh& mesh, const ViewCamera& camera, const cv::Rect& region, int supersample,
                RenderedRegion* out, std::string* error);

// Colour and opacity (0..1 each) of light lying on the ground at (x, y).
struct GroundLight {
  double b = 0.0;
  double g = 0.0;
  double r = 0.0;
  double alpha = 0.0;
};

// Renders light on the ground plane z = 0 as seen by a perspective camera,
// over the whole frame; pixels whose ray does not reach the ground are
// transparent.
cv::Mat RenderGroundLight(const ViewCamera& camera, int supersample,
                          const std::function<GroundLight(double x, double y)>& light);

}  // namespace tools
