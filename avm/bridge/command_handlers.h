#pragma once
// The handlers of the command table (commands.cpp), one per code. Each runs
// with the scene lock held (except the speed command) and returns the
// command's result. An argument outside a command's range changes nothing
// and gives 1 unless the command says otherwise.
#include <cstdint>

// Ranges are compared as unsigned values, so negative arguments fall
// outside every range that starts at 0 or above.
inline bool ArgInRange(int32_t arg, uint32_t low, uint32_t high) {
  return static_cast<uint32_t>(arg) - low <= high - low;
}

// Start-up settings (accepted before initialisation) and the version.
int CmdTestPicture(int32_t arg);       // 13
int CmdBottomStyle(int32_t arg);       // 17
int CmdScreenSizeCode(int32_t arg);    // 19
int CmdScreenSizePixels(int32_t arg);  // 89
int CmdVersion(int32_t arg);           // 84

// Vehicle state.
int CmdGear(int32_t arg);      // 1
int CmdSpeed(int32_t arg);     // 2, without the scene lock
int CmdSteering(int32_t arg);  // 3
int CmdDoors(int32_t arg);     // 4
int CmdLamps(int32_t arg);     // 6

// Radar.
int CmdRadarPacked(int32_t arg);     // 5
int CmdRadarBytes1(int32_t arg);     // 65
int CmdRadarBytes2(int32_t arg);     // 66
int CmdRadarInputMode(int32_t arg);  // 68

// Views, layout and animation.
int CmdScreenMode(int32_t arg);             // 0
int CmdViewAngle(int32_t arg);              // 7
int CmdSideInset(int32_t arg);              // 18
int CmdTopViewZoom(int32_t arg);            // 20
int CmdViewReset(int32_t arg);              // 69
int CmdZoom3D(int32_t arg);                 // 70
int CmdAnimationQuery(int32_t arg);         // 71
int CmdSmoothRotation(int32_t arg);         // 73
int CmdAnimationNotification(int32_t arg);  // 74
int CmdFieldOfView3D(int32_t arg);          // 85
int CmdScreenSizeCodeLive(int32_t arg);     // 88

// Display settings and layer pictures.
int CmdPlateShown(int32_t arg);         // 15
int CmdDemo(int32_t arg);               // 16
int CmdDisplaySwitch21(int32_t arg);    // 21
int CmdDisplaySwitch22(int32_t arg);    // 22
int CmdDisplaySwitch23(int32_t arg);    // 23
int CmdDisplaySwitch24(int32_t arg);    // 24
int CmdFrameRate(int32_t arg);          // 61
int CmdCarBottom(int32_t arg);          // 63
int CmdLogoBrightness(int32_t arg);     // 64
int CmdTrackExtraLines(int32_t arg);    // 67
int CmdTirePanelMode(int32_t arg);      // 75
int CmdDisplaySwitch76(int32_t arg);    // 76
int CmdDisplaySwitch77(int32_t arg);    // 77
int CmdDisplaySwitch90(int32_t arg);    // 90
int CmdOtherCarMode(int32_t arg);       // 100
int CmdLanePicture(int32_t arg);        // 101
int CmdHeadlightBeams(int32_t arg);     // 102
int CmdRoadwayPicture(int32_t arg);     // 103
int CmdBackgroundPicture(int32_t arg);  // 104
int CmdBackgroundMode(int32_t arg);     // 105
int CmdGroundShadow(int32_t arg);       // 106
int CmdBackgroundLayer(int32_t arg);    // 107
int CmdRoadwayLayer(int32_t arg);       // 108
int CmdLaneLayer(int32_t arg);          // 109
int CmdCarBrightness(int32_t arg);      // 110
int CmdSingleTextureMode(int32_t arg);  // 111
int CmdPartialWheelQuery(int32_t arg);  // 112

// Saves the display configuration (60).
int CmdSaveConfiguration(int32_t arg);
