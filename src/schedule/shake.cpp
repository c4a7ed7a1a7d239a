#include "schedule/shake.h"

namespace jihe::schedule {

std::optional<ShakeStep> ShakeSequence::Next(bool stop) {
  if (index_ == 0 && stop) return std::nullopt;
  ShakeStep step;
  if (index_ == kShakeStepsPerRound - 1) {
    step = {0, 0, kShakeRestMs};
  } else {
    static constexpr int kDx[4] = {0, -kShakeOffset, 0, kShakeOffset};
    static constexpr int kDy[4] = {-kShakeOffset, 0, kShakeOffset, 0};
    step = {kDx[index_ % 4], kDy[index_ % 4], kShakeStepMs};
  }
  index_ = (index_ + 1) % kShakeStepsPerRound;
  return step;
}

}  // namespace jihe::schedule
