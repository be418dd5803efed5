#pragma once
// Rectangle type of the native window API (host stand-in, same layout as on
// the device).
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ARect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
} ARect;

#ifdef __cplusplus
}
#endif
