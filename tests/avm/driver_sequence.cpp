#include "tests/avm/driver_sequence.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <random>
#include <sstream>
#include <utility>

bool HasArgument(Input input) {
  return input != Input::kNone && input != Input::kViewReset && input != Input::kCarAgain;
}

int Sequence::Frames() const {
  int total = 0;
  for (const Step& step : steps) {
    total += step.frames;
  }
  return total;
}

std::string SequenceText(const Sequence& sequence) {
  std::ostringstream text;
  text << '@' << sequence.startPhase;
  for (const Step& step : sequence.steps) {
    text << ' ' << static_cast<char>(step.input);
    if (HasArgument(step.input)) {
      text << step.arg;
    }
    text << '*' << step.frames;
  }
  return text.str();
}

namespace {

// A whole decimal number, possibly negative, and nothing else.
bool ReadNumber(const std::string& text, long long low, long long high, long long* value) {
  if (text.empty() || text.size() > 12) {
    return false;
  }
  size_t used = 0;
  try {
    *value = std::stoll(text, &used);
  } catch (const std::exception&) {
    return false;
  }
  return used == text.size() && *value >= low && *value <= high;
}

}  // namespace

bool ParseSequence(const std::string& text, Sequence* sequence) {
  std::istringstream in(text);
  std::string word;
  long long number = 0;
  if (!(in >> word) || word[0] != '@' || !ReadNumber(word.substr(1), 0, kDemoCycle - 1, &number)) {
    return false;
  }
  Sequence parsed;
  parsed.startPhase = static_cast<uint32_t>(number);
  const std::string inputs = "-ARVGSDLBMOTC";
  while (in >> word) {
    const size_t star = word.find('*');
    if (inputs.find(word[0]) == std::string::npos || star == std::string::npos) {
      return false;
    }
    Step step;
    step.input = static_cast<Input>(word[0]);
    const std::string argument = word.substr(1, star - 1);
    if (HasArgument(step.input)) {
      if (!ReadNumber(argument, INT32_MIN, INT32_MAX, &number)) {
        return false;
      }
      step.arg = static_cast<int>(number);
    } else if (!argument.empty()) {
      return false;
    }
    if (!ReadNumber(word.substr(star + 1), 0, 1000000, &number)) {
      return false;
    }
    step.frames = static_cast<int>(number);
    parsed.steps.push_back(step);
  }
  *sequence = parsed;
  return true;
}

namespace {

// Degrees of command 7 whose sprite angle (1.875 degrees each, truncated)
// is the given one.
int DegreesOf(int angle) { return static_cast<int>(std::ceil(angle * 1.875)); }

}  // namespace

Sequence GenerateSequence(uint32_t seed, int frames) {
  std::mt19937 random(seed);
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  auto chance = [&](double p) { return std::bernoulli_distribution(p)(random); };
  auto any = [&](const auto& values) {
    return values[pick(0, static_cast<int>(std::size(values)) - 1)];
  };
  // Mostly state angles, the side views twice as often since their wheels
  // steer; the screen mode mostly the 3D view.
  static const int kTargets[] = {0, 24, 54, 72, 96, 130, 130, 144, 158, 158};
  static const int kSpeeds[] = {0,    800,   1500,  1501,  3000,  5000, 5001,
                                8000, 10000, 10001, 20000, 30001, 60000};
  static const int kModes[] = {5, 5, 5, 5, 12, 12, 15, 15, 20};
  // Inputs between angles, by weight: what changes most often comes most often.
  static const std::pair<Input, int> kWeights[] = {
      {Input::kViewReset, 3}, {Input::kSpeed, 7},  {Input::kGear, 3},     {Input::kSteer, 16},
      {Input::kDoors, 6},     {Input::kLamps, 6},  {Input::kBeams, 3},    {Input::kScreen, 5},
      {Input::kDemo, 3},      {Input::kSmooth, 1}, {Input::kCarAgain, 2},
  };
  int totalWeight = 0;
  for (const auto& weighted : kWeights) {
    totalWeight += weighted.second;
  }
  Sequence sequence;
  sequence.startPhase = static_cast<uint32_t>(pick(0, static_cast<int>(kDemoCycle) - 1));
  int steer = 0;
  while (sequence.Frames() < frames) {
    Step angle;
    angle.input = Input::kAngle;
    angle.arg = chance(0.8) ? DegreesOf(any(kTargets)) : pick(-400, 400);
    angle.frames = chance(0.7) ? pick(60, 130) : pick(1, 8);
    sequence.steps.push_back(angle);
    for (int count = pick(1, 8); count > 0; --count) {
      Step step;
      int roll = pick(0, totalWeight - 1);
      for (const auto& [input, weight] : kWeights) {
        if (roll < weight) {
          step.input = input;
          break;
        }
        roll -= weight;
      }
      switch (step.input) {
        case Input::kSpeed:
          step.arg = any(kSpeeds);
          break;
        case Input::kSteer:
          // Small corrections and new angles alike.
          steer = chance(0.5) ? steer + pick(-4, 4) : pick(-40, 40);
          step.arg = steer;
          break;
        case Input::kDoors:
          step.arg = chance(0.6) ? 0 : pick(1, 15);
          break;
        case Input::kLamps:
          step.arg = pick(0, 3);
          break;
        case Input::kScreen:
          step.arg = any(kModes);
          break;
        case Input::kSmooth:
          step.arg = chance(0.8) ? 1 : 0;
          break;
        case Input::kGear:
        case Input::kBeams:
        case Input::kDemo:
          step.arg = pick(0, 1);
          break;
        default:
          break;
      }
      // Mostly a few frames; now and then long enough for the wheels and
      // lamps to run through their cycles.
      step.frames = chance(0.15) ? pick(20, 60) : pick(1, 8);
      sequence.steps.push_back(step);
    }
  }
  return sequence;
}

