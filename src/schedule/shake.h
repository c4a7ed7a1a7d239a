#pragma once
// The shake of the Reminder popup as a sequence of steps. A round is four times up, left, down
// and right by 3 pixels with 40 ms after each move, then back to the start and 800 ms of rest.
// Whether to go on is decided only at the top of a round, so a round that has begun is finished.
#include <cstdint>
#include <optional>

namespace jihe::schedule {

inline constexpr std::uint32_t kShakeDelayMs = 800;  // from the popup's opening to the first round
inline constexpr int kShakeOffset = 3;
inline constexpr std::uint32_t kShakeStepMs = 40;
inline constexpr std::uint32_t kShakeRestMs = 800;
inline constexpr int kShakeStepsPerRound = 17;

struct ShakeStep {
  int dx = 0;  // offset from where the popup stood when the shaking began
  int dy = 0;
  std::uint32_t waitMs = 0;  // before the next step
  bool operator==(const ShakeStep&) const = default;
};

class ShakeSequence {
 public:
  // The next move, or nothing when the shaking is over: `stop` was set at the top of a round.
  std::optional<ShakeStep> Next(bool stop);
  bool atRoundStart() const { return index_ == 0; }

 private:
  int index_ = 0;
};

}  // namespace jihe::schedule
