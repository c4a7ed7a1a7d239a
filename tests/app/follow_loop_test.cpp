#include "chat/follow_loop.h"

#include <gtest/gtest.h>

namespace jihe::chat {
namespace {

TEST(FollowLoopTest, ApplyFollowSwitchesStartsAndStops) {
  settings::Options options;  // QQ, WeChat and Wangwang are followed at first start
  FollowLoop loop;
  ApplyFollowSwitches(loop, options);
  EXPECT_TRUE(loop.running());
  for (auto o : {settings::Option::跟随QQ, settings::Option::跟随微信, settings::Option::跟随旺旺})
    options.Set(o, false);
  ApplyFollowSwitches(loop, options);
  EXPECT_FALSE(loop.running());
}

}  // namespace
}  // namespace jihe::chat
