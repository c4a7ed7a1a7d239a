#pragma once
// Where the follow loop (docking the panel beside the chat window in front) is started and
// stopped. The worker that walks the windows comes with the docking code; until then this keeps the
// decision of pause, resume and ApplyFollowSwitches, which is all the panel asks of it.
#include <atomic>

#include "settings/options.h"

namespace jihe::chat {

class FollowLoop {
 public:
  void StartFollowLoop() { running_ = true; }
  void StopFollowLoop() { running_ = false; }
  bool running() const { return running_; }

 private:
  std::atomic<bool> running_{false};
};

// Starts the loop when one of the run-decision switches is on, stops it otherwise.
void ApplyFollowSwitches(FollowLoop& loop, const settings::Options& options);

}  // namespace jihe::chat
