#pragma once
// The one record that holds the whole scene of the renderer, the bridge
// record that ties the library to its Java class, and the few process-wide
// globals beside them. Every command, setter and draw routine reads and
// writes these fields directly while holding gBridge.sceneMutex.
#include <jni.h>

#include <atomic>
#include <cstdint>
#include <mutex>

class AvmTrack;
class Objmodel;

// Sprite angles: 192 per turn, 1.875 degrees each.
constexpr int kSpriteAngles = 192;
constexpr int kObjectSlots = 20;
constexpr int kObjectSlotWords = 20;
constexpr std::size_t kSceneTextBufferSize = 256;

struct AngleTexture {
  uint32_t texture;  // whole-car image of the angle
  uint32_t second;   // spare name
};

struct AngleMark {
  int32_t loaded;  // 1 = AngleTexture::texture holds the angle's image
  int32_t second;  // spare mark
};

// Every field says its unit or range, and who writes it: "Init" is the
// initialisation method, "AvmInit" the start values of the view, "params.bin"
// the per-car reader run by car selection, "cmd N" the command of code N.
// A routine not named only reads the field. Start values are those of AvmInit
// unless said.
struct ViewParam {
  // 1. Vehicle state.
  int32_t carWidth;   // centimetres, 190 at start; params.bin; also the guide tracks' width
  int32_t carLength;  // centimetres, 523 at start; params.bin
  double steerAngle;  // degrees, -32..32; cmds 1 and 3 through AvmSetTireAngle, demo steering
  int32_t reverseGear;  // non-zero = reversing (the wheel frames run backwards); cmds 1, 3
  int32_t trackModeA;   // non-zero = guide tracks in their second line set, drawn without
                        // the view matrices; 0, no command
  int32_t trackModeB;   // non-zero (trackModeA 0) = guide tracks in their third line set;
                        // 0, no command
  // Written by the speed command without the scene lock while the frame
  // reads it, hence atomic; relaxed order suffices for a lone value.
  std::atomic<int32_t> vehicleSpeed;  // paces the wheel animation, 0 = still; cmd 2, demo
  int32_t doorOpen[4];  // 0 or 1 per door, bit i of cmd 4; also the demo's doors
  int32_t topViewDirty;  // 1 = rebuild the top-view picture; set by cmd 4 and car selection,
                         // cleared by the top-view draw once rebuilt
  int32_t radarGroup1[4];  // obstacle level 0..3, or centimetres (radarInputMode); cmds 5, 65
  int32_t radarGroup2[4];  // the same for the second group; cmds 5, 66; cmd 68 clears both
  int32_t carNumber;    // N of car<N>/ in the numbered package layout; 1, no command
  int32_t colorNumber;  // N of color<N>/ in the numbered package layout; 2, no command
  int32_t lampState;    // -1 every lamp blinks, 0 off, 1 left, 2 right, 3 both; cmd 6

  // 2. Two-dimensional top view.
  float topScale[3];   // x, y, z scale of the 2D model-view matrix; 1, 1, 1; params.bin
  float topCarScaleX;  // scale of the top-view car quad across; 1; params.bin picture size
  float topCarScaleY;  // scale of the top-view car quad along; 1; params.bin picture size
  float topViewMargin;  // centimetres added to half the car length for the 2D camera
                        // distance, 150..350; 220 or config.bin; cmd 20
  float topViewSideMargin;  // centimetres beside the car seen in the top viewport, derived
                            // from topViewMargin and the viewport's aspect; cmd 20

  // 3. Three-dimensional camera and sprite angle.
  float camHeight;        // centimetres, eye height of the 3D camera; 230 or params.bin
  float camDistance;      // centimetres from the car centre to the eye; 510 or params.bin
  float camTargetHeight;  // centimetres, height of the point looked at; 75 or params.bin
  float camFourthValue;   // fourth camera value of params.bin, stored only; 15
  float camAngle;         // degrees, spriteAngle x 1.875; the animation step, cmd 69
  int32_t spriteAngle;    // current view angle, 0..191 in 1.875-degree units; 72 at
                          // start; the animation step of the draw method, cmd 69
  int32_t spriteAngleTarget;  // angle the animation turns towards, 0..191; cmds 7, 69
  int32_t singleTextureAngle;  // angle that singleTexture holds, -1 none; the frame loop,
                               // car selection, cmd 69
  int32_t angleStep;      // sprite units per frame while the 3D view turns; 1, car selection
  int32_t carViewActive;  // 1 once the frame loop drew the 3D car; cleared by cmd 0

