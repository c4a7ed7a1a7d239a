#pragma once
// The stop signal of one worker thread, with the waits it cuts short. A worker never gets killed:
// it waits only through WaitFor, which returns at once when its owner asks it to stop, and it
// ends at its next safe point. The owner's WaitFinished returns only after the worker's last act.
#include <cstdint>
#include <memory>

namespace jihe::platform {

class WorkerSignal {
 public:
  virtual ~WorkerSignal() = default;

  // Worker side. Waits `ms` milliseconds; true when the time ran out, false when a stop was
  // asked for (before or during the wait).
  virtual bool WaitFor(std::uint32_t ms) = 0;
  virtual bool StopRequested() const = 0;
  // The worker's very last call.
  virtual void MarkFinished() = 0;

  // Owner side, from any thread.
  virtual void RequestStop() = 0;
  // Returns once the worker has called MarkFinished.
  virtual void WaitFinished() = 0;
};

// A signal on std::condition_variable. Its waits do not process window messages, so it is for
// workers that own no windows (and for tests).
std::unique_ptr<WorkerSignal> NewWorkerSignal();

}  // namespace jihe::platform
