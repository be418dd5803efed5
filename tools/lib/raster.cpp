#include "tools/lib/raster.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tools {

namespace {

constexpr double kNear = 1.0;  // scene units in front of the eye
constexpr std::uint8_t kNoPart = 255;

// One light from above and a little in front-left, fixed in the scene so that
// the car keeps its shading as the view goes round; plus a share that grows
// as a face turns toward the viewer, so that sides stay readable.
constexpr double kAmbient = 0.38;
constexpr double kKey = 0.40;
constexpr double kFacing = 0.30;

Colour Shade(const Triangle& triangle, const ViewCamera& camera) {
  if (triangle.emissive) {
    return triangle.colour;
  }
  static const Vec3 kKeyDirection = Normalized({-0.4, 0.35, 1.0});
  Vec3 normal = Normalized(Cross(triangle.v[1] - triangle.v[0], triangle.v[2] - triangle.v[0]));
  const Vec3 centre = (triangle.v[0] + triangle.v[1] + triangle.v[2]) * (1.0 / 3.0);
  const Vec3 toViewer = camera.TowardViewer(centre);
  if (Dot(normal, toViewer) < 0.0) {
    normal = normal * -1.0;  // both sides of a face are lit as its visible side
  }
  const double light =
      kAmbient + kKey * std::max(0.0, Dot(normal, kKeyDirection)) + kFacing * std::max(0.0, Dot(normal, toViewer));
  auto scale = [light](std::uint8_t value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value * light), 0L, 255L));
  };
  return {scale(triangle.colour.b), scale(triangle.colour.g), scale(triangle.colour.r)};
}

}  // namespace

Vec3 Normalized(const Vec3& v) {
  const double length = std::sqrt(Dot(v, v));
  return length > 0.0 ? v * (1.0 / length) : Vec3{0.0, 0.0, 0.0};
}

ViewCamera ViewCamera::Perspective(const Vec3& eye, const Vec3& target, const Vec3& up, double fovyDegrees,
                                   double aspect, int width, int height) {
  ViewCamera camera;
  camera.perspective_ = true;
  camera.width_ = width;
  camera.height_ = height;
  camera.eye_ = eye;
  camera.forward_ = Normalized(target - eye);
  camera.side_ = Normalized(Cross(camera.forward_, Normalized(up)));
  camera.up_ = Normalized(Cross(camera.side_, camera.forward_));
  camera.focal_ = 1.0 / std::tan(fovyDegrees * M_PI / 360.0);
  camera.aspect_ = aspect;
  return camera;
}

ViewCamera ViewCamera::TopDown(double scale, double column0, double row0, int width, int height) {
  ViewCamera camera;
  camera.perspective_ = false;
  camera.width_ = width;
  camera.height_ = height;
  camera.scale_ = scale;
  camera.column0_ = column0;
  camera.row0_ = row0;
  return camera;
}

bool ViewCamera::Project(const Vec3& p, double* column, double* row, double* closeness) const {
  if (!perspective_) {
    *column = column0_ + p.x * scale_;
    *row = row0_ - p.y * scale_;
    *closeness = p.z;
    return true;
  }
  const Vec3 d = p - eye_;
  const double depth = Dot(forward_, d);
  if (depth < kNear) {
    return false;
  }
  const double ndcX = focal_ / aspect_ * Dot(side_, d) / depth;
  const double ndcY = focal_ * Dot(up_, d) / depth;
  *column = (ndcX + 1.0) * (width_ - 1) * 0.5;
  *row = (1.0 - ndcY) * (height_ - 1) * 0.5;
  *closeness = 1.0 / depth;  // affine across the screen, larger is nearer
  return true;
}

Vec3 ViewCamera::TowardViewer(const Vec3& p) const {
  return perspective_ ? Normalized(eye_ - p) : Vec3{0.0, 0.0, 1.0};
}

void ViewCamera::Ray(double column, double row, Vec3* origin, Vec3* direction) const {
  const double ndcX = column * 2.0 / (width_ - 1) - 1.0;
  const double ndcY = 1.0 - row * 2.0 / (height_ - 1);
  *origin = eye_;
  *direction = forward_ + side_ * (ndcX * aspect_ / focal_) + up_ * (ndcY / focal_);
}

