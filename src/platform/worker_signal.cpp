#include "platform/worker_signal.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace jihe::platform {

namespace {

class StdWorkerSignal final : public WorkerSignal {
 public:
  bool WaitFor(std::uint32_t ms) override {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_; });
  }
  bool StopRequested() const override {
    std::lock_guard lock(mutex_);
    return stop_;
  }
  void MarkFinished() override {
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
  }
  void RequestStop() override {
    std::lock_guard lock(mutex_);
    stop_ = true;
    changed_.notify_all();
  }
  void WaitFinished() override {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return finished_; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<WorkerSignal> NewWorkerSignal() { return std::make_unique<StdWorkerSignal>(); }

}  // namespace jihe::platform
