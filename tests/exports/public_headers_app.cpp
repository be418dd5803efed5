// An app's view of the renderer: it is compiled with avm/include/ as its only
// project include folder, so every public header must find its companions
// there and must not reach for an internal one. Each header is used for
// something, so that a declaration that went missing fails too.
#include "avm_image_tools.h"
#include "avm_matrix.h"
#include "avm_radar.h"
#include "avm_track.h"
#include "avm_track_drawer.h"

int main() {
  float view[16];
  LoadIdentityMatrix4x4(view);
  int32_t (*plate)(int32_t, const char*, int32_t) = &genPlate;
  void (*radar)(void) = &DrawRadar;
  int (*attach)(AvmTrack*) = &AvmAttachGuideTrack;
  void (AvmTrack::*back)(float*, float*) = &AvmTrack::Back;
  void (TrackDrawer::*mark)() = &TrackDrawer::markGeometryDirty;
  return plate != nullptr && radar != nullptr && attach != nullptr && back != nullptr &&
                 mark != nullptr
             ? 0
             : 1;
}
