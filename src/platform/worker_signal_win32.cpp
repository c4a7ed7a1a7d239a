#include "platform/worker_signal_win32.h"

#include <windows.h>

#include <atomic>

namespace jihe::platform {

namespace {

class PumpingWorkerSignal final : public WorkerSignal {
 public:
  PumpingWorkerSignal()
      : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        finished_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        timer_(CreateWaitableTimerW(nullptr, TRUE, nullptr)) {}
  ~PumpingWorkerSignal() override {
    for (HANDLE h : {stop_, finished_, timer_})
      if (h) CloseHandle(h);
  }

  bool WaitFor(std::uint32_t ms) override {
    if (StopRequested()) return false;
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(ms) * 10'000;  // relative, in 100 ns units
    if (!timer_ || !SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
      // Without a timer the wait still ends on time, measured against the tick count.
      return WaitWithoutTimer(ms);
    }
    const HANDLE handles[2] = {stop_, timer_};
    for (;;) {
      const DWORD r = MsgWaitForMultipleObjectsEx(2, handles, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (r == WAIT_OBJECT_0) {
        CancelWaitableTimer(timer_);
        return false;
      }
      if (r == WAIT_OBJECT_0 + 1) return !StopRequested();
      if (r != WAIT_OBJECT_0 + 2) return WaitWithoutTimer(ms);
      DispatchPending();
    }
  }
  bool StopRequested() const override { return WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0; }
  void MarkFinished() override { SetEvent(finished_); }
  void RequestStop() override { SetEvent(stop_); }

  void WaitFinished() override {
    for (;;) {
      const DWORD r = MsgWaitForMultipleObjects(1, &finished_, FALSE, INFINITE, QS_SENDMESSAGE);
      if (r != WAIT_OBJECT_0 + 1) return;
      // Peeking delivers the messages other threads sent to this one; nothing posted is taken.
      MSG msg;
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }

 private:
  static void DispatchPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;  // a worker ends by its stop event, never by WM_QUIT
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  bool WaitWithoutTimer(std::uint32_t ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
      const ULONGLONG now = GetTickCount64();
      if (now >= end) return !StopRequested();
      const DWORD r = MsgWaitForMultipleObjectsEx(1, &stop_, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                                  MWMO_INPUTAVAILABLE);
      if (r == WAIT_OBJECT_0) return false;
      if (r == WAIT_OBJECT_0 + 1) DispatchPending();
    }
  }

  HANDLE stop_;
  HANDLE finished_;
  HANDLE timer_;
};

}  // namespace

std::unique_ptr<WorkerSignal> NewPumpingWorkerSignal() { return std::make_unique<PumpingWorkerSignal>(); }

}  // namespace jihe::platform
