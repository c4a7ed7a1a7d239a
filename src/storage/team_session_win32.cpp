#include "storage/team_session_win32.h"

#include <atomic>
#include <map>
#include <mutex>

#include "platform/folder_watcher_win32.h"
#include "platform/window_win32.h"

namespace jihe::storage {

namespace {

// Tickets are unique in the process, so a message left over from a session that is gone can
// never be taken for a newer session's update.
std::atomic<LPARAM> lastTicket{0};

// How long Stop waits for the worker to end by itself, and then once more after asking the
// system to cancel the file call it is in.
constexpr DWORD kStopWaitMs = 250;
constexpr DWORD kCancelWaitMs = 150;

}  // namespace

// What the worker thread and the session share; the thread holds it for as long as it runs.
struct TeamSession::Worker {
  Worker(HWND w, UINT m, TeamPasses p, std::string folder, std::chrono::milliseconds period)
      : window(w), message(m), passes(std::move(p)), teamFolder(std::move(folder)), period(period),
        gate(passes.library().cacheGate()), stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

  void Run();
  void Post(TeamUpdate update);

  const HWND window;
  const UINT message;
  TeamPasses passes;
  const std::string teamFolder;
  const std::chrono::milliseconds period;
  const std::shared_ptr<TeamCacheGate> gate;
  platform::UniqueKernelHandle stop;
  platform::UniqueKernelHandle thread;

  std::mutex mutex;
  bool stopped = false;
  std::map<LPARAM, std::unique_ptr<TeamUpdate>> pending;
};

void TeamSession::Worker::Post(TeamUpdate update) {
  std::lock_guard lock(mutex);
  if (stopped) return;
  const LPARAM ticket = ++lastTicket;
  pending.emplace(ticket, std::make_unique<TeamUpdate>(std::move(update)));
  // PostMessage never waits for the window's thread. When the window is gone the update is
  // dropped here; when the message is lost later, Stop frees it.
  if (!PostMessageW(window, message, 0, ticket)) pending.erase(ticket);
}

void TeamSession::Worker::Run() {
  std::unique_ptr<platform::FolderChangeWatcher> watcher;
  for (;;) {
    if (WaitForSingleObject(stop.get(), 0) == WAIT_OBJECT_0) return;
    if (std::optional<TeamUpdate> update = passes.Pass()) Post(std::move(*update));
    // Notifications armed on a folder that has since gone (moved away, a share that dropped)
    // would watch the wrong folder or none. While it stays away none are asked for: the folder is
    // tried once per wait, and the notifications again once it is back.
    if (passes.out()) {
      watcher.reset();
    } else if (!watcher) {
      watcher = std::make_unique<platform::FolderChangeWatcher>(teamFolder);
    }
    const auto wait = static_cast<DWORD>(passes.NextWait(period).count());
    if (watcher) {
      if (watcher->Wait(stop.get(), wait) == platform::FolderChangeWatcher::Wake::Stopped) return;
    } else if (WaitForSingleObject(stop.get(), wait) == WAIT_OBJECT_0) {
      return;
    }
  }
}

TeamSession::TeamSession(HWND window, UINT message, DataFolder own, std::shared_ptr<platform::FileAccess> share)
    : window_(window), message_(message), own_(std::move(own)), share_(std::move(share)) {}

std::optional<TeamContent> TeamSession::Start(std::string teamFolder) {
  Stop();
  teamFolder_ = std::move(teamFolder);
  if (teamFolder_.empty()) return std::nullopt;
  TeamPasses passes(teamFolder_, own_, share_);
  std::optional<TeamContent> cached = passes.library().LoadCache();
  auto worker = std::make_shared<Worker>(window_, message_, std::move(passes), teamFolder_, period_);
  // The thread holds its own reference, so nothing it uses goes away under it.
  auto* held = new std::shared_ptr<Worker>(worker);
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* param) -> DWORD {
        std::unique_ptr<std::shared_ptr<Worker>> self(static_cast<std::shared_ptr<Worker>*>(param));
        (*self)->Run();
        return 0;
      },
      held, 0, nullptr);
  if (!thread) {
    delete held;
    return cached;
  }
  worker->thread.reset(thread);
  worker_ = std::move(worker);
  return cached;
}

void TeamSession::Stop() {
  if (!worker_) return;
  const std::shared_ptr<Worker> worker = std::move(worker_);
  {
    std::lock_guard lock(worker->mutex);
    worker->stopped = true;
    worker->pending.clear();
  }
  SetEvent(worker->stop.get());
  HANDLE thread = worker->thread.get();
  if (WaitForSingleObject(thread, kStopWaitMs) == WAIT_TIMEOUT) {
    // Inside a call on a share that does not answer: cut it short where the system can; else the
    // worker ends by itself when the call returns.
    CancelSynchronousIo(thread);
    WaitForSingleObject(thread, kCancelWaitMs);
  }
  worker->gate->Close();
}

std::unique_ptr<TeamUpdate> TeamSession::Take(LPARAM ticket) {
  if (!worker_) return nullptr;
  std::lock_guard lock(worker_->mutex);
  auto it = worker_->pending.find(ticket);
  if (it == worker_->pending.end()) return nullptr;
  std::unique_ptr<TeamUpdate> update = std::move(it->second);
  worker_->pending.erase(it);
  return update;
}

}  // namespace jihe::storage
