#pragma once
// Writes the shared part of the sample asset tree, the directory common/:
// the pictures the renderer loads at start-up and for its layers, the plate
// and tyre-panel glyph sheets, the initial plate picture and the object mesh.
#include <cstddef>
#include <string>

#include <opencv2/core.hpp>

#include "tools/lib/raster.h"

namespace tools {

struct CommonReport {
  int files = 0;
  std::size_t bytes = 0;
};

// Layer, icon and screen pictures: car_bottom1..3, line, tire_warning,
// power_low, leak, pressure_low, pressure_high, temperature_high, tire_ok,
// safe_line, logo, background0..4, roadway0..2, lane0..7 (all .png, four
// channels).
bool WriteCommonPictures(const std::string& commonDirectory, CommonReport* report, std::string* error);

// plate/simple<s>.bin and plate/number<s>.bin (three channels), the first
// plate picture plate/plate.png, and pressure/background<s> and
// pressure/number<s> as .png and converted .bin (four channels), s = 0..2.
bool WriteGlyphSheets(const std::string& commonDirectory, CommonReport* report, std::string* error);

// The object mesh file: int32 vertex count, float32 x y z per vertex, int32
// triangle count, three uint32 vertex indices per triangle, little-endian.
// Scene points (x, y, z) are stored in the mesh's own y-up frame as
// (x, z, -y).
std::string SerializeObjectMesh(const Mesh& mesh);
bool WriteObjectMesh(const std::string& path, CommonReport* report, std::string* error);

// Number of region glyphs in the plate region sheets.
constexpr int kPlateRegionGlyphs = 10;
// The text of the sample's first plate picture.
inline const char* const kSamplePlateText = "AVM127";

}  // namespace tools