cv::Rect ProjectedBounds(const Mesh& mesh, const ViewCamera& camera, int padding) {
  double left = std::numeric_limits<double>::max();
  double top = left;
  double right = -left;
  double bottom = -left;
  for (const Triangle& triangle : mesh) {
    for (const Vec3& vertex : triangle.v) {
      double column = 0.0;
      double row = 0.0;
      double closeness = 0.0;
      if (!camera.Project(vertex, &column, &row, &closeness)) {
        return cv::Rect(0, 0, camera.width(), camera.height());
      }
      left = std::min(left, column);
      right = std::max(right, column);
      top = std::min(top, row);
      bottom = std::max(bottom, row);
    }
  }
  if (mesh.empty()) {
    return cv::Rect();
  }
  const int x0 = std::max(0, static_cast<int>(std::floor(left)) - padding);
  const int y0 = std::max(0, static_cast<int>(std::floor(top)) - padding);
  const int x1 = std::min(camera.width() - 1, static_cast<int>(std::ceil(right)) + padding);
  const int y1 = std::min(camera.height() - 1, static_cast<int>(std::ceil(bottom)) + padding);
  if (x1 < x0 || y1 < y0) {
    return cv::Rect();
  }
  return cv::Rect(x0, y0, x1 - x0 + 1, y1 - y0 + 1);
}

bool RenderMesh(const Mesh& mesh, const ViewCamera& camera, const cv::Rect& region, int supersample,
                RenderedRegion* out, std::string* error) {
  const int s = supersample;
  const int sampleWidth = region.width * s;
  const int sampleHeight = region.height * s;
  const std::size_t samples = static_cast<std::size_t>(sampleWidth) * static_cast<std::size_t>(sampleHeight);
  std::vector<double> nearest(samples, -std::numeric_limits<double>::infinity());
  std::vector<Colour> colour(samples);
  std::vector<std::uint8_t> part(samples, kNoPart);

  for (const Triangle& triangle : mesh) {
    double x[3];
    double y[3];
    double c[3];
    for (int k = 0; k < 3; ++k) {
      double column = 0.0;
      double row = 0.0;
      if (!camera.Project(triangle.v[k], &column, &row, &c[k])) {
        *error = "a model vertex lies behind the camera";
        return false;
      }
      // Sample (i, j) of pixel column region.x + i / s sits at
      // column region.x + (i + 0.5) / s - 0.5.
      x[k] = (column - region.x + 0.5) * s - 0.5;
      y[k] = (row - region.y + 0.5) * s - 0.5;
    }
    const double area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    if (std::fabs(area) < 1e-9) {
      continue;
    }
    const int i0 = std::max(0, static_cast<int>(std::ceil(std::min({x[0], x[1], x[2]}))));
    const int i1 = std::min(sampleWidth - 1, static_cast<int>(std::floor(std::max({x[0], x[1], x[2]}))));
    const int j0 = std::max(0, static_cast<int>(std::ceil(std::min({y[0], y[1], y[2]}))));
    const int j1 = std::min(sampleHeight - 1, static_cast<int>(std::floor(std::max({y[0], y[1], y[2]}))));
    if (i1 < i0 || j1 < j0) {
      continue;
    }
    if (triangle.oneSided) {
      const Vec3 normal = Cross(triangle.v[1] - triangle.v[0], triangle.v[2] - triangle.v[0]);
      const Vec3 centre = (triangle.v[0] + triangle.v[1] + triangle.v[2]) * (1.0 / 3.0);
      if (Dot(normal, camera.TowardViewer(centre)) <= 0.0) {
        continue;  // a back face
      }
    }
    const Colour shaded = Shade(triangle, camera);
    const double inverse = 1.0 / area;
    // Edge k is opposite vertex k; its value, divided by the area, is the
    // barycentric weight of vertex k and is affine in (i, j): at0 + dx i + dy j.
    double dx[3];
    double dy[3];
    double at0[3];
    for (int k = 0; k < 3; ++k) {
      const int a = (k + 1) % 3;
      const int b = (k + 2) % 3;
      dx[k] = (y[a] - y[b]) * inverse;
      dy[k] = (x[b] - x[a]) * inverse;
      at0[k] = ((x[a] * y[b]) - (x[b] * y[a])) * inverse;
    }
    const double closenessDx = dx[0] * c[0] + dx[1] * c[1] + dx[2] * c[2];
    const double closenessDy = dy[0] * c[0] + dy[1] * c[1] + dy[2] * c[2];
    const double closenessAt0 = at0[0] * c[0] + at0[1] * c[1] + at0[2] * c[2];
    // Samples on an edge belong to both triangles that share it (the depth
    // test decides), so that no sample falls between them.
    constexpr double kEdgeSlack = 1e-9;
    for (int j = j0; j <= j1; ++j) {
      // The run of samples of this row where all three weights are >= 0.
      double lo = i0;
      double hi = i1;
      for (int k = 0; k < 3; ++k) {
        const double base = at0[k] + dy[k] * j;
        if (dx[k] > 0.0) {
          lo = std::max(lo, std::ceil(-base / dx[k] - kEdgeSlack));
        } else if (dx[k] < 0.0) {
          hi = std::min(hi, std::floor(-base / dx[k] + kEdgeSlack));
        } else if (base < -kEdgeSlack) {
          hi = lo - 1.0;
        }
      }
      const int first = static_cast<int>(lo);
      const int last = static_cast<int>(hi);
      const double rowCloseness = closenessAt0 + closenessDy * j;
      const std::size_t rowStart = static_cast<std::size_t>(j) * static_cast<std::size_t>(sampleWidth);
      for (int i = first; i <= last; ++i) {
        const double closeness = rowCloseness + closenessDx * i;
        const std::size_t at = rowStart + static_cast<std::size_t>(i);
        if (closeness > nearest[at]) {
          nearest[at] = closeness;
          colour[at] = shaded;
          part[at] = triangle.part;
        }
      }
    }
  }

  out->region = region;
  out->bgra.create(region.height, region.width, CV_8UC4);
  out->parts.create(region.height, region.width, CV_32SC1);
  const int perPixel = s * s;
  for (int row = 0; row < region.height; ++row) {
    cv::Vec4b* pixels = out->bgra.ptr<cv::Vec4b>(row);
    std::int32_t* masks = out->parts.ptr<std::int32_t>(row);
    for (int column = 0; column < region.width; ++column) {
      int covered = 0;
      int sumB = 0;
      int sumG = 0;
      int sumR = 0;
      std::uint32_t mask = 0;
      for (int j = row * s; j < row * s + s; ++j) {
        for (int i = column * s; i < column * s + s; ++i) {
          const std::size_t at = static_cast<std::size_t>(j) * static_cast<std::size_t>(sampleWidth) +
                                 static_cast<std::size_t>(i);
          if (part[at] == kNoPart) {
            continue;
          }
          ++covered;
          sumB += colour[at].b;
          sumG += colour[at].g;
          sumR += colour[at].r;
          mask |= 1u << part[at];
        }
      }
      if (covered == 0) {
        pixels[column] = cv::Vec4b(0, 0, 0, 0);
      } else {
        pixels[column] = cv::Vec4b(static_cast<std::uint8_t>((sumB + covered / 2) / covered),
                                   static_cast<std::uint8_t>((sumG + covered / 2) / covered),
                                   static_cast<std::uint8_t>((sumR + covered / 2) / covered),
                                   static_cast<std::uint8_t>((covered * 255 + perPixel / 2) / perPixel));
      }
      masks[column] = static_cast<std::int32_t>(mask);
    }
  }
  return true;
}

