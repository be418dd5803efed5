#pragma once
// The asset root the viewer gives the renderer: a fresh folder of its own, so
// that nothing the renderer writes (the unpacked car) lands in the user's
// folders, and nothing of the user's is changed.
//
//   <scratch>/assets/common/<entry>    a link to each entry of the common
//                                      pictures' folder (packages left out)
//   <scratch>/assets/common/<pkg>.car  a copy of the package to preview
//   <scratch>/assets/.tmp/<car>        a link to a car directory, which is
//                                      used as it stands
#include <string>

struct ScratchAssets {
  std::string folder;  // the scratch folder, removed by RemoveScratchAssets
  std::string root;    // the asset root given to the renderer, ending with '/'
};

// Makes the scratch folder under $TMPDIR (or /tmp) with the common pictures
// of commonRoot (an asset root holding common/). False with the reason.
bool MakeScratchAssets(const std::string& commonRoot, ScratchAssets* scratch, std::string* error);

// Copies the package into the scratch common/ under its own file name.
bool AddPackage(const ScratchAssets& scratch, const std::string& package, std::string* error);

// Links the car directory as the unpacked car named carName.
bool AddCarDirectory(const ScratchAssets& scratch, const std::string& directory,
                     const std::string& carName, std::string* error);

// Removes the scratch folder: links are removed, never followed.
void RemoveScratchAssets(const ScratchAssets& scratch);
