#pragma once
// Every sprite, layer, panel and icon of the renderer is one quad of four
// vertices (bottom-left, top-left, bottom-right, top-right) drawn as a
// triangle strip from client memory. These are the shared vertex tables and
// the two generic quad routines.
#include <GLES2/gl2.h>

// Index list of every quad.
extern const GLushort kQuadIndices[4];
// The whole clip square, z = 0.
extern const float kFullScreenQuad[12];
// Texture coordinates that put image row 0 at the top of the quad.
extern const float kSpriteTexCoords[8];
// Texture coordinates that put image row 0 at the bottom of the quad.
extern const float kPlainTexCoords[8];

// Draws a textured quad with the picture program: texture on unit 0, mvp
// as the matrix, 4 positions of 3 floats and 4 texture coordinate pairs.
// Leaves source-alpha blending on.
void DrawPicture(GLuint texture, const float* mvp, const float* positions, const float* texcoords);

// Draws a flat grey quad of grey level luma (alpha 1) with the colour program.
void DrawColor(float luma, const float* mvp, const float* positions);

// Draws the 4-index strip from client memory and releases what the draw
// routines set up around it: no buffer bound, the two arrays disabled.
// positionLoc and texcoordLoc may be -1 (not active): then nothing is enabled.
void DrawQuadStrip(GLint positionLoc, const float* positions, GLint texcoordLoc,
                   const float* texcoords);
