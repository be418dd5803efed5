#pragma once
// Pieces the composed state images share: which door images the door flags
// call for, pasting an overlay file at an entry of a position table, and the
// indicator lamps of the side and end views.
#include <opencv2/core.hpp>

#include "avm/sprites/sprite_image.h"

struct CarPosition;
struct ViewParam;

// A door flag counts as open only when it is exactly 1: the command stores
// bits, and anything else in the record must not turn into a file name such
// as top7000.kes or a door image number outside 0..5.
bool DoorFlagOpen(const ViewParam* scene, int flag);

// The door images of the current flags, first pair (flags 0 and 2) first:
//   first pair   0 only -> 0, 2 only -> 1, both -> 4
//   second pair  1 only -> 2, 3 only -> 3, both -> 5
// A pair with neither flag open contributes no image.
struct OpenDoorImages {
  int count;
  int numbers[2];
};
OpenDoorImages DoorImagesForFlags(const ViewParam* scene);

// Decodes the overlay at path and pastes it by kind at the x, y of the
// position entry (clipped to the working image). A missing overlay is
// logged and skipped by PasteOverlayFile.
bool PasteAtEntry(cv::Mat& working, const char* path, const CarPosition& entry, OverlayKind kind);

// The whole-car image of a sprite angle (color/a/{angle}.kes), decoded as
// the base a state image is composed on.
cv::Mat DecodeAngleBase(int angle);

// Pastes the picture of every open door of the current flags,
// color/door/{folder}/d{k}.kes, at entries[k].
void PasteOpenDoors(cv::Mat& working, const char* folder, const CarPosition* entries);

// The indicator lamp of a side view: light/left/4 (left side, angle 130) or
// light/right/5 (right side, angle 158). The caller decides when it is lit.
void PasteSideLamp(cv::Mat& working, bool leftSide);

// The indicator lamps of an end view lit by lampState: the right
// indicator's lamp first (lampState 2 or 3), then the left's (1 or 3).
// front: light/front/0 and front/1 (angle 54); otherwise light/back/5 and
// back/4 (angle 144).
void PasteEndLamps(cv::Mat& working, bool front, int32_t lampState);
