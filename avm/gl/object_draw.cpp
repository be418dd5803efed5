#include "avm/gl/object_draw.h"

// Objects are not drawn yet.
void DrawObj(int) {}

void DrawTrack() {}
