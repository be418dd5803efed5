#pragma once
// The viewer's command line.
#include <string>

struct ViewerOptions {
  std::string assets;   // asset root whose common/ pictures are used
  std::string car;      // a package file or a car directory
  std::string script;   // empty: interactive
  std::string logFile;  // empty: the renderer's log goes to standard error
  int width = 1024;
  int height = 600;
  int layout = -1;      // layout code for command 19; -1: the size goes by command 89
  bool help = false;
};

// Parses the arguments. False with the problem for a bad command line.
// defaultAssets is the asset root used without --assets.
bool ParseViewerOptions(int argc, char** argv, const std::string& defaultAssets,
                        ViewerOptions* options, std::string* problem);

// The screen size the app gives a layout code (command 19); 1024 x 600 for
// codes outside its table, as the renderer takes them.
void LayoutScreenSize(int code, int* width, int* height);
