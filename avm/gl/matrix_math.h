#pragma once
// Matrix and vector helpers of every drawing routine, and the millisecond
// clock. The library exports them with plain C names for apps that draw
// with the renderer's matrices, so they are declared once, in the public
// header, and the drawing code uses that same declaration.
#include "avm/include/avm_matrix.h"
