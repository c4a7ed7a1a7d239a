#include "platform/wait_win32.h"

#include <windows.h>

#include <algorithm>

namespace jihe::platform {

namespace {

class EventStopSignal : public StopSignal {
 public:
  EventStopSignal() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~EventStopSignal() override {
    if (event_) CloseHandle(event_);
  }
  void Request() override { SetEvent(event_); }
  void Reset() override { ResetEvent(event_); }
  bool Requested() const override { return WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }
  HANDLE handle() const { return event_; }

 private:
  HANDLE event_;
};

// Dispatches what is waiting. A quit request is put back for the message loop that owns it and
// ends the wait.
bool PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

class ThreadWaiter : public Waiter {
 public:
  ThreadWaiter() : timer_(CreateWaitableTimerW(nullptr, TRUE, nullptr)) {}
  ~ThreadWaiter() override {
    if (timer_) CloseHandle(timer_);
  }

  bool WaitPumping(std::int64_t amount, WaitUnit unit, const StopSignal* stop) override {
    const std::int64_t ms = std::max<std::int64_t>(0, MillisecondsOf(amount, unit));
    LARGE_INTEGER due;
    due.QuadPart = -ms * 10'000;  // relative, in 100 ns units; 0 fires at once
    SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE);
    HANDLE handles[2] = {timer_, stop ? static_cast<const EventStopSignal*>(stop)->handle() : nullptr};
    const DWORD count = stop ? 2 : 1;
    for (;;) {
      const DWORD r = MsgWaitForMultipleObjectsEx(count, handles, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (r == WAIT_OBJECT_0) return true;
      if (stop && r == WAIT_OBJECT_0 + 1) {
        CancelWaitableTimer(timer_);
        return false;
      }
      if (r == WAIT_OBJECT_0 + count) {
        if (!PumpMessages()) {
          CancelWaitableTimer(timer_);
          return true;
        }
        continue;
      }
      // The handles failed: do not spin, and do not hang.
      CancelWaitableTimer(timer_);
      return !(stop && stop->Requested());
    }
  }

  void ProcessPendingMessages() override { PumpMessages(); }

  std::unique_ptr<StopSignal> CreateStopSignal() override { return std::make_unique<EventStopSignal>(); }

 private:
  HANDLE timer_;
};

}  // namespace

std::unique_ptr<Waiter> CreateThreadWaiter() { return std::make_unique<ThreadWaiter>(); }

}  // namespace jihe::platform
