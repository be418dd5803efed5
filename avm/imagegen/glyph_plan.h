#pragma once
// A picture composed from glyph sheets is a list of rectangle copies. They
// are collected first and checked as a whole, so that a sheet that is too
// small, or a cell number from outside, never makes the copy read or write
// past a picture: either every paste fits and all are done, or none is.
#include <cstdint>

#include <opencv2/core.hpp>

struct GlyphPaste {
  int64_t sourceX, sourceY, width, height;  // rectangle of the sheet
  int64_t targetX, targetY;                 // top-left corner on the canvas
};

constexpr int kMaxGlyphPastes = 16;

struct GlyphPlan {
  GlyphPaste pastes[kMaxGlyphPastes];
  int count;
};

// Appends one paste; a plan that is full refuses it (and stays unfit).
void AddGlyphPaste(GlyphPlan* plan, int64_t sourceX, int64_t sourceY, int64_t width, int64_t height,
                   int64_t targetX, int64_t targetY);

// True when the plan was not overfilled and every source rectangle lies
// inside sheet and every target rectangle inside canvas, and both pictures
// are of the same type.
bool GlyphPlanFits(const GlyphPlan& plan, const cv::Mat& sheet, const cv::Mat& canvas);

// Copies every rectangle; only for a plan that fits.
void ApplyGlyphPlan(const GlyphPlan& plan, const cv::Mat& sheet, cv::Mat& canvas);
