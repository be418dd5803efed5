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

struct ViewParam {
  // 1. Vehicle state.
  int32_t carWidth;
  int32_t carLength;
  double steerAngle;
  int32_t reverseGear;
  int32_t trackModeA;
  int32_t trackModeB;
  // Written by the speed command without the scene lock while the frame
  // reads it, hence atomic; relaxed order suffices for a lone value.
  std::atomic<int32_t> vehicleSpeed;
  int32_t doorOpen[4];
  int32_t topViewDirty;
  int32_t radarGroup1[4];
  int32_t radarGroup2[4];
  int32_t carNumber;
  int32_t colorNumber;
  int32_t lampState;

  // 2. Two-dimensional top view.
  float topScale[3];
  float topCarScaleX;
  float topCarScaleY;
  float topViewMargin;
  float topViewSideMargin;

  // 3. Three-dimensional camera and sprite angle.
  float camHeight;
  float camDistance;
  float camTargetHeight;
  float camFourthValue;
  float camAngle;
  int32_t spriteAngle;
  int32_t spriteAngleTarget;
  int32_t singleTextureAngle;
  int32_t angleStep;
  int32_t carViewActive;

  // 4. Texture names.
  int32_t cameraTexture;  // -1 when Java has no camera picture
  // General table, created by one CreateTexture call in this order.
  uint32_t topViewTexture;
  uint32_t carBottomTexture;
  uint32_t trackTexture;
  uint32_t trackExtraTextureA;
  uint32_t trackExtraTextureB;
  uint32_t powerLowTexture;
  uint32_t plateTexture;
  uint32_t generalSpareTexture;
  uint32_t lineTexture;
  uint32_t tireWarningTexture;
  uint32_t leakTexture;
  uint32_t pressureLowTexture;
  uint32_t pressureHighTexture;
  uint32_t temperatureHighTexture;
  uint32_t tireOkTexture;
  uint32_t logoTexture;
  uint32_t safeLineTexture;
  uint32_t generalSpareTextures[3];
  uint32_t radarTextures[9];
  uint32_t tirePanelTextures[4];
  uint32_t spareTextures[5];
  int32_t spareFlags[5];
  // Layer table, created by one CreateTexture call in this order.
  uint32_t backgroundTexture;
  uint32_t roadwayTexture;
  uint32_t laneTexture;
  uint32_t aiCarTexture;
  uint32_t volumeLightTexture;
  uint32_t layerSpareTextures[10];
  int16_t tirePanelReady[4];
  int16_t logoLoaded;
  int16_t spareLoadFlags[19];
  uint32_t frameTextures[2][6];  // [blink phase][wheel frame]
  int16_t frameLoaded[2][6];
  uint32_t singleTexture[2];
  int16_t carSpriteReady;
  AngleTexture angleTextures[kSpriteAngles];
  AngleMark angleLoaded[kSpriteAngles];

  // 5. Matrices of the current view.
  float viewMatrix[16];
  float projMatrix[16];
  int32_t testPictureMode;

  // 6. Shader programs and their locations.
  uint32_t externalProgram;
  int32_t externalMatProjLoc;
  int32_t externalPositionLoc;
  int32_t externalTexCoordLoc;
  int32_t externalSamplerLoc;
  int32_t externalPictureFlagLoc;
  int32_t externalLumaAllLoc;
  uint32_t pictureProgram;
  int32_t pictureMatProjLoc;
  int32_t picturePositionLoc;
  int32_t pictureTexCoordLoc;
  int32_t pictureSamplerLoc;
  int32_t picturePictureFlagLoc;
  int32_t pictureLumaAllLoc;
  uint32_t colorProgram;
  int32_t colorMatProjLoc;
  int32_t colorPositionLoc;
  int32_t colorLumaLoc;
  uint32_t carProgram;
  int32_t carPositionLoc;
  int32_t carCoordLoc;
  int32_t carTextureLoc;
  int32_t carTextureAlphaLoc;
  int32_t carMatrixLoc;
  int32_t carPkmFlagLoc;
  int32_t carAlphaFlagLoc;
  int32_t carAlphaValueLoc;
  uint32_t objProgram;
  int32_t objPositionLoc;
  int32_t objMatrixLoc;
  float objColorLoc;  // kept as a float; converted back where it is used

  // 7. Objects and screen geometry.
  AvmTrack* guideTrack;
  Objmodel* carObjModel;
  float topViewport[4];  // x, y, w, h in pixels
  float sideViewport[4];
  float mainViewport[4];
  float fullViewport[4];
  float layoutRects[4][4];  // screen fractions, kept in config.bin
  int32_t screenMode;
  char assetRoot[kSceneTextBufferSize];  // ends with '/'
  char carName[kSceneTextBufferSize];
  uint32_t frameCounter;
  float logoLuma;
  float shadowLuma;

  // 8. Settings, flags and pending work.
  int32_t firstFrameSeen;
  float sideAspect;
  float mainAspect;
  float viewFovyCurrent;
  float viewFovy;
  float mainFovy;
  int32_t numberedCarLayout;
  int32_t plateGeometryValid;
  int32_t topGeometryValid;
  int32_t plateShown;
  int32_t demoMode;
  int32_t sideViewInset;
  int32_t bottomStyle;
  int32_t screenWidth;
  int32_t screenHeight;
  int32_t wheelFrame;
  int32_t rotationShow;
  int32_t blinkCounter;
  int32_t blinkPhase;
  int32_t frameRate;
  int32_t carBottomIndex;
  int32_t angleLoadEnabled;
  int32_t doorSpritesAvailable;
  int32_t trackExtraLines;
  int32_t radarInputMode;
  int32_t rotationReverseSeen;
  int32_t carBottomReload;
  int32_t plateReload;
  int32_t smoothRotation;
  int32_t tirePressure[4];
  int32_t tireTemperature[4];
  int32_t tirePressureAlarm[4];
  int32_t tireLeak[4];
  int32_t tireTempAlarm[4];
  int32_t tireBatteryLow[4];
  int32_t pressureUnit;
  int32_t temperatureUnit;
  int32_t tirePanelStyle;
  int32_t tirePanelMode;
  int32_t animationNotify;
  int32_t screenIndex;
  int32_t lrOffset[2];
  float lrParamCommon;
  float lrParamsLeft[3];
  float lrParamsRight[3];
  int32_t trackMirror;
  int32_t carSpritesPresent;
  int32_t carResetPending;
  int32_t aiCarMode;
  int32_t volumeLightOn;
  int32_t laneIndex;
  int32_t roadwayIndex;
  int32_t backgroundIndex;
  int32_t backgroundLoaded;
  int32_t laneLoaded;
  int32_t roadwayLoaded;
  int32_t backgroundMode;
  int32_t bottomShadowOn;
  int32_t backgroundOn;
  int32_t roadwayOn;
  int32_t laneOn;
  int32_t volumeLightLoaded;
  int32_t aiCarLoaded;
  float carBrightness;
  int32_t singleTextureMode;
  int32_t objectSlots[kObjectSlots][kObjectSlotWords];
  int32_t partialWheelSpritesPresent;
  // Plain stored values of the display switch commands; nothing reads them.
  int32_t displaySwitch21;
  int32_t displaySwitch22;
  int32_t displaySwitch23;
  int32_t displaySwitch24;
  int32_t displaySwitch76;
  int32_t displaySwitch77;
  int32_t displaySwitch90;
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