  // 4. Texture names. All are created at Init and never deleted; the
  // loaders fill a name with a new picture and keep the name.
  int32_t cameraTexture;  // -1 when Java has no camera picture; Init (test picture), and
                          // every frame element 0 of the draw method's array
  // General table, created by one CreateTexture call in this order.
  uint32_t topViewTexture;      // the 2D top view, rebuilt while topViewDirty is 1
  uint32_t carBottomTexture;    // common/car_bottom<carBottomIndex>.png; Init, carBottomReload
  uint32_t trackTexture;        // guide-track line picture an app hands to AvmSetTrackTextures
  uint32_t trackExtraTextureA;  // extra-line picture for trackExtraLines 1; the same call
  uint32_t trackExtraTextureB;  // extra-line picture for trackExtraLines 2; the same call
  // The pictures below are common/<name>.png, loaded by Init.
  uint32_t powerLowTexture;     // power_low: tyre sensor battery low, on the panels
  uint32_t plateTexture;        // plate/plate.png, the generated plate; again on plateReload
  uint32_t generalSpareTexture;  // spare name
  uint32_t lineTexture;         // line: DrawLine's picture; no screen mode draws it
  uint32_t tireWarningTexture;  // tire_warning; nothing draws it
  uint32_t leakTexture;         // leak: tyre leak icon, on the panels
  uint32_t pressureLowTexture;  // pressure_low: panel icon
  uint32_t pressureHighTexture;  // pressure_high: panel icon
  uint32_t temperatureHighTexture;  // temperature_high: panel icon
  uint32_t tireOkTexture;       // tire_ok; nothing draws it
  uint32_t logoTexture;  // logo, for screen mode 20: loaded by its layer, not Init, while
                         // logoLoaded is 0
  uint32_t safeLineTexture;  // safe_line; nothing draws it
  uint32_t generalSpareTextures[3];  // spare names
  uint32_t radarTextures[9];  // radar pictures an app hands to AvmSetRadarTextures
  uint32_t tirePanelTextures[4];  // generated tyre panels, one per wheel
  uint32_t spareTextures[5];  // created and cleared at Init; nothing draws with them
  int32_t spareFlags[5];      // zero from Init; nothing reads them
  // Layer table, created by one CreateTexture call in this order.
  uint32_t backgroundTexture;   // common/background<backgroundIndex>.png
  uint32_t roadwayTexture;      // common/roadway<roadwayIndex>.png
  uint32_t laneTexture;         // common/lane<laneIndex>.png
  uint32_t aiCarTexture;        // the other car beside ours (aiCarMode)
  uint32_t volumeLightTexture;  // headlight beams (volumeLightOn)
  uint32_t layerSpareTextures[10];  // spare names
  int16_t tirePanelReady[4];  // 0 = make the panel again, 1 = made, 2 = making failed;
                              // cleared by the tyre setter, set by the panel draw
  int16_t logoLoaded;         // 1 once logoTexture holds the logo; 0 from Init
  int16_t spareLoadFlags[19];  // zero from Init; nothing reads them
  // The state-image cache: one composed picture per blink phase and wheel
  // frame of the state angle the view rests on.
  uint32_t frameTextures[2][6];  // [blink phase][wheel frame]
  int16_t frameLoaded[2][6];  // 1 = that frame texture holds the current state's picture;
                              // set by the frame loop, all cleared on every state change
  uint32_t singleTexture[2];  // whole-car picture of singleTextureAngle; the second is spare
  int16_t carSpriteReady;     // 0 after Init and car selection; 1 once the frame loop drew
                              // the car; the whole-car draw does nothing while 0
  AngleTexture angleTextures[kSpriteAngles];  // per sprite angle, from Init
  AngleMark angleLoaded[kSpriteAngles];  // set by the idle-frame preload of the draw
                                         // method, cleared by Init and car selection

