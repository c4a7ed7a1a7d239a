#pragma once
// A clock that shows a set time and moves only when told, and a worker signal whose waits move
// that clock instead of sleeping. Everything a worker does runs at once, on a virtual timeline.
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/clock.h"
#include "platform/worker_signal.h"

namespace jihe::testing {

class FakeClock final : public platform::Clock {
 public:
  explicit FakeClock(platform::LocalTime start) : now_(start) {}
  platform::LocalTime Now() const override { return now_; }
  void Set(platform::LocalTime t) { now_ = t; }

  // Moves the clock on, carrying into seconds, minutes, hours and days (months of 31 days are
  // enough for these tests; the month turns over after day 31).
  void Advance(std::uint64_t ms) {
    std::uint64_t total = static_cast<std::uint64_t>(now_.millisecond) + ms;
    now_.millisecond = static_cast<int>(total % 1000);
    total = total / 1000 + static_cast<std::uint64_t>(now_.second);
    now_.second = static_cast<int>(total % 60);
    total = total / 60 + static_cast<std::uint64_t>(now_.minute);
    now_.minute = static_cast<int>(total % 60);
    total = total / 60 + static_cast<std::uint64_t>(now_.hour);
    now_.hour = static_cast<int>(total % 24);
    total = total / 24 + static_cast<std::uint64_t>(now_.day - 1);
    now_.day = static_cast<int>(total % 31) + 1;
    now_.month += static_cast<int>(total / 31);
  }

 private:
  platform::LocalTime now_;
};

class FakeWorkerSignal final : public platform::WorkerSignal {
 public:
  explicit FakeWorkerSignal(FakeClock& clock) : clock_(clock) {}

  // Runs before each wait returns, with the virtual time already moved on; it may ask for a stop.
  std::function<void(std::uint32_t ms)> onWait;
  std::vector<std::uint32_t> waits;

  bool WaitFor(std::uint32_t ms) override {
    if (stop_) return false;
    waits.push_back(ms);
    clock_.Advance(ms);
    if (onWait) onWait(ms);
    return !stop_;
  }
  bool StopRequested() const override { return stop_; }
  void MarkFinished() override { finished_ = true; }
  void RequestStop() override { stop_ = true; }
  void WaitFinished() override {}
  bool finished() const { return finished_; }

 private:
  FakeClock& clock_;
  bool stop_ = false;
  bool finished_ = false;
};

}  // namespace jihe::testing
