#pragma once
// The screen layouts: a 2D top view of the car beside (landscape) or above
// (portrait) a second view, and a main viewport for the 3D view.
#include <cstdint>

constexpr int kLayoutRows = 40;
constexpr int kFirstPortraitRow = 20;

// 40 rows of first offset, second offset, width, height. Rows 0..19 are
// landscape, 20..39 portrait; the row number is the layout index.
extern "C" int32_t lr_offset_angle[kLayoutRows][4];

// The row of a layout index, clamped to the table: negative indexes read
// row 0, those past it row 39.
const int32_t* LayoutRow(int index);
// True for every index above 19: the portrait rows 20..39 and beyond.
bool IsPortraitLayout(int index);

// The layout row whose width/height ratio is nearest to the screen's.
// Reads only the table, so it works before initialisation.
int AvmGetScreenIndex(int width, int height);

// Recomputes the viewports from screenIndex, screenWidth, screenHeight and
// sideViewInset of the scene record.
void AvmSetScreen();

// The simpler layout that initialisation starts with.
void AvmInitialScreenLayout();