  // 5. Matrices of the current view, column-major as glUniformMatrix4fv
  // takes them; the car draw sets them for the 3D or top view each frame.
  float viewMatrix[16];  // scene centimetres to eye space
  float projMatrix[16];  // eye space to clip space
  int32_t testPictureMode;  // 1 = the camera picture is the test picture; Init from cmd 13

  // 6. Shader programs and their locations, set by the program builder at
  // AvmInit; a location of -1 is one the driver did not report.
  uint32_t externalProgram;  // camera picture from an external image
  int32_t externalMatProjLoc;
  int32_t externalPositionLoc;
  int32_t externalTexCoordLoc;
  int32_t externalSamplerLoc;
  int32_t externalPictureFlagLoc;
  int32_t externalLumaAllLoc;
  uint32_t pictureProgram;  // plain textured quads: layers, panels, plate
  int32_t pictureMatProjLoc;
  int32_t picturePositionLoc;
  int32_t pictureTexCoordLoc;
  int32_t pictureSamplerLoc;
  int32_t picturePictureFlagLoc;
  int32_t pictureLumaAllLoc;
  uint32_t colorProgram;  // flat colour with a brightness offset
  int32_t colorMatProjLoc;
  int32_t colorPositionLoc;
  int32_t colorLumaLoc;
  uint32_t carProgram;  // car sprites with alpha and brightness
  int32_t carPositionLoc;
  int32_t carCoordLoc;
  int32_t carTextureLoc;
  int32_t carTextureAlphaLoc;
  int32_t carMatrixLoc;
  int32_t carPkmFlagLoc;
  int32_t carAlphaFlagLoc;
  int32_t carAlphaValueLoc;
  uint32_t objProgram;  // object meshes in one colour
  int32_t objPositionLoc;
  int32_t objMatrixLoc;
  float objColorLoc;  // kept as a float; converted back where it is used

  // 7. Objects and screen geometry.
  AvmTrack* guideTrack;  // attached guide track, null when none; owned by the track
  Objmodel* carObjModel;  // common/car.bin, read once by the frame loop; null until then
  float topViewport[4];  // x, y, w, h in pixels; the screen layout (AvmSetScreen)
  float sideViewport[4];  // x, y, w, h in pixels; the screen layout
  float mainViewport[4];  // x, y, w, h in pixels; the screen layout
  float fullViewport[4];  // x, y, w, h in pixels; the screen layout
  float layoutRects[4][4];  // screen fractions, kept in config.bin; AvmInit
  int32_t screenMode;  // cmd 0: 5 and 15 the 3D view, 12 the top view, 20 the logo
  char assetRoot[kSceneTextBufferSize];  // asset directory of Init; ends with '/'
  char carName[kSceneTextBufferSize];  // directory of the selected car; car selection
  uint32_t frameCounter;  // frames drawn since Init; the draw method
  float logoLuma;    // brightness offset of the logo, -0.245..0.245; cmd 64
  float shadowLuma;  // brightness of the ground shadow, 0.5

