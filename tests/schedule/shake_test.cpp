#include "schedule/shake.h"

#include <gtest/gtest.h>

namespace jihe::schedule {
namespace {

TEST(ShakeSequenceTest, OneRoundIsFourCirclesAndARest) {
  ShakeSequence shake;
  std::vector<ShakeStep> round;
  for (int i = 0; i < kShakeStepsPerRound; ++i) round.push_back(*shake.Next(false));
  std::vector<ShakeStep> expected;
  for (int i = 0; i < 4; ++i)
    for (ShakeStep s : {ShakeStep{0, -3, 40}, ShakeStep{-3, 0, 40}, ShakeStep{0, 3, 40}, ShakeStep{3, 0, 40}})
      expected.push_back(s);
  expected.push_back({0, 0, 800});
  EXPECT_EQ(round, expected);
  std::uint32_t total = 0;
  for (const ShakeStep& s : round) total += s.waitMs;
  EXPECT_EQ(total, 1440u);
  EXPECT_TRUE(shake.atRoundStart());
  EXPECT_EQ(shake.Next(false), (ShakeStep{0, -3, 40}));  // and the next round begins the same way
}

TEST(ShakeSequenceTest, StopIsHeededOnlyAtTheTopOfARound) {
  for (int stopAfter : {0, 1, 8, 16}) {
    ShakeSequence shake;
    if (stopAfter == 0) {
      EXPECT_EQ(shake.Next(true), std::nullopt);
      continue;
    }
    for (int i = 0; i < stopAfter; ++i) ASSERT_TRUE(shake.Next(false));
    int more = 0;
    std::optional<ShakeStep> last;
    while (auto s = shake.Next(true)) {
      last = s;
      ++more;
    }
    EXPECT_EQ(more, kShakeStepsPerRound - stopAfter) << stopAfter;
    EXPECT_EQ(last, (ShakeStep{0, 0, 800}));  // the popup ends where it began
    EXPECT_EQ(shake.Next(true), std::nullopt);
  }
}

}  // namespace
}  // namespace jihe::schedule
