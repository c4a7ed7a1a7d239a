#pragma once
// Waits that keep the waiting thread's window messages flowing, so a window owned by that thread
// stays responsive while a send or a loop pauses between steps.
#include <cstdint>
#include <memory>

namespace jihe::platform {

enum class WaitUnit { Milliseconds, Seconds, Minutes, Hours };

inline constexpr std::int64_t MillisecondsOf(std::int64_t amount, WaitUnit unit) {
  switch (unit) {
    case WaitUnit::Seconds: return amount * 1000;
    case WaitUnit::Minutes: return amount * 60'000;
    case WaitUnit::Hours: return amount * 3'600'000;
    case WaitUnit::Milliseconds: break;
  }
  return amount;
}

// A request to stop, raised by one thread and seen by the waits of another. Made by the Waiter
// that will wait on it.
class StopSignal {
 public:
  virtual ~StopSignal() = default;
  virtual void Request() = 0;
  virtual void Reset() = 0;
  virtual bool Requested() const = 0;
};

// One waiter serves one thread: its waits service that thread's message queue.
class Waiter {
 public:
  virtual ~Waiter() = default;

  // Returns after the time has passed (a negative amount counts as 0), having processed every
  // message that arrived meanwhile. With a stop signal it returns early, false, once the signal is
  // raised; true when the whole time has passed.
  virtual bool WaitPumping(std::int64_t amount, WaitUnit unit = WaitUnit::Milliseconds,
                           const StopSignal* stop = nullptr) = 0;
  // Processes the messages already waiting, without waiting for more.
  virtual void ProcessPendingMessages() = 0;
  virtual std::unique_ptr<StopSignal> CreateStopSignal() = 0;
};

}  // namespace jihe::platform