cv::Mat RenderGroundLight(const ViewCamera& camera, int supersample,
                          const std::function<GroundLight(double x, double y)>& light) {
  const int s = supersample;
  cv::Mat image(camera.height(), camera.width(), CV_8UC4, cv::Scalar(0, 0, 0, 0));
  for (int row = 0; row < camera.height(); ++row) {
    cv::Vec4b* pixels = image.ptr<cv::Vec4b>(row);
    for (int column = 0; column < camera.width(); ++column) {
      double alpha = 0.0;
      double b = 0.0;
      double g = 0.0;
      double r = 0.0;
      for (int j = 0; j < s; ++j) {
        for (int i = 0; i < s; ++i) {
          Vec3 origin;
          Vec3 direction;
          camera.Ray(column + (i + 0.5) / s - 0.5, row + (j + 0.5) / s - 0.5, &origin, &direction);
          if (direction.z >= -1e-9) {
            continue;  // above the horizon
          }
          const double t = -origin.z / direction.z;
          const GroundLight here = light(origin.x + direction.x * t, origin.y + direction.y * t);
          alpha += here.alpha;
          b += here.b * here.alpha;
          g += here.g * here.alpha;
          r += here.r * here.alpha;
        }
      }
      if (alpha <= 0.0) {
        continue;
      }
      const double a = alpha / (s * s);
      const int alphaByte = static_cast<int>(std::lround(std::min(1.0, a) * 255.0));
      if (alphaByte == 0) {
        continue;
      }
      auto byte = [alpha](double sum) {
        return static_cast<std::uint8_t>(std::clamp(std::lround(sum / alpha * 255.0), 0L, 255L));
      };
      pixels[column] = cv::Vec4b(byte(b), byte(g), byte(r), static_cast<std::uint8_t>(alphaByte));
    }
  }
  return image;
}

}  // namespace tools
