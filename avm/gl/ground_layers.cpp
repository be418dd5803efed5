#include <GLES2/gl2.h>

#include "avm/bridge/scene_state.h"
#include "avm/gl/car_sprite_draw.h"
#include "avm/gl/matrix_math.h"
#include "avm/gl/quad_draw.h"
#include "avm/gl/scene_layers.h"

int32_t gRoadwayPhase = 0;
int32_t gLanePhase = 0;

namespace {

constexpr float kTileLength = 2200.0f;

struct GroundStrip {
  float firstY;  // near end of the first tile
  int tiles;
};

constexpr GroundStrip kRoadway = {-22500.0f, 25};
constexpr GroundStrip kLaneLines = {-19800.0f, 18};

// Draws the tiles of one strip with the texture offset of its phase, then
// moves the phase on by the speed. At standstill the phase flips between 0
// and 100, a quarter of the picture apart, so the ground shimmers rather
// than stands frozen.
void DrawScrollingStrip(const ViewParam* scene, GLuint texture, const GroundStrip& strip,
                        int32_t* phase) {
  float left = -555.0f;
  float right = 555.0f;
  // The other car beside ours pushes the road to one side.
  if (scene->aiCarMode == 3) {
    left = -455.0f;
    right = 655.0f;
  } else if (scene->aiCarMode == 4) {
    left = -655.0f;
    right = 455.0f;
  }
  const float v = static_cast<float>(0.25 - *phase * 0.0025);
  const float texcoords[8] = {0.0f, v, 0.0f, v + 0.75f, 1.0f, v, 1.0f, v + 0.75f};
  float mvp[16];
  ViewProjection(scene, mvp);
  for (int tile = 0; tile < strip.tiles; ++tile) {
    const float y = strip.firstY + static_cast<float>(tile) * kTileLength;
    const float quad[12] = {
        right, y + kTileLength, 0.0f,  //
        right, y,               0.0f,  //
        left,  y + kTileLength, 0.0f,  //
        left,  y,               0.0f,
    };
    DrawPicture(texture, mvp, quad, texcoords);
  }
  int32_t delta = GroundSpeedClass(scene->vehicleSpeed.load(std::memory_order_relaxed));
  if (scene->reverseGear != 0) {
    delta = -delta;
  }
  const int32_t next = *phase + delta;
  if (next > 99) {
    *phase = 0;
  } else if (next <= 0) {
    *phase = 100;
  } else {
    *phase = next;
  }
}

}  // namespace

int GroundSpeedClass(int32_t vehicleSpeed) {
  if (vehicleSpeed <= 0) {
    return 0;
  }
  if (vehicleSpeed <= 5000) {
    return 1;
  }
  if (vehicleSpeed <= 10000) {
    return 2;
  }
  if (vehicleSpeed <= 30000) {
    return 3;
  }
  return 4;
}

void DrawBackground(int) {
  const ViewParam* scene = pViewParam;
  bool shown = false;
  if (scene->backgroundMode == 0) {
    shown = true;
  } else if (scene->backgroundMode == 1) {
    // Only seen from behind while moving, and not with the road shifted
    // for the other car.
    shown = scene->spriteAngle == 144 &&
            scene->vehicleSpeed.load(std::memory_order_relaxed) != 0 &&
            scene->aiCarMode != 3 && scene->aiCarMode != 4;
  }
  if (shown) {
    DrawPicture(scene->backgroundTexture, GetIdentityMatrix4x4(), kFullScreenQuad,
                kSpriteTexCoords);
  }
}

void DrawRoadway(int) {
  const ViewParam* scene = pViewParam;
  DrawScrollingStrip(scene, scene->roadwayTexture, kRoadway, &gRoadwayPhase);
}

void DrawLaneline(int) {
  const ViewParam* scene = pViewParam;
  DrawScrollingStrip(scene, scene->laneTexture, kLaneLines, &gLanePhase);
}

void DrawCarBottomShadow(int top) {
  const ViewParam* scene = pViewParam;
  float hw = 0.0f;
  float hl = 0.0f;
  if (top == 0) {
    hw = static_cast<float>(scene->carWidth * 0.5);
    hl = static_cast<float>(scene->carLength * 0.5);
  } else {
    hw = static_cast<float>(scene->carWidth * 0.5 * scene->topScale[0]);
    hl = static_cast<float>(scene->carLength * 0.5 * scene->topScale[1]);
  }
  const float quad[12] = {
      hw,  hl,  0.0f,  //
      hw,  -hl, 0.0f,  //
      -hw, hl,  0.0f,  //
      -hw, -hl, 0.0f,
  };
  float mvp[16];
  ViewProjection(scene, mvp);
  if (scene->carBottomIndex == 3) {
    DrawColor(scene->shadowLuma, mvp, quad);
  } else {
    DrawPicture(scene->carBottomTexture, mvp, quad, kPlainTexCoords);
  }
}
