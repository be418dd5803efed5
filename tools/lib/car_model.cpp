#include "tools/lib/car_model.h"

#include <cmath>
#include <functional>
#include <vector>

namespace tools {
namespace car_model {

namespace {

using Transform = std::function<Vec3(const Vec3&)>;

const Colour kGlass{92, 64, 42};
const Colour kTread{32, 32, 34};
const Colour kSidewall{40, 40, 42};
const Colour kRim{168, 170, 174};
const Colour kSpoke{66, 68, 72};
const Colour kHub{125, 127, 131};
const Colour kArch{22, 22, 24};
const Colour kInterior{40, 36, 36};
const Colour kDoorInside{70, 70, 76};
const Colour kTrim{58, 58, 60};
const Colour kPlateHolder{226, 226, 226};
const Colour kHeadlampOff{150, 152, 150};
const Colour kHeadlampOn{235, 250, 255};
const Colour kIndicatorOff{60, 112, 160};
const Colour kIndicatorOn{0, 190, 255};
const Colour kTailLamp{40, 40, 168};

Colour Darker(const Colour& c, double k) {
  return {static_cast<std::uint8_t>(c.b * k), static_cast<std::uint8_t>(c.g * k), static_cast<std::uint8_t>(c.r * k)};
}

double Radians(double degrees) { return degrees * M_PI / 180.0; }

// A point inside the body: decals on the car face away from it.
const Vec3 kCarCentre{0.0, 0.0, 60.0};

// Turns (x, y) about the vertical axis through pivot.
Vec3 Yaw(const Vec3& p, const Vec3& pivot, double degrees) {
  const double c = std::cos(Radians(degrees));
  const double s = std::sin(Radians(degrees));
  const double x = p.x - pivot.x;
  const double y = p.y - pivot.y;
  return {pivot.x + x * c - y * s, pivot.y + x * s + y * c, p.z};
}

class Builder {
 public:
  Builder(Mesh* mesh, const Vec3& offset) : mesh_(mesh), offset_(offset) {}

  // A convex polygon, seen only from the side away from `inside` (a point
  // within the solid it bounds or the body it is stuck on), both given in
  // the same local coordinates.
  void Polygon(const std::vector<Vec3>& points, const Vec3& inside, const Colour& colour, int part,
               bool emissive = false, const Transform& place = nullptr) {
    const Vec3 centre = Place(inside, place);
    for (std::size_t i = 1; i + 1 < points.size(); ++i) {
      Triangle t;
      t.v[0] = Place(points[0], place);
      t.v[1] = Place(points[i], place);
      t.v[2] = Place(points[i + 1], place);
      if (Dot(Cross(t.v[1] - t.v[0], t.v[2] - t.v[0]), t.v[0] - centre) < 0.0) {
        std::swap(t.v[1], t.v[2]);
      }
      t.oneSided = true;
      t.colour = colour;
      t.part = static_cast<std::uint8_t>(part);
      t.emissive = emissive;
      mesh_->push_back(t);
    }
  }

  void Quad(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d, const Vec3& inside, const Colour& colour,
            int part, bool emissive = false, const Transform& place = nullptr) {
    Polygon({a, b, c, d}, inside, colour, part, emissive, place);
  }

  // Axis-aligned box in local coordinates; faces -x, +x, -y, +y, -z, +z.
  void Box(const Vec3& lo, const Vec3& hi, const Colour (&faces)[6], int part, const Transform& place = nullptr) {
    const double x[2] = {lo.x, hi.x};
    const double y[2] = {lo.y, hi.y};
    const double z[2] = {lo.z, hi.z};
    auto corner = [&](int i, int j, int k) { return Vec3{x[i], y[j], z[k]}; };
    const Vec3 centre = (lo + hi) * 0.5;
    for (int side = 0; side < 2; ++side) {
      Quad(corner(side, 0, 0), corner(side, 1, 0), corner(side, 1, 1), corner(side, 0, 1), centre, faces[side], part,
           false, place);
      Quad(corner(0, side, 0), corner(1, side, 0), corner(1, side, 1), corner(0, side, 1), centre, faces[2 + side],
           part, false, place);
      Quad(corner(0, 0, side), corner(1, 0, side), corner(1, 1, side), corner(0, 1, side), centre, faces[4 + side],
           part, false, place);
    }
  }

