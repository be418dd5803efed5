#pragma once
// A contact sheet of a car directory, for people to look at: the 192
// whole-car pictures, each at its place in the rendered frame (so the car
// should stand still while the view goes round), the top pictures, and state
// pictures composed from the overlays at their params.bin positions the way
// the renderer pastes them.
#include <string>

namespace tools {

// Reads the car (pictures and params.bin) and writes the sheet as PNG.
// False with a sentence in *error when a picture is missing or is not an
// 8-bit four-channel image, or params.bin is not 7136 bytes.
bool WriteContactSheet(const std::string& carDirectory, const std::string& outputPng, std::string* error);

}  // namespace tools
