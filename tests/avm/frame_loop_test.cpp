// The frame loop of the car views, drawn into the real context and read
// back: the wheel animation by speed and gear, the blink cycle by angle and
// lamp state, the twelve-slot state cache and the drawing order of the
// screen modes.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "avm/bridge/command_handlers.h"
#include "avm/bridge/scene_state.h"
#include "avm/view/frame_loop.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_view_fixture.h"

namespace {

// --- Wheels -----------------------------------------------------------

TEST_F(CarView, WheelStepsBySpeedClass) {
  RestAt(130);
  struct Case {
    int32_t speed;
    int frames;
    uint32_t steps;
    uint32_t ticks;
  };
  const Case cases[] = {
      {0, 6, 0, 0},      {-20, 6, 0, 0},     {1500, 6, 0, 0},   {1501, 9, 3, 9},
      {5000, 9, 3, 9},   {5001, 8, 4, 8},    {10000, 8, 4, 8},  {10001, 5, 5, 5},
      {30000, 5, 5, 5},  {30001, 3, 6, 3},
  };
  for (const Case& c : cases) {
    scene_->vehicleSpeed.store(c.speed);
    const uint32_t phase = gWheelPhase;
    const uint32_t ticks = gWheelTickCounter;
    for (int i = 0; i < c.frames; ++i) {
      Frame();
    }
    EXPECT_EQ(gWheelPhase - phase, c.steps) << c.speed;
    EXPECT_EQ(gWheelTickCounter - ticks, c.ticks) << c.speed;
    EXPECT_EQ(scene_->wheelFrame, static_cast<int>(gWheelPhase % 6)) << c.speed;
  }
}

TEST_F(CarView, SlowWheelsTurnOneFrameInThree) {
  RestAt(0);
  scene_->vehicleSpeed.store(0);
  Frame();
  std::vector<int> frames = {scene_->wheelFrame};
  scene_->vehicleSpeed.store(1501);
  for (int i = 0; i < 12; ++i) {
    Frame();
    frames.push_back(scene_->wheelFrame);
  }
  int changes = 0;
  for (size_t i = 1; i < frames.size(); ++i) {
    if (frames[i] != frames[i - 1]) {
      EXPECT_EQ(frames[i], (frames[i - 1] + 1) % 6);
      ++changes;
    }
  }
  EXPECT_EQ(changes, 4);
}

TEST_F(CarView, ReverseRunsTheFramesBackwards) {
  RestAt(158);
  scene_->reverseGear = 1;
  scene_->vehicleSpeed.store(10001);
  Frame();
  int previous = scene_->wheelFrame;
  EXPECT_EQ(previous, 5 - static_cast<int>(gWheelPhase % 6));
  for (int i = 0; i < 7; ++i) {
    Frame();
    EXPECT_EQ(scene_->wheelFrame, (previous + 5) % 6);  // 5, 4, 3, ..., 0, 5
    previous = scene_->wheelFrame;
  }
}

TEST_F(CarView, WheelsStayWhileTurningAndOffStateAngles) {
  scene_->vehicleSpeed.store(30001);
  const uint32_t phase = gWheelPhase;
  RestAt(100);  // not a state angle
  Frame();
  scene_->spriteAngle = 130;
  scene_->spriteAngleTarget = 144;  // turning
  Frame();
  EXPECT_EQ(gWheelPhase, phase);
  // Only the 3D modes keep the sprites current.
  RestAt(130);
  scene_->screenMode = 12;
  Frame();
  EXPECT_EQ(gWheelPhase, phase);
  scene_->screenMode = 15;
  Frame();
  EXPECT_EQ(gWheelPhase, phase + 2);
}

TEST_F(CarView, DoorModeShowsTheFirstWheelFrame) {
  RestAt(130);
  scene_->vehicleSpeed.store(10001);
  scene_->doorOpen[0] = 1;
  scene_->doorSpritesAvailable = 1;
  for (int i = 0; i < 4; ++i) {
    Frame();
    EXPECT_EQ(scene_->wheelFrame, 0);
  }
  // Without door sprites the open door is not shown and the wheels turn.
  scene_->doorSpritesAvailable = 0;
  std::vector<int> frames;
  for (int i = 0; i < 3; ++i) {
    Frame();
    frames.push_back(scene_->wheelFrame);
  }
  EXPECT_NE(frames[0], frames[1]);
  EXPECT_NE(frames[1], frames[2]);
}

// --- Blinking ---------------------------------------------------------

// Frames in blink phase 1 over count frames at a resting angle.
int LitFrames(ViewParam* scene, int angle, int32_t lampState, int count) {
  scene->spriteAngle = angle;
  scene->spriteAngleTarget = angle;
  scene->lampState = lampState;
  scene->blinkCounter = 0;
  scene->blinkPhase = 0;
  int lit = 0;
  for (int i = 0; i < count; ++i) {
    AvmDraw();
    lit += scene->blinkPhase;
  }
  return lit;
}

TEST_F(CarView, LampsBlinkTwelveFramesOnTwelveOff) {
  RestAt(54);
  scene_->lampState = 3;
  scene_->blinkCounter = 0;
  scene_->blinkPhase = 0;
  std::vector<int> phases;
  for (int i = 0; i < 48; ++i) {
    Frame();
    phases.push_back(scene_->blinkPhase);
  }
  for (int i = 0; i < 48; ++i) {
    // Counter 12 turns the lamp on, 24 off, 36 on, 48 off.
    const int expected = ((i + 1) / 12) % 2;
    EXPECT_EQ(phases[i], expected) << "frame " << i;
  }
}

TEST_F(CarView, WhichAnglesBlinkForWhichLampState) {
  // Both indicators blink at the ends, but at a side only its own does.
  EXPECT_EQ(LitFrames(scene_, 54, 3, 48), 24);
  EXPECT_EQ(LitFrames(scene_, 144, 3, 48), 24);
  EXPECT_EQ(LitFrames(scene_, 130, 3, 48), 0);
  EXPECT_EQ(LitFrames(scene_, 158, 3, 48), 0);
  EXPECT_EQ(LitFrames(scene_, 130, 1, 48), 24);
  EXPECT_EQ(LitFrames(scene_, 158, 1, 48), 0);
  EXPECT_EQ(LitFrames(scene_, 158, 2, 48), 24);
  EXPECT_EQ(LitFrames(scene_, 144, 0, 48), 0);
  // -1 runs the cycle everywhere; the partial views run it whatever the lamps.
  for (int angle : {0, 24, 54, 72, 96, 130, 144, 158}) {
    EXPECT_EQ(LitFrames(scene_, angle, -1, 48), 24) << angle;
  }
  EXPECT_EQ(LitFrames(scene_, 72, 0, 48), 24);
  EXPECT_EQ(LitFrames(scene_, 96, 0, 48), 24);
}

TEST_F(CarView, AStoppedCycleGoesDarkButKeepsItsCount) {
  RestAt(130);
  scene_->lampState = 1;
  scene_->blinkCounter = 11;
  scene_->blinkPhase = 0;
  Frame();
  EXPECT_EQ(scene_->blinkPhase, 1);
  ASSERT_EQ(CmdLamps(0), 1);
  Frame();
  EXPECT_EQ(scene_->blinkPhase, 0);
  EXPECT_EQ(scene_->blinkCounter, 12);
}

TEST_F(CarView, TheBlinkCycleRunsOnAcrossTheCountersWrap) {
  // The counter counts every blinking frame for the life of the car: near
  // the top of its range it must neither overflow nor break the cycle.
  RestAt(54);
  scene_->lampState = 3;
  scene_->blinkPhase = 0;
  scene_->blinkCounter = std::numeric_limits<int32_t>::max() - 30;
  std::vector<int> toggles;
  int phase = scene_->blinkPhase;
  for (int frame = 0; frame < 80; ++frame) {
    Frame();
    if (scene_->blinkPhase != phase) {
      toggles.push_back(frame);
      phase = scene_->blinkPhase;
    }
  }
  ASSERT_GE(toggles.size(), 6u);
  for (std::size_t i = 1; i < toggles.size(); ++i) {
    EXPECT_EQ(toggles[i] - toggles[i - 1], 12) << "toggle " << i;
  }
}

// --- The state cache --------------------------------------------------

TEST_F(CarView, EachSlotIsComposedOnceUntilACommandClearsTheCache) {
  RestAt(144);
  scene_->vehicleSpeed.store(0);
  scene_->lampState = 0;
  Frame();
  const int w = scene_->wheelFrame;
  EXPECT_EQ(scene_->frameLoaded[0][w], 1);
  int loaded = 0;
  for (const auto& row : scene_->frameLoaded) {
    for (int16_t flag : row) {
      loaded += flag;
    }
  }
  EXPECT_EQ(loaded, 1);

  // A current slot is only bound: what it holds stays.
  Plant(scene_->frameTextures[0][w]);
  Frame();
  Frame();
  EXPECT_TRUE(StillPlanted(scene_->frameTextures[0][w]));
  // The lamp, door and angle commands make every slot stale: the next frame
  // composes the slot again (this car has no pictures: an empty image).
  for (int command : {6, 4, 7}) {
    Plant(scene_->frameTextures[0][w]);
    if (command == 6) {
      CmdLamps(0);
    } else if (command == 4) {
      CmdDoors(0);
    } else {
      CmdViewAngle(270);  // 144 rests there
      RestAt(144);
    }
    EXPECT_EQ(scene_->frameLoaded[0][w], 0) << command;
    Frame();
    EXPECT_FALSE(StillPlanted(scene_->frameTextures[0][w])) << command;
    EXPECT_EQ(scene_->frameLoaded[0][w], 1) << command;
  }
}

TEST_F(CarView, AFullCycleComposesAtMostTwelveImages) {
  RestAt(72);
  scene_->lampState = -1;
  scene_->vehicleSpeed.store(10001);
  std::memset(scene_->frameLoaded, 0, sizeof(scene_->frameLoaded));
  for (int i = 0; i < 72; ++i) {
    Frame();
  }
  for (const auto& row : scene_->frameLoaded) {
    for (int16_t flag : row) {
      EXPECT_EQ(flag, 1);
    }
  }
  // From now on nothing is composed: every slot keeps a planted picture.
  for (const auto& row : scene_->frameTextures) {
    for (uint32_t texture : row) {
      Plant(texture);
    }
  }
  for (int i = 0; i < 30; ++i) {
    Frame();
  }
  for (const auto& row : scene_->frameTextures) {
    for (uint32_t texture : row) {
      EXPECT_TRUE(StillPlanted(texture));
    }
  }
}

TEST_F(CarView, TurningComposesNothing) {
  scene_->spriteAngle = 130;
  scene_->spriteAngleTarget = 0;
  std::memset(scene_->frameLoaded, 0, sizeof(scene_->frameLoaded));
  Frame();
  for (const auto& row : scene_->frameLoaded) {
    for (int16_t flag : row) {
      EXPECT_EQ(flag, 0);
    }
  }
}

TEST_F(CarView, TheWholeCarImageLoadsOnDemandAndSingleTextureFollowsTheAngle) {
  RestAt(40);
  scene_->angleLoaded[40].loaded = 0;
  Plant(scene_->angleTextures[40].texture);
  Frame();
  EXPECT_EQ(scene_->angleLoaded[40].loaded, 1);
  EXPECT_FALSE(StillPlanted(scene_->angleTextures[40].texture));
  Plant(scene_->angleTextures[40].texture);
  Frame();
  EXPECT_TRUE(StillPlanted(scene_->angleTextures[40].texture));

  scene_->singleTextureMode = 1;
  scene_->singleTextureAngle = -1;
  Plant(scene_->singleTexture[0]);
  Frame();
  EXPECT_EQ(scene_->singleTextureAngle, 40);
  EXPECT_FALSE(StillPlanted(scene_->singleTexture[0]));
  Plant(scene_->singleTexture[0]);
  Frame();
  EXPECT_TRUE(StillPlanted(scene_->singleTexture[0]));
}

// --- What each screen mode draws ---------------------------------------

TEST_F(CarView, ModeFifteenKeepsSpritesButDrawsNothing) {
  RestAt(40);
  AllLayersOff();
  scene_->backgroundOn = 1;
  scene_->backgroundMode = 0;
  UploadSpriteImage(static_cast<int>(scene_->backgroundTexture), Flat(4, 4, 200, 200, 200, 255));
  scene_->carViewActive = 0;
  scene_->carSpriteReady = 0;
  scene_->screenMode = 15;
  Frame();
  EXPECT_EQ(scene_->carViewActive, 1);
  EXPECT_EQ(scene_->carSpriteReady, 1);
  std::vector<uint8_t> frame = HostEglReadPixels();
  EXPECT_TRUE(Near(FramePixel(frame, kW / 2, kH / 2), 0, 0, 0));
  scene_->screenMode = 5;
  Frame();
  frame = HostEglReadPixels();
  const int x = static_cast<int>(scene_->mainViewport[0] + scene_->mainViewport[2] / 2);
  const int y = kH - 1 - static_cast<int>(scene_->mainViewport[1] + scene_->mainViewport[3] / 2);
  EXPECT_TRUE(Near(FramePixel(frame, x, y), 200, 200, 200));
}

TEST_F(CarView, RestingStateAngleDrawsTheStateSpriteTurningDrawsTheWholeCar) {
  AllLayersOff();
  scene_->carSpritesPresent = 1;
  RestAt(130);
  scene_->vehicleSpeed.store(0);
  scene_->lampState = 0;
  Frame();  // composes the slot (an empty image: this car has no pictures)
  const int w = scene_->wheelFrame;
  UploadSpriteImage(static_cast<int>(scene_->frameTextures[0][w]), Flat(4, 4, 255, 0, 0, 255));
  UploadSpriteImage(static_cast<int>(scene_->angleTextures[130].texture),
                    Flat(4, 4, 0, 255, 0, 255));
  const int x = static_cast<int>(scene_->mainViewport[0] + scene_->mainViewport[2] / 2);
  const int y = kH - 1 - static_cast<int>(scene_->mainViewport[1] + scene_->mainViewport[3] / 2);
  Frame();
  // The decoded B byte lands in the texture's R.
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), x, y), 255, 0, 0));
  scene_->spriteAngleTarget = 131;  // turning away: the loop draws the whole car
  scene_->spriteAngle = 130;
  AvmDraw();
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), x, y), 0, 255, 0));
  // At a resting angle that is no state angle, the whole car as well.
  RestAt(131);
  UploadSpriteImage(static_cast<int>(scene_->angleTextures[131].texture),
                    Flat(4, 4, 255, 255, 0, 255));
  Frame();
  EXPECT_TRUE(Near(FramePixel(HostEglReadPixels(), x, y), 255, 255, 0));
}

}  // namespace
