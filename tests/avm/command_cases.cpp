#include "tests/avm/command_cases.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "avm/bridge/scene_state.h"

namespace {

using Scene = ViewParam;

void FillFrameLoaded(Scene& s) {
  for (auto& row : s.frameLoaded) {
    for (int16_t& slot : row) {
      slot = 1;
    }
  }
}
bool FrameLoadedClear(const Scene& s) {
  for (const auto& row : s.frameLoaded) {
    for (int16_t slot : row) {
      if (slot != 0) {
        return false;
      }
    }
  }
  return true;
}

// Radar group as a vector, for readable comparisons.
std::vector<int32_t> Group(const int32_t* group) { return std::vector<int32_t>(group, group + 4); }

std::vector<unsigned char> Snapshot(const Scene& scene) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&scene);
  return std::vector<unsigned char>(bytes, bytes + sizeof(Scene));
}

int Pixels(int width, int height) { return width * 65536 + height; }

}  // namespace

std::vector<CommandCase> CommandTableCases() {
  std::vector<CommandCase> cases;
  auto add = [&cases](CommandCase c) { cases.push_back(std::move(c)); };

  // Codes without a handler.
  for (int code : {8, 9, 10, 11, 12, 14, 25, 40, 59, 62, 72, 78, 83, 86, 87, 91, 99, 113, 1000,
                   -1, INT_MIN}) {
    add({"code without handler", code, 1, nullptr, 1, nullptr, {}});
  }

  add({"screen mode 5, smooth rotation: 24 fps", 0, 5,
       [](Scene& s) { s.smoothRotation = 1; s.carViewActive = 1; s.frameRate = 40; }, 1,
       [](const Scene& s) {
         EXPECT_EQ(s.screenMode, 5);
         EXPECT_EQ(s.carViewActive, 0);
         EXPECT_EQ(s.frameRate, 24);
       }});
  add({"screen mode 12, smooth rotation: 60 fps", 0, 12, [](Scene& s) { s.smoothRotation = 1; }, 1,
       [](const Scene& s) { EXPECT_EQ(s.frameRate, 60); }});
  add({"screen mode without smooth rotation keeps the rate", 0, 15,
       [](Scene& s) { s.frameRate = 33; }, 1, [](const Scene& s) {
         EXPECT_EQ(s.screenMode, 15);
         EXPECT_EQ(s.frameRate, 33);
       }});

  add({"reverse gear keeps the steering", 1, 1,
       [](Scene& s) { s.steerAngle = 12.0; }, 1, [](const Scene& s) {
         EXPECT_EQ(s.reverseGear, 1);
         EXPECT_EQ(s.steerAngle, 12.0);
         EXPECT_EQ(s.rotationReverseSeen, 0);
       }});
  add({"reverse during a rotation show is remembered", 1, 1,
       [](Scene& s) { s.rotationShow = 1; }, 1,
       [](const Scene& s) { EXPECT_EQ(s.rotationReverseSeen, 1); }});
  add({"forward gear", 1, 0, [](Scene& s) { s.reverseGear = 1; s.rotationShow = 1; }, 1,
       [](const Scene& s) {
         EXPECT_EQ(s.reverseGear, 0);
         EXPECT_EQ(s.rotationReverseSeen, 0);
       }});

  add({"speed", 2, 7000, nullptr, 1,
       [](const Scene& s) { EXPECT_EQ(s.vehicleSpeed.load(), 7000); }});

  add({"steering clamps to 32", 3, 40, [](Scene& s) { s.reverseGear = 1; }, 1,
       [](const Scene& s) {
         EXPECT_EQ(s.steerAngle, 32.0);
         EXPECT_EQ(s.reverseGear, 1);
       }});
  add({"steering clamps to -32", 3, -90, nullptr, 1,
       [](const Scene& s) { EXPECT_EQ(s.steerAngle, -32.0); }});
  add({"steering in range", 3, -7, nullptr, 1, [](const Scene& s) { EXPECT_EQ(s.steerAngle, -7.0); }});

  add({"doors 1 and 3", 4, 0b1010,
       [](Scene& s) { s.topViewDirty = 0; FillFrameLoaded(s); s.doorOpen[0] = 1; }, 1,
       [](const Scene& s) {
         EXPECT_EQ(std::vector<int32_t>(s.doorOpen, s.doorOpen + 4),
                   (std::vector<int32_t>{0, 1, 0, 1}));
         EXPECT_EQ(s.topViewDirty, 1);
         EXPECT_TRUE(FrameLoadedClear(s));
       }});
  add({"doors: only bits 0..3 count", 4, -1, nullptr, 1, [](const Scene& s) {
         EXPECT_EQ(std::vector<int32_t>(s.doorOpen, s.doorOpen + 4),
                   (std::vector<int32_t>{1, 1, 1, 1}));
       }});

  add({"radar levels into group 1", 5, 0x4321, nullptr, 1, [](const Scene& s) {
         EXPECT_EQ(Group(s.radarGroup1), (std::vector<int32_t>{1, 2, 3, 4}));
         EXPECT_EQ(Group(s.radarGroup2), (std::vector<int32_t>{0, 0, 0, 0}));
       }});
  add({"radar levels into group 2 when a high bit is set", 5, 0x1000A5F0, nullptr, 1,
       [](const Scene& s) {
         EXPECT_EQ(Group(s.radarGroup2), (std::vector<int32_t>{0, 15, 5, 10}));
         EXPECT_EQ(Group(s.radarGroup1), (std::vector<int32_t>{0, 0, 0, 0}));
       }});
  add({"radar levels, sign bit alone selects group 2", 5, INT_MIN, nullptr, 1,
       [](const Scene& s) { EXPECT_EQ(Group(s.radarGroup2), (std::vector<int32_t>{0, 0, 0, 0})); }});

  add({"lamps right", 6, 2, [](Scene& s) { FillFrameLoaded(s); }, 1, [](const Scene& s) {
         EXPECT_EQ(s.lampState, 2);
         EXPECT_TRUE(FrameLoadedClear(s));
       }});
  add({"lamps 4 is out of range", 6, 4, nullptr, 1, nullptr});
  add({"lamps -1 is out of range", 6, -1, nullptr, 1, nullptr});

  // View angle, snapping (smooth rotation off).
  add({"-90 degrees snaps to target 144", 7, -90,
       [](Scene& s) { s.spriteAngle = 72; FillFrameLoaded(s); s.volumeLightLoaded = 1; }, 1,
       [](const Scene& s) {
         EXPECT_EQ(s.spriteAngleTarget, 144);
         EXPECT_EQ(s.rotationShow, 0);
         EXPECT_TRUE(FrameLoadedClear(s));
         EXPECT_EQ(s.volumeLightLoaded, 0);
         EXPECT_EQ(s.frameRate, 60);
       }});
  add({"100 degrees snaps down to 48", 7, 100, [](Scene& s) { s.spriteAngle = 72; }, 1,
       [](const Scene& s) { EXPECT_EQ(s.spriteAngleTarget, 48); }});
  add({"359 degrees", 7, 359, nullptr, 1,
       [](const Scene& s) { EXPECT_EQ(s.spriteAngleTarget, 168); }});
  add({"-720 degrees", 7, -720, [](Scene& s) { s.spriteAngle = 10; }, 1,
       [](const Scene& s) { EXPECT_EQ(s.spriteAngleTarget, 0); }});
  add({"most negative argument", 7, INT_MIN, [](Scene& s) { s.spriteAngle = 10; }, 1,
       [](const Scene& s) { EXPECT_EQ(s.spriteAngleTarget, 120); }});  // -128 -> 232 degrees
  add({"rotation show from the rear view, snapping", 7, 180, [](Scene& s) { s.spriteAngle = 0; }, 1,
       [](const Scene& s) {
         EXPECT_EQ(s.spriteAngleTarget, 96);
         EXPECT_EQ(s.rotationShow, 1);
         EXPECT_EQ(s.animationNotify, 0);
       }});
  add({"no rotation show towards 90 degrees", 7, 90, [](Scene& s) { s.spriteAngle = 0; }, 1,
       [](const Scene& s) { EXPECT_EQ(s.rotationShow, 0); }});
  // Smooth rotation.
  add({"smooth: any angle", 7, 100, [](Scene& s) { s.smoothRotation = 1; s.spriteAngle = 72; }, 1,
       [](const Scene& s) {
         EXPECT_EQ(s.spriteAngleTarget, 53);
         EXPECT_EQ(s.rotationShow, 0);
       }});
  add({"smooth: rotation show starts and is announced", 7, 270,
       [](Scene& s) { s.smoothRotation = 1; s.spriteAngle = 0; }, 1,
       [](const Scene& s) {
         EXPECT_EQ(s.spriteAngleTarget, 144);
         EXPECT_EQ(s.rotationShow, 1);
         EXPECT_EQ(s.animationNotify, 1);
       },
       {160}});
  add({"smooth: refused while a show runs, still fast and stale", 7, 90,
       [](Scene& s) {
         s.smoothRotation = 1;
         s.rotationShow = 1;
         s.spriteAngle = 20;
         s.spriteAngleTarget = 144;
         s.frameRate = 25;
         FillFrameLoaded(s);
         s.volumeLightLoaded = 1;
       },
       -1,
       [](const Scene& s) {
         EXPECT_EQ(s.spriteAngleTarget, 144);
         EXPECT_EQ(s.frameRate, 60);
         EXPECT_TRUE(FrameLoadedClear(s));
         EXPECT_EQ(s.volumeLightLoaded, 0);
       }});

  add({"plate shown", 15, 1, nullptr, 1, [](const Scene& s) {
         EXPECT_EQ(s.plateShown, 1);
         EXPECT_EQ(s.plateReload, 1);
       }});
  add({"plate hidden", 15, 0, [](Scene& s) { s.plateShown = 1; }, 1, [](const Scene& s) {
         EXPECT_EQ(s.plateShown, 0);
         EXPECT_EQ(s.plateReload, 0);
       }});
  add({"demo", 16, 3, nullptr, 1, [](const Scene& s) { EXPECT_EQ(s.demoMode, 3); }});
  add({"side inset", 18, 40, nullptr, 1, [](const Scene& s) { EXPECT_EQ(s.sideViewInset, 40); }});

  // Top-view zoom.
  add({"top-view zoom out", 20, 1, [](Scene& s) { s.screenMode = 12; s.topViewMargin = 220.0f; }, 1,
       [](const Scene& s) {
         EXPECT_EQ(s.topViewMargin, 230.0f);
         const double expected =
             (s.carLength * 0.5 + 230.0) * (s.topViewport[2] / s.topViewport[3]) - s.carWidth * 0.5;
         EXPECT_NEAR(s.topViewSideMargin, expected, 1e-3);
       }});
  add({"top-view zoom at 340 stops short of 350", 20, 1, [](Scene& s) { s.topViewMargin = 340.0f; },
       0, nullptr});
  add({"top-view zoom at 160 stops short of 150", 20, -1, [](Scene& s) { s.topViewMargin = 160.0f; },
       0, nullptr});
  add({"top-view zoom in", 20, -1, [](Scene& s) { s.topViewMargin = 170.0f; }, 1,
       [](const Scene& s) { EXPECT_EQ(s.topViewMargin, 160.0f); }});
  for (int mode : {4, 5, 15}) {
    add({"no top-view zoom in the 3D modes", 20, 1, [mode](Scene& s) { s.screenMode = mode; }, 1,
         nullptr});
  }
  add({"top-view zoom by 2 is no step", 20, 2, nullptr, 1, nullptr});

  struct SwitchField {
    int code;
    int32_t ViewParam::*field;
  };
  for (SwitchField sw : {SwitchField{21, &ViewParam::displaySwitch21},
                         SwitchField{22, &ViewParam::displaySwitch22},
                         SwitchField{23, &ViewParam::displaySwitch23},
                         SwitchField{24, &ViewParam::displaySwitch24},
                         SwitchField{73, &ViewParam::smoothRotation},
                         SwitchField{75, &ViewParam::tirePanelMode},
                         SwitchField{76, &ViewParam::displaySwitch76},
                         SwitchField{77, &ViewParam::displaySwitch77},
                         SwitchField{90, &ViewParam::displaySwitch90},
                         SwitchField{111, &ViewParam::singleTextureMode}}) {
    add({"switch on", sw.code, 1, nullptr, 1,
         [sw](const Scene& s) { EXPECT_EQ(s.*sw.field, 1); }});
    add({"switch 2 is out of range", sw.code, 2, nullptr, 1, nullptr});
    add({"switch -1 is out of range", sw.code, -1, nullptr, 1, nullptr});
  }

  add({"frame rate", 61, 30, nullptr, 1, [](const Scene& s) { EXPECT_EQ(s.frameRate, 30); }});

  add({"car bottom 2 reloads", 63, 2, nullptr, 1, [](const Scene& s) {
         EXPECT_EQ(s.carBottomIndex, 2);
         EXPECT_EQ(s.carBottomReload, 1);
         EXPECT_EQ(gStartupCarBottom, 2);
       }});
  add({"car bottom 3 does not reload", 63, 3, nullptr, 1, [](const Scene& s) {
         EXPECT_EQ(s.carBottomIndex, 3);
         EXPECT_EQ(s.carBottomReload, 0);
         EXPECT_EQ(gStartupCarBottom, 3);
       }});
  add({"car bottom 4 is out of range", 63, 4, nullptr, 1, nullptr});

  add({"logo brightness 1", 64, 1, nullptr, 1,
       [](const Scene& s) { EXPECT_FLOAT_EQ(s.logoLuma, -0.245f); }});
  add({"logo brightness 99", 64, 99, nullptr, 1,
       [](const Scene& s) { EXPECT_FLOAT_EQ(s.logoLuma, 0.245f); }});
  add({"logo brightness 50", 64, 50, [](Scene& s) { s.logoLuma = 0.1f; }, 1,
       [](const Scene& s) { EXPECT_EQ(s.logoLuma, 0.0f); }});
  add({"logo brightness 0 is out of range", 64, 0, nullptr, 1, nullptr});
  add({"logo brightness 100 is out of range", 64, 100, nullptr, 1, nullptr});

  add({"radar bytes as levels", 65, 0x21650086, nullptr, 1, [](const Scene& s) {
         EXPECT_EQ(Group(s.radarGroup1), (std::vector<int32_t>{3, 1, 3, 0}));
       }});
  add({"radar level boundaries, group 2", 66, 0x22648586, nullptr, 1, [](const Scene& s) {
         EXPECT_EQ(Group(s.radarGroup2), (std::vector<int32_t>{2, 2, 1, 0}));
         EXPECT_EQ(Group(s.radarGroup1), (std::vector<int32_t>{0, 0, 0, 0}));
       }});
  add({"radar bytes as distances", 65, static_cast<int>(0xFF640405u),
       [](Scene& s) { s.radarInputMode = 1; }, 1, [](const Scene& s) {
         EXPECT_EQ(Group(s.radarGroup1), (std::vector<int32_t>{255, 100, 5, 5}));
       }});

  add({"track extra lines", 67, 2, nullptr, 1,
       [](const Scene& s) { EXPECT_EQ(s.trackExtraLines, 2); }});
  add({"track extra lines 3 is out of range", 67, 3, nullptr, 1, nullptr});

  add({"radar input mode clears both groups", 68, 1,
       [](Scene& s) { s.radarGroup1[2] = 3; s.radarGroup2[0] = 1; }, 1, [](const Scene& s) {
         EXPECT_EQ(s.radarInputMode, 1);
         EXPECT_EQ(Group(s.radarGroup1), (std::vector<int32_t>{0, 0, 0, 0}));
         EXPECT_EQ(Group(s.radarGroup2), (std::vector<int32_t>{0, 0, 0, 0}));
       }});
  add({"radar input mode 2 is out of range", 68, 2, [](Scene& s) { s.radarGroup1[2] = 3; }, 1,
       nullptr});

  add({"view reset", 69, 0,
       [](Scene& s) {
         s.camAngle = 90.0f;
         s.singleTextureAngle = 50;
         s.spriteAngle = 48;
         s.spriteAngleTarget = 96;
         s.rotationReverseSeen = 1;
         s.rotationShow = 1;
         FillFrameLoaded(s);
       },
       1,
       [](const Scene& s) {
         EXPECT_EQ(s.camAngle, 0.0f);
         EXPECT_EQ(s.singleTextureAngle, -1);
         EXPECT_EQ(s.spriteAngle, 0);
         EXPECT_EQ(s.spriteAngleTarget, 0);
         EXPECT_EQ(s.rotationReverseSeen, 0);
         EXPECT_EQ(s.rotationShow, 0);
         // The view rests on 0 at once: the images of the angle it left go.
         EXPECT_TRUE(FrameLoadedClear(s));
       }});

  add({"3D zoom in", 70, 1, [](Scene& s) { s.viewFovy = 60.0f; }, 1, [](const Scene& s) {
         EXPECT_EQ(s.viewFovy, 59.0f);
         EXPECT_EQ(s.viewFovyCurrent, 59.0f);
       }});
  add({"3D zoom in at 51", 70, 1, [](Scene& s) { s.viewFovy = 51.0f; }, 0, nullptr});
  add({"3D zoom out at 60", 70, -1, [](Scene& s) { s.viewFovy = 60.0f; }, 0, nullptr});
  add({"3D zoom out to 60", 70, -1, [](Scene& s) { s.viewFovy = 59.0f; }, 1,
       [](const Scene& s) { EXPECT_EQ(s.viewFovyCurrent, 60.0f); }});
  add({"3D zoom by 3 is no step", 70, 3, nullptr, 1, nullptr});

  add({"animation query, snapping, view active", 71, 0, [](Scene& s) { s.carViewActive = 1; }, 1,
       nullptr});
  add({"animation query, snapping, view idle", 71, 0, [](Scene& s) { s.carViewActive = 0; }, 0,
       nullptr});
  add({"animation query, smooth, show running", 71, 0,
       [](Scene& s) { s.smoothRotation = 1; s.screenMode = 5; s.rotationShow = 1; s.frameRate = 25; },
       1, nullptr});
  add({"animation query, smooth, turning at 60 fps", 71, 0,
       [](Scene& s) { s.smoothRotation = 1; s.screenMode = 5; s.frameRate = 60; }, 1, nullptr});
  add({"animation query, smooth, resting", 71, 0,
       [](Scene& s) { s.smoothRotation = 1; s.screenMode = 5; s.frameRate = 25; }, 0, nullptr});
  add({"animation query, smooth, other mode", 71, 0,
       [](Scene& s) { s.smoothRotation = 1; s.screenMode = 15; s.rotationShow = 1; }, 0, nullptr});

  auto smooth3D = [](Scene& s) {
    s.smoothRotation = 1;
    s.screenMode = 15;
  };
  add({"animation notification on", 74, 1, smooth3D, 1,
       [](const Scene& s) { EXPECT_EQ(s.animationNotify, 1); }, {160}});
  add({"animation notification off", 74, 0,
       [smooth3D](Scene& s) { smooth3D(s); s.animationNotify = 1; }, 1,
       [](const Scene& s) { EXPECT_EQ(s.animationNotify, 0); }, {161}});
  add({"no notification change during a show", 74, 1,
       [smooth3D](Scene& s) { smooth3D(s); s.rotationShow = 1; }, 1, nullptr});
  add({"no notification change outside the 3D view", 74, 1,
       [](Scene& s) { s.smoothRotation = 1; s.screenMode = 12; }, 1, nullptr});
  add({"no notification change without smooth rotation", 74, 1,
       [](Scene& s) { s.screenMode = 5; }, 1, nullptr});
  add({"animation notification 2 is out of range", 74, 2, smooth3D, 1, nullptr});

  add({"version", 84, 0, nullptr, 127, nullptr});
  add({"version, any argument", 84, -5, nullptr, 127, nullptr});

  add({"3D field of view in tenths", 85, 555, [](Scene& s) { s.screenMode = 5; }, 1,
       [](const Scene& s) { EXPECT_FLOAT_EQ(s.mainFovy, 55.5f); }});
  add({"3D field of view 800", 85, 800, [](Scene& s) { s.screenMode = 5; }, 1,
       [](const Scene& s) { EXPECT_FLOAT_EQ(s.mainFovy, 80.0f); }});
  add({"3D field of view only in mode 5", 85, 600, [](Scene& s) { s.screenMode = 15; }, 1, nullptr});
  add({"3D field of view 549 is out of range", 85, 549, [](Scene& s) { s.screenMode = 5; }, 1,
       nullptr});

  add({"size code 12 is not in the table: code 0", 88, 12,
       [](Scene& s) { s.screenWidth = 1280; s.screenIndex = 3; }, 1, [](const Scene& s) {
         EXPECT_EQ(gBridge.layoutCode, 0);
         EXPECT_EQ(s.screenIndex, 0);
         EXPECT_EQ(s.screenWidth, 1024);
         EXPECT_EQ(s.screenHeight, 600);
       }});
  add({"size code 1 with a side inset", 88, 1, [](Scene& s) { s.sideViewInset = 40; }, 1,
       [](const Scene& s) {
         EXPECT_EQ(gBridge.layoutCode, 1);
         EXPECT_EQ(s.screenIndex, 1);
         EXPECT_EQ(s.screenWidth, 1280);
         EXPECT_EQ(s.screenHeight, 720);
         EXPECT_EQ(std::vector<float>(s.sideViewport, s.sideViewport + 4),
                   (std::vector<float>{444.0f, 43.0f, 836.0f, 677.0f}));
       }});
  add({"size code 21 is portrait", 88, 21, nullptr, 1, [](const Scene& s) {
         EXPECT_EQ(s.screenWidth, 800);
         EXPECT_EQ(s.screenHeight, 1280);
         EXPECT_EQ(s.topViewport[3], 640.0f);
       }});
  add({"size code 40 is out of range", 88, 40, nullptr, 1, nullptr});
  add({"size code -1 is out of range", 88, -1, nullptr, 1, nullptr});
  add({"extreme side inset lays out without overflow", 88, 0,
       [](Scene& s) { s.sideViewInset = INT_MAX; }, 1,
       [](const Scene& s) { EXPECT_LT(s.sideViewport[3], 0.0f); }});

  add({"screen 11 x 11 pixels", 89, Pixels(11, 11), nullptr, 1, [](const Scene& s) {
         EXPECT_EQ(s.screenWidth, 11);
         EXPECT_EQ(s.screenHeight, 11);
       }});
  add({"screen 11 x 10 pixels is refused", 89, Pixels(11, 10), nullptr, 0, nullptr});
  add({"screen 10 x 11 pixels is refused", 89, Pixels(10, 11), nullptr, 0, nullptr});
  add({"screen 1920 x 1080 pixels", 89, Pixels(1920, 1080), nullptr, 1, [](const Scene& s) {
         EXPECT_EQ(s.screenIndex, 1);
         EXPECT_EQ(s.topViewport[2], 660.0f);
       }});

  add({"other-car mode", 100, 5, nullptr, 1, [](const Scene& s) { EXPECT_EQ(s.aiCarMode, 5); }});
  add({"other-car mode 6 is out of range", 100, 6, nullptr, 1, nullptr});

  struct PictureField {
    int code;
    int highest;
    int32_t ViewParam::*index;
    int32_t ViewParam::*loaded;
  };
  for (PictureField p : {PictureField{101, 7, &ViewParam::laneIndex, &ViewParam::laneLoaded},
                         PictureField{103, 2, &ViewParam::roadwayIndex, &ViewParam::roadwayLoaded},
                         PictureField{104, 4, &ViewParam::backgroundIndex,
                                      &ViewParam::backgroundLoaded}}) {
    add({"layer picture", p.code, p.highest, [p](Scene& s) { s.*p.loaded = 1; }, 1,
         [p](const Scene& s) {
           EXPECT_EQ(s.*p.index, p.highest);
           EXPECT_EQ(s.*p.loaded, 0);
         }});
    add({"layer picture out of range", p.code, p.highest + 1, [p](Scene& s) { s.*p.loaded = 1; }, 1,
         nullptr});
  }

  add({"headlight beams", 102, 1, [](Scene& s) { FillFrameLoaded(s); }, 1, [](const Scene& s) {
         EXPECT_EQ(s.volumeLightOn, 1);
         EXPECT_TRUE(FrameLoadedClear(s));
       }});
  add({"headlight beams 2 is out of range", 102, 2, [](Scene& s) { FillFrameLoaded(s); }, 1, nullptr});

  struct AnyField {
    int code;
    int32_t ViewParam::*field;
  };
  for (AnyField f : {AnyField{105, &ViewParam::backgroundMode}, AnyField{106, &ViewParam::bottomShadowOn},
                     AnyField{107, &ViewParam::backgroundOn}, AnyField{108, &ViewParam::roadwayOn},
                     AnyField{109, &ViewParam::laneOn}}) {
    add({"any value", f.code, -7, nullptr, 1, [f](const Scene& s) { EXPECT_EQ(s.*f.field, -7); }});
  }

  add({"car brightness", 110, 50, nullptr, 1,
       [](const Scene& s) { EXPECT_FLOAT_EQ(s.carBrightness, 0.5f); }});
  add({"car brightness 0", 110, 0, nullptr, 1,
       [](const Scene& s) { EXPECT_EQ(s.carBrightness, 0.0f); }});
  add({"car brightness 101 is out of range", 110, 101, nullptr, 1, nullptr});

  add({"partial wheels present", 112, 0, [](Scene& s) { s.partialWheelSpritesPresent = 1; }, 1,
       nullptr});
  add({"partial wheels absent", 112, 0, nullptr, 0, nullptr});
  return cases;
}

void RunCommandCases(const std::function<void()>& initialise,
                     const std::function<int(int cmd, int arg)>& setCmd,
                     const std::function<std::vector<int>()>& takeNotifications) {
  for (const CommandCase& c : CommandTableCases()) {
    SCOPED_TRACE(std::string(c.what) + ": command " + std::to_string(c.cmd) + " with " +
                 std::to_string(c.arg));
    // Start-up settings that some commands change survive an
    // initialisation; every case starts from the defaults.
    gBridge.layoutCode = 0;
    gStartupCarBottom = 1;
    initialise();
    ViewParam& scene = *pViewParam;
    if (c.prepare) {
      c.prepare(scene);
    }
    if (takeNotifications) {
      takeNotifications();
    }
    const std::vector<unsigned char> before = Snapshot(scene);
    EXPECT_EQ(setCmd(c.cmd, c.arg), c.result);
    if (c.check) {
      c.check(scene);
    } else {
      EXPECT_TRUE(Snapshot(scene) == before) << "the scene changed";
    }
    if (takeNotifications) {
      EXPECT_EQ(takeNotifications(), c.notifications);
    }
  }
}
