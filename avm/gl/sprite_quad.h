#pragma once
// Where the car's sprites land on screen: quads in normalised device
// coordinates computed from the car tables of params.bin and the current
// views. Four vertices of 3 floats (bottom-left, top-left, bottom-right,
// top-right), z = 0.
//
// params.bin comes from a car package and may be damaged: a frame of one
// pixel, a zero size, a zero viewport height or a non-finite value would
// put infinite or NaN coordinates into a draw. Every routine here returns
// false for such input, and the caller skips the quad.

struct ViewParam;

enum class SpriteEdges {
  kWhole,             // whole-car sprites: the last pixel's left/top edge
  kHalfPixelFurther,  // state sprites: half a pixel further right and down
};

// The whole-car or state sprite of one angle; cord is that angle's entry of
// carCordCur (left, top, width, height in pixels of the rendered frame).
bool WholeCarSpriteQuad(const ViewParam* scene, const float* cord, SpriteEdges edges,
                        float* quad);

// The top-view sprite, from carTop2Cur and the top viewport.
bool TopSpriteQuad(const ViewParam* scene, float* quad);

// The whole frame of the camera that rendered the sprites, mapped into the
// current camera: the quad of the other-car and beam pictures. Vertex order
// top-left, bottom-left, top-right, bottom-right, for the plain texture
// coordinates.
bool RenderCameraFrameQuad(const ViewParam* scene, float* quad);