  void Box(const Vec3& lo, const Vec3& hi, const Colour& colour, int part, const Transform& place = nullptr) {
    const Colour faces[6] = {colour, colour, colour, colour, colour, colour};
    Box(lo, hi, faces, part, place);
  }

  // A convex side profile (points (y, z) in order) extruded from x0 to x1;
  // edgeColours[i] colours the band face from point i to point i + 1.
  void Prism(const std::vector<std::pair<double, double>>& profile, double x0, double x1,
             const std::vector<Colour>& edgeColours, const Colour& capColour, int bandPart, int capPart) {
    std::vector<Vec3> left;
    std::vector<Vec3> right;
    Vec3 centre{(x0 + x1) * 0.5, 0.0, 0.0};
    for (const auto& [y, z] : profile) {
      left.push_back({x0, y, z});
      right.push_back({x1, y, z});
      centre.y += y / profile.size();
      centre.z += z / profile.size();
    }
    Polygon(left, centre, capColour, capPart);
    Polygon(right, centre, capColour, capPart);
    for (std::size_t i = 0; i < profile.size(); ++i) {
      const std::size_t n = (i + 1) % profile.size();
      Quad(left[i], left[n], right[n], right[i], centre, edgeColours[i], bandPart);
    }
  }

  // A disc in the plane x = const, centred at (y, z), of the given radius,
  // facing away from `inside`.
  void Disc(double x, double y, double z, double radius, int segments, const Vec3& inside, const Colour& colour,
            int part, const Transform& place = nullptr) {
    std::vector<Vec3> points;
    for (int i = 0; i < segments; ++i) {
      const double a = 2.0 * M_PI * i / segments;
      points.push_back({x, y + radius * std::cos(a), z + radius * std::sin(a)});
    }
    Polygon(points, inside, colour, part, false, place);
  }

