#pragma once
// Waits on a waitable timer that keep the calling thread's messages flowing.
#include <memory>

#include "platform/wait.h"

namespace jihe::platform {

// A waiter for the calling thread; use it on that thread only.
std::unique_ptr<Waiter> CreateThreadWaiter();

}  // namespace jihe::platform
