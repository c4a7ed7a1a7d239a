#include "chat/follow_loop.h"

#include "settings/option_rules.h"

namespace jihe::chat {

void ApplyFollowSwitches(FollowLoop& loop, const settings::Options& options) {
  if (settings::FollowSwitchesWantLoop(options)) {
    if (!loop.running()) loop.StartFollowLoop();
  } else if (loop.running()) {
    loop.StopFollowLoop();
  }
}

}  // namespace jihe::chat