 private:
  Vec3 Place(const Vec3& p, const Transform& place) const { return (place ? place(p) : p) + offset_; }
  Mesh* mesh_;
  Vec3 offset_;
};

void AddBody(Builder& b, const Pose& pose) {
  const Colour paint = pose.paint;
  const Colour roof = Darker(paint, 0.85);
  // Side profile of the lower body, y from the rear (-230) to the front (230).
  const std::vector<std::pair<double, double>> body = {{-224, 26}, {224, 26}, {230, 38}, {230, 78}, {218, 88},
                                                       {120, 98},  {-190, 100}, {-226, 94}, {-230, 84}, {-230, 38}};
  b.Prism(body, -kBodyHalfWidth, kBodyHalfWidth, std::vector<Colour>(body.size(), paint), paint, kPartBody, kPartBody);

  // Greenhouse: windscreen, roof, rear window; side windows with a pillar.
  const std::vector<std::pair<double, double>> cabin = {{-180, 99}, {112, 97}, {50, 146}, {-145, 148}};
  b.Prism(cabin, -76, 76, {kGlass, kGlass, roof, kGlass}, kGlass, kPartBody, kPartGlass);
  for (double side : {-1.0, 1.0}) {
    const double x = side * 76.1;
    b.Quad({x, 14, 99}, {x, 26, 99}, {x, 26, 146.2}, {x, 14, 146.2}, kCarCentre, roof, kPartBody);
  }

  for (int sideIndex = 0; sideIndex < 2; ++sideIndex) {
    const double side = sideIndex == 0 ? -1.0 : 1.0;
    // Dark wheel arches behind the wheels.
    for (double axle : {kAxleY, -kAxleY}) {
      std::vector<Vec3> arch;
      for (int i = 0; i <= 17; ++i) {
        const double a = Radians(-12.0 + 204.0 * i / 17.0);
        arch.push_back({side * 87.1, axle + 38.0 * std::cos(a), 34.0 + 38.0 * std::sin(a)});
      }
      b.Polygon(arch, kCarCentre, kArch, kPartBody);
    }
    // The inside of the car, seen where a door stands open.
    b.Quad({side * 87.15, -92, 30}, {side * 87.15, 118, 30}, {side * 87.15, 118, 92}, {side * 87.15, -92, 92},
           kCarCentre, kInterior, kPartBody);
    // Mirror on the body, glass toward the rear.
    const double inner = side * kBodyHalfWidth;
    const double outer = side * 99.0;
    const Colour mirror[6] = {paint, paint, kGlass, paint, Darker(paint, 0.8), paint};
    b.Box({std::min(inner, outer), 112, 92}, {std::max(inner, outer), 124, 102}, mirror, kPartBody);
    // Side indicator repeater on the front wing.
    const bool lit = side < 0 ? pose.indicatorLeft : pose.indicatorRight;
    const int lampPart = side < 0 ? kPartIndicatorLeft : kPartIndicatorRight;
    const double xr = side * 87.25;
    b.Quad({xr, 150, 78}, {xr, 161, 78}, {xr, 161, 83}, {xr, 150, 83}, kCarCentre, lit ? kIndicatorOn : kIndicatorOff,
           lampPart, lit);
  }

  // Front face: bumper strip, grille, plate holder, lamps.
  const double yf = 230.15;
  b.Quad({-87, yf, 30}, {87, yf, 30}, {87, yf, 40}, {-87, yf, 40}, kCarCentre, kTrim, kPartBody);
  b.Quad({-36, yf, 60}, {36, yf, 60}, {36, yf, 74}, {-36, yf, 74}, kCarCentre, kTrim, kPartBody);
  const double yr = -230.15;
  b.Quad({-87, yr, 30}, {87, yr, 30}, {87, yr, 40}, {-87, yr, 40}, kCarCentre, kTrim, kPartBody);
  for (double y : {230.2, -230.2}) {
    b.Quad({-kPlateHalfWidth, y, kPlateBottom}, {kPlateHalfWidth, y, kPlateBottom}, {kPlateHalfWidth, y, kPlateTop},
           {-kPlateHalfWidth, y, kPlateTop}, kCarCentre, kPlateHolder, kPartBody);
  }
  for (int sideIndex = 0; sideIndex < 2; ++sideIndex) {
    const double side = sideIndex == 0 ? -1.0 : 1.0;
    const bool left = side < 0;
    const double y = 230.25;
    const bool head = left ? pose.headlampLeft : pose.headlampRight;
    b.Quad({side * 40, y, 62}, {side * 70, y, 62}, {side * 70, y, 74}, {side * 40, y, 74}, kCarCentre,
           head ? kHeadlampOn : kHeadlampOff, left ? kPartHeadlampLeft : kPartHeadlampRight, head);
    const bool blink = left ? pose.indicatorLeft : pose.indicatorRight;
    const int lampPart = left ? kPartIndicatorLeft : kPartIndicatorRight;
    b.Quad({side * 73, y, 62}, {side * 85, y, 62}, {side * 85, y, 74}, {side * 73, y, 74}, kCarCentre,
           blink ? kIndicatorOn : kIndicatorOff, lampPart, blink);
    const double yb = -230.25;
    b.Quad({side * 45, yb, 66}, {side * 71, yb, 66}, {side * 71, yb, 80}, {side * 45, yb, 80}, kCarCentre, kTailLamp,
           kPartBody);
    b.Quad({side * 73, yb, 66}, {side * 85, yb, 66}, {side * 85, yb, 80}, {side * 73, yb, 80}, kCarCentre,
           blink ? kIndicatorOn : kIndicatorOff, lampPart, blink);
  }
}

void AddDoors(Builder& b, const Pose& pose) {
  struct DoorPlace {
    double side;    // -1 left, +1 right
    double yFront;  // hinge edge
    double yRear;
  };
  // Doors 0 and 2 on the left (front, rear), 1 and 3 on the right.
  const DoorPlace doors[4] = {{-1, 118, 20}, {1, 118, 20}, {-1, 18, -92}, {1, 18, -92}};
  for (int d = 0; d < 4; ++d) {
    const DoorPlace& door = doors[d];
    const Vec3 hinge{door.side * 87.3, door.yFront, 0.0};
    // Left doors swing toward -x, right doors toward +x, about the front edge.
    const double swing = pose.doorOpen[d] ? door.side * kDoorOpenDegrees : 0.0;
    const Transform place = [hinge, swing](const Vec3& p) { return Yaw(p, hinge, swing); };
    // 9 cm thick, mostly hidden inside the body while shut, so that an open
    // door shows as a slab and not as a sheet from above.
    const double x0 = door.side * 80.3;
    const double x1 = door.side * 89.3;
    const Colour paint = pose.paint;
    // The face toward the car is the inner trim.
    const Colour inside = kDoorInside;
    const Colour faces[6] = {door.side < 0 ? paint : inside, door.side < 0 ? inside : paint, paint, paint, paint,
                             paint};
    b.Box({std::min(x0, x1), door.yRear, 30}, {std::max(x0, x1), door.yFront, 92}, faces, kPartDoor0 + d, place);
    const double h0 = door.side * 89.3;
    const double h1 = door.side * 90.0;
    b.Box({std::min(h0, h1), door.yRear + 6, 74}, {std::max(h0, h1), door.yRear + 20, 78}, kTrim, kPartDoor0 + d,
          place);
  }
}

void AddWheel(Builder& b, const Pose& pose, bool front, bool left, int part) {
  const double side = left ? -1.0 : 1.0;
  const Vec3 centre{side * kWheelCentreX, front ? kAxleY : -kAxleY, kWheelRadius};
  const int wheel = (front ? 0 : 2) + (left ? 0 : 1);
  const double steer = front ? pose.steerDegrees[wheel] : 0.0;
  // Local wheel coordinates: x along the axle, outward positive; y forward;
  // z up. Mirrored to the car's side, then steered, then placed.
  const Transform place = [centre, side, steer](const Vec3& p) {
    const Vec3 mirrored{centre.x + side * p.x, centre.y + p.y, centre.z + p.z};
    return Yaw(mirrored, centre, steer);
  };
  const double half = kWheelWidth / 2.0;
  const int segments = 28;
  const Vec3 kHubCentre{0.0, 0.0, 0.0};
  for (int i = 0; i < segments; ++i) {
    const double a0 = 2.0 * M_PI * i / segments;
    const double a1 = 2.0 * M_PI * (i + 1) / segments;
    const Vec3 p0{-half, kWheelRadius * std::cos(a0), kWheelRadius * std::sin(a0)};
    const Vec3 p1{-half, kWheelRadius * std::cos(a1), kWheelRadius * std::sin(a1)};
    b.Quad(p0, p1, {half, p1.y, p1.z}, {half, p0.y, p0.z}, kHubCentre, kTread, part, false, place);
  }
  b.Disc(-half, 0, 0, kWheelRadius, segments, kHubCentre, kSidewall, part, place);
  b.Disc(half, 0, 0, kWheelRadius, segments, kHubCentre, kSidewall, part, place);
  b.Disc(half + 0.3, 0, 0, 22.0, segments, kHubCentre, kRim, part, place);
  // Spokes turn with the wheel frame; rolling forward moves the top of the
  // wheel toward +y.
  const double roll = -pose.wheelFrame[wheel] * kDegreesPerWheelFrame;
  for (int k = 0; k < kWheelSpokes; ++k) {
    const double a = Radians(roll + 90.0 + k * 360.0 / kWheelSpokes);
    const Transform spoke = [a, place](const Vec3& p) {
      // The spoke is modelled along +z, then turned to angle a about the axle.
      const double c = std::cos(a - M_PI / 2.0);
      const double s = std::sin(a - M_PI / 2.0);
      return place({p.x, p.y * c - p.z * s, p.y * s + p.z * c});
    };
    b.Box({half + 0.4, -1.8, 5.0}, {half + 1.0, 1.8, 21.0}, kSpoke, part, spoke);
  }
  b.Disc(half + 1.2, 0, 0, 5.5, 12, kHubCentre, kHub, part, place);
}

}  // namespace

Mesh BuildCar(const Pose& pose) {
  Mesh mesh;
  Builder b(&mesh, pose.offset);
  AddBody(b, pose);
  AddDoors(b, pose);
  AddWheel(b, pose, true, true, kPartWheelFrontLeft);
  AddWheel(b, pose, true, false, kPartWheelFrontRight);
  AddWheel(b, pose, false, true, kPartWheelRearLeft);
  AddWheel(b, pose, false, false, kPartWheelRearRight);
  return mesh;
}

}  // namespace car_model
}  // namespace tools
