#pragma once
// Sequences of what a driver does to the car's view, as the driver's-eye
// test sends them through the Java class: inputs (a command, or selecting
// the car again), each followed by some frames. A sequence is made from a
// seed, written as text so that it can be replayed, and read back from it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class Input : char {
  kNone = '-',
  kAngle = 'A',      // command 7, degrees
  kViewReset = 'R',  // command 69
  kSpeed = 'V',      // command 2
  kGear = 'G',       // command 1
  kSteer = 'S',      // command 3, degrees
  kDoors = 'D',      // command 4, bit i = door i
  kLamps = 'L',      // command 6
  kBeams = 'B',      // command 102
  kScreen = 'M',     // command 0, screen mode
  kDemo = 'O',       // command 16
  kSmooth = 'T',     // command 73
  kCarAgain = 'C',   // SetCar of the selected car again
};

// Whether the input carries an argument.
bool HasArgument(Input input);

// One input, then some frames.
struct Step {
  Input input = Input::kNone;
  int arg = 0;
  int frames = 0;
};

// The demonstration's door and speed steps follow the frame counter modulo
// this: a sequence starts at a place in that cycle, and a replay at the same.
constexpr uint32_t kDemoCycle = 10000;

struct Sequence {
  uint32_t startPhase = 0;  // frame counter of the first frame, modulo kDemoCycle
  std::vector<Step> steps;

  int Frames() const;
};

// "@<start phase>" and one word per step: the input's letter, its argument,
// '*' and the frames ("@400 A244*80 R*40").
std::string SequenceText(const Sequence& sequence);
// False for text that is not such a sequence.
bool ParseSequence(const std::string& text, Sequence* sequence);

// A driver's session of at least the given frames, the same for the same
// seed: again and again a view angle, often waited for, then a handful of
// other inputs a few frames apart.
Sequence GenerateSequence(uint32_t seed, int frames);

// Whether a trial run of a sequence still fails (the same way); it tells
// the frames it drew.
using StillFails = std::function<bool(const Sequence& candidate, uint64_t* framesDrawn)>;

// Cuts a sequence that failed at failingFrame (counted from its first
// frame) down to the shortest found that still fails: nothing after the
// failing frame, the longest run of first steps that can go, inputs that
// can go (their frames stay), then each step's frames halved while it still
// fails. The demonstration follows the frame counter, so every cut keeps
// the frames after it at their place in that cycle: frames taken out move
// the start on by as many. The trials draw at most frameBudget frames in
// all, so that a failure is reported in good time.
Sequence ShortenSequence(const Sequence& sequence, int failingFrame, const StillFails& stillFails,
                         uint64_t frameBudget = 25000);
