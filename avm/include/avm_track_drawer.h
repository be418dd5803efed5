#pragma once
// The drawer of the guide lines: tessellates one line at a time, a circular
// arc or a straight band, into a triangle strip of 51 pairs of vertices,
// keeps each of its twelve line slots in a GPU buffer of its own and draws
// it with the renderer's track program, textured.
//
// GL thread only, with the renderer's context current. draw() reads the
// renderer's scene (modes, gear, car length, textures): AvmTrack calls it
// with the scene lock held, and so must any other caller.
//
// The members below are the whole object, in this order (140 bytes): a
// caller may declare the class from them and allocate it itself. The
// drawer's own bookkeeping lives outside the object.
#include <stdint.h>

// The line's arithmetic, kept out of this header.
struct TrackLineShape;
struct TrackSceneModes;

class TrackDrawer {
 public:
  explicit TrackDrawer(float width);
  // Gives back the fourteen buffers and the program. Destroy a drawer on the
  // GL thread, with the context it was made in current: GL names belong to
  // that context.
  ~TrackDrawer();
  TrackDrawer(const TrackDrawer&) = delete;
  TrackDrawer& operator=(const TrackDrawer&) = delete;

  // Builds the track program and looks up its locations: 1, or 0 when the
  // program could not be built (then nothing is drawn).
  int initShader();
  // Rebuilds what is dirty and draws the current slot: an arc when straight
  // is 0, a straight band otherwise. view and proj are column-major 4x4.
  void draw(float* view, float* proj, int straight);
  // The arc or the band of the current line into the current slot's buffer.
  void buildVertex();
  void buildVertexLine();
  void buildIndex();
  void buildTextueCoord();
  // Refills buffer with size bytes of data (nothing for null data).
  void updateVBO(uint32_t buffer, int size, const void* data);
  // Makes every slot rebuild its line on its next draw, in all three modes:
  // what a change of steering or driving direction needs.
  void markGeometryDirty();
  // Clears the flag of the current track mode: called by a track operation
  // after its last line, so that the lines it drew are current.
  void markModeCurrent();

  int32_t vertexCount;  // 51 pairs of inner and outer vertex
  int32_t indexCount;
  int32_t segments;  // steps along a line
  float width;       // band width of slots 0 to 5
  uint32_t vertexBuffers[12];
  uint32_t indexBuffer;
  uint32_t texCoordBuffer;
  int32_t texture;  // texture of slots 0 to 5
  int32_t program;
  int32_t positionLoc;
  int32_t texCoordLoc;
  int32_t samplerLoc;
  int32_t viewLoc;
  int32_t projLoc;
  bool texCoordDirty;
  bool indexDirty;
  // [0] plain mode, [1] track mode A, [2] track mode B. The rebuild rule,
  // all of it here: markGeometryDirty sets all three (steering, direction);
  // while the current mode's flag stays set, draw rebuilds every line it is
  // asked for, so all the lines of one track operation are rebuilt; the
  // operation then calls markModeCurrent, and the next draws reuse the
  // buffers until the flags are set again.
  bool geometryDirty[3];
  // The current line: arc centre (for a band its centre x and start y),
  // start angle in degrees, +1 or -1 for the sense of the arc, radius along
  // the middle of the band, length along the path, slot 0..11, and the band
  // width of slots 6 to 11.
  float centerX;
  float centerY;
  float startAngle;
  float direction;
  float radius;
  float length;
  int32_t slot;
  float extraWidth;

 private:
  // Tessellates the current slot's line (arc or band) and uploads it when
  // every vertex is finite; a slot whose line has no finite vertices is not
  // drawn.
  void buildSlot(bool (*tessellate)(const TrackLineShape&, const TrackSceneModes&, float*));
};