  // 8. Settings, flags and pending work.
  int32_t firstFrameSeen;  // 1 once the draw method ran; 0 from Init
  float sideAspect;  // sideViewport width / height; the screen layout
  float mainAspect;  // mainViewport width / height; the screen layout
  float viewFovyCurrent;  // degrees, copy of viewFovy; cmd 70
  float viewFovy;  // degrees, 51..60, configured 3D field of view; config.bin, cmd 70
  float mainFovy;  // degrees, 55..80, field of view in screen mode 5; 60; cmd 85
  int32_t numberedCarLayout;  // 1 = car pictures under car<N>/color<N>/; 0, no command
  int32_t plateGeometryValid;  // 1 = params.bin gave a plate quad
  int32_t topGeometryValid;    // 1 = params.bin gave a top-view picture size
  int32_t plateShown;  // non-zero = the number plate is drawn on the car; cmd 15
  int32_t demoMode;    // non-zero = the draw method animates steering, speed and doors; cmd 16
  int32_t sideViewInset;  // pixels, vertical inset of the side viewport; cmd 18
  int32_t bottomStyle;    // 1..4; Init from cmd 17
  int32_t screenWidth;    // pixels; AvmInit, cmds 19, 88, 89
  int32_t screenHeight;   // pixels; AvmInit, cmds 19, 88, 89
  int32_t wheelFrame;     // wheel animation frame 0..5; the frame loop
  int32_t rotationShow;   // 1 while a turn of the 3D view runs; cmd 7, ended by the
                          // animation step or cmd 69
  int32_t blinkCounter;   // frames into the lamp blink cycle; the frame loop
  int32_t blinkPhase;     // 0 or 1, lamps dark or lit; the frame loop
  int32_t frameRate;  // frames per second of the paced draw path, 50; cmds 0, 7, 61, demo
  int32_t carBottomIndex;  // N of common/car_bottom<N>.png, 1..3; cmd 63
  int32_t angleLoadEnabled;  // 1 = the draw method loads one missing angle per idle
                             // frame; car selection
  int32_t doorSpritesAvailable;  // 1 = params.bin gave the door overlay tables
  int32_t trackExtraLines;  // guide-track extra lines 0..2; cmd 67
  int32_t radarInputMode;  // 0 = radar values are levels 0..3, 1 = centimetres; cmd 68
  int32_t rotationReverseSeen;  // 1 = reverse was engaged during a turn; cmd 1, cmds 7, 69
  int32_t carBottomReload;  // 1 = the draw method reloads carBottomTexture; cmd 63
  int32_t plateReload;  // 1 = the draw method reloads plateTexture; cmd 15, GenPlate
  int32_t smoothRotation;  // 1 = cmd 7 takes any angle, 0 = it snaps to 45 degrees; cmd 73
  // Tyre block, one entry per wheel, all from SetTirePressure.
  int32_t tirePressure[4];  // pressure in the unit of pressureUnit, -1 unknown
  int32_t tireTemperature[4];  // temperature in the unit of temperatureUnit, 100 at start
  int32_t tirePressureAlarm[4];  // non-zero = pressure alarm
  int32_t tireLeak[4];      // non-zero = leak
  int32_t tireTempAlarm[4];  // non-zero = temperature alarm
  int32_t tireBatteryLow[4];  // non-zero = sensor battery low
  int32_t pressureUnit;     // unit code of the pressure figures on the panels
  int32_t temperatureUnit;  // unit code of the temperature figures on the panels
  int32_t tirePanelStyle;   // panel picture style
  int32_t tirePanelMode;  // 1 = tyres are shown as generated panels; cmd 75
  int32_t animationNotify;  // 1 = notify Java when the running view turn ends; cmds 7,
                            // 74, cleared by the animation step
  int32_t screenIndex;  // row of the screen layout table, 0..39; Init from cmd 19, cmds 88, 89
  int32_t lrOffset[2];  // the two offsets of the layout row; config.bin, AvmSetScreen
  float lrParamCommon;  // layout parameter kept in config.bin; 70
  float lrParamsLeft[3];  // layout parameters kept in config.bin; 87, 0, 20
  float lrParamsRight[3];  // layout parameters kept in config.bin; 87, 0, 30
  int32_t trackMirror;  // 1 = the tessellation mirrors the lines behind the car; 1, no command
  int32_t carSpritesPresent;  // 1 = the selected car's whole-car pictures exist; car selection
  int32_t carResetPending;  // 1 = the draw method resets the car's sprites; car selection
  int32_t aiCarMode;  // other-car picture 0..5 (3 and 4 shift the road); 1; cmd 100
  int32_t volumeLightOn;  // 1 = headlight beams are drawn; cmd 102
  int32_t laneIndex;  // N of common/lane<N>.png, 0..7; cmd 101
  int32_t roadwayIndex;  // N of common/roadway<N>.png, 0..2; 1; cmd 103
  int32_t backgroundIndex;  // N of common/background<N>.png, 0..4; 1; cmd 104
  int32_t backgroundLoaded;  // 0 = the draw method (re)loads the background; cmd 104
  int32_t laneLoaded;  // 0 = the draw method (re)loads the lane picture; cmd 101
  int32_t roadwayLoaded;  // 0 = the draw method (re)loads the roadway; cmd 103
  int32_t backgroundMode;  // 0 = background always, 1 = only from behind while moving; cmd 105
  int32_t bottomShadowOn;  // non-zero = the ground shadow is drawn; 0; cmd 106
  int32_t backgroundOn;  // non-zero = background layer drawn; 1; cmd 107
  int32_t roadwayOn;  // non-zero = roadway layer drawn; 1; cmd 108
  int32_t laneOn;  // non-zero = lane layer drawn; 1; cmd 109
  int32_t volumeLightLoaded;  // 1 once the beam picture is loaded for the current car;
                              // the overlay draw sets, car selection and cmd 7 clear it
  int32_t aiCarLoaded;  // 1 once the other-car picture is loaded; the overlay draw,
                        // cleared by car selection
  float carBrightness;  // 0..1, brightness of the car sprite; 1; cmd 110
  int32_t singleTextureMode;  // 1 = one texture reloaded for the current angle instead of
                              // one kept per angle; cmd 111
  int32_t objectSlots[kObjectSlots][kObjectSlotWords];  // SetObj's int arrays, one per
                                                        // object; word 0 non-zero = drawn
  int32_t partialWheelSpritesPresent;  // 1 = the partial views' wheel pictures exist;
                                       // car selection; cmd 112 reports it
  // Plain stored values of the display switch commands; nothing reads them.
  int32_t displaySwitch21;  // 0 or 1; cmd 21
  int32_t displaySwitch22;  // 0 or 1; cmd 22
  int32_t displaySwitch23;  // 0 or 1; cmd 23
  int32_t displaySwitch24;  // 0 or 1; cmd 24
  int32_t displaySwitch76;  // 0 or 1; cmd 76
  int32_t displaySwitch77;  // 0 or 1; cmd 77
  int32_t displaySwitch90;  // 0 or 1; cmd 90
};

