#include "avm/gl/tire_plate_display.h"

// The panels and the plate are not drawn yet.
void DrawTirePressure(int) {}

void DrawPlateNumber(int) {}