namespace {

class Shortener {
 public:
  Shortener(const StillFails& stillFails, uint64_t budget)
      : stillFails_(stillFails), budget_(budget) {}

  Sequence Shorten(Sequence sequence, int failingFrame) {
    sequence = UpToFrame(sequence, failingFrame);
    sequence = WithoutPrefix(sequence);
    sequence = WithoutInputs(sequence);
    sequence = Merged(sequence);
    return WithFewerFrames(sequence);
  }

 private:
  bool Fails(const Sequence& candidate) {
    if (spent_ >= budget_ || candidate.steps.empty()) {
      return false;
    }
    uint64_t frames = 0;
    const bool fails = stillFails_(candidate, &frames);
    spent_ += frames;
    return fails;
  }

  static uint32_t Later(uint32_t phase, int frames) {
    return static_cast<uint32_t>((phase + static_cast<uint64_t>(frames)) % kDemoCycle);
  }

  // Nothing after the failing frame.
  static Sequence UpToFrame(Sequence sequence, int failingFrame) {
    int left = failingFrame + 1;
    std::vector<Step> kept;
    for (const Step& step : sequence.steps) {
      if (left <= 0) {
        break;
      }
      kept.push_back(step);
      kept.back().frames = std::min(step.frames, left);
      left -= kept.back().frames;
    }
    sequence.steps = kept;
    return sequence;
  }

  // The longest run of first steps that can go, found by halving.
  Sequence WithoutPrefix(const Sequence& sequence) {
    auto cut = [&](size_t count) {
      Sequence candidate = sequence;
      int frames = 0;
      for (size_t i = 0; i < count; ++i) {
        frames += sequence.steps[i].frames;
      }
      candidate.steps.erase(candidate.steps.begin(),
                            candidate.steps.begin() + static_cast<std::ptrdiff_t>(count));
      candidate.startPhase = Later(sequence.startPhase, frames);
      return candidate;
    };
    size_t low = 0;  // a cut known to fail
    size_t high = sequence.steps.size();
    while (high - low > 1) {
      const size_t middle = (low + high) / 2;
      if (Fails(cut(middle))) {
        low = middle;
      } else {
        high = middle;
      }
    }
    return cut(low);
  }

  // Inputs that can go, in chunks of halves, quarters, ... down to single
  // ones; their frames stay (as frames without an input).
  Sequence WithoutInputs(Sequence sequence) {
    for (size_t chunk = sequence.steps.size() / 2; chunk >= 1; chunk /= 2) {
      for (size_t at = 0; at < sequence.steps.size(); at += chunk) {
        Sequence candidate = sequence;
        bool changed = false;
        for (size_t i = at; i < std::min(at + chunk, candidate.steps.size()); ++i) {
          changed = changed || candidate.steps[i].input != Input::kNone;
          candidate.steps[i].input = Input::kNone;
          candidate.steps[i].arg = 0;
        }
        if (changed && Fails(candidate)) {
          sequence = candidate;
        }
      }
    }
    return sequence;
  }

  // Frames without an input join the step before them: the same frames.
  static Sequence Merged(Sequence sequence) {
    std::vector<Step> merged;
    for (const Step& step : sequence.steps) {
      if (step.input == Input::kNone && !merged.empty()) {
        merged.back().frames += step.frames;
      } else {
        merged.push_back(step);
      }
    }
    sequence.steps = merged;
    return sequence;
  }

  // Each step's frames halved as long as it still fails.
  Sequence WithFewerFrames(Sequence sequence) {
    for (size_t i = 0; i < sequence.steps.size(); ++i) {
      while (sequence.steps[i].frames > 0) {
        Sequence candidate = sequence;
        const int removed = candidate.steps[i].frames - candidate.steps[i].frames / 2;
        candidate.steps[i].frames -= removed;
        candidate.startPhase = Later(candidate.startPhase, removed);
        if (!Fails(candidate)) {
          break;
        }
        sequence = candidate;
      }
    }
    return sequence;
  }

  const StillFails& stillFails_;
  uint64_t budget_;
  uint64_t spent_ = 0;
};

}  // namespace

Sequence ShortenSequence(const Sequence& sequence, int failingFrame, const StillFails& stillFails,
                         uint64_t frameBudget) {
  return Shortener(stillFails, frameBudget).Shorten(sequence, failingFrame);
}