// The scene, allocated by initialisation and never freed.
extern ViewParam* pViewParam;

// The record that command 2 writes without the scene lock. Initialisation
// withdraws it (null) before it allocates a new record and publishes the
// new one (release) only once every start value is in place, so the
// lock-free speed never lands in a half-built record nor is overwritten by
// its start value: a speed command that finds null takes the scene lock,
// waits for the initialisation and writes the finished record. Everything
// else reads pViewParam under the scene lock.
extern std::atomic<ViewParam*> gPublishedScene;

// Allocates a fresh scene record with every field zero and makes it the
// current one. The previous record, if any, stays allocated: a frame or a
// command may still be reading it on another thread. Null when memory runs out.
ViewParam* AllocateSceneState();

struct BridgeRecord {
  jclass avmClass;  // global reference to com/kestra/avm/AVM
  jmethodID notifyMethod;
  jmethodID loadTextureMethod;
  jmethodID unzipMethod;
  int32_t testPicture;  // start-up setting of command 13
  int32_t layoutCode;   // start-up layout of commands 19, 88, 89
  // Read without the lock by every native method before it locks.
  std::atomic<int32_t> initialised;
  std::mutex sceneMutex;
  float demoSteer;
};

extern BridgeRecord gBridge;

// The Java VM, taken at initialisation.
extern JavaVM* gVmHandle;
// GetTickCount of the current frame, and the end of the previous frame's
// pacing. Written only by the draw method.
extern uint32_t nowTime;
extern uint32_t preTime;
extern uint32_t nowTime2;  // a second frame time that nothing writes

// Start-up settings that commands may change before initialisation copies them.
extern int32_t gStartupCarBottom;     // N of common/car_bottom<N>.png
extern int32_t gStartupBottomStyle;   // command 17
extern int32_t gStartupScreenWidth;   // commands 19 and 89
extern int32_t gStartupScreenHeight;
extern float gDemoSteerStep;
extern int32_t gDemoDirection;
