#include "storage/team_session_win32.h"

#include <atomic>

#include "platform/folder_watcher_win32.h"

namespace jihe::storage {

namespace {

// Tickets are unique in the process, so a message left over from a session that is gone can
// never be taken for a newer session's update.
std::atomic<LPARAM> lastTicket{0};

}  // namespace

TeamSession::TeamSession(HWND window, UINT message, DataFolder own)
    : window_(window), message_(message), own_(std::move(own)), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

std::optional<TeamContent> TeamSession::Start(std::string teamFolder) {
  Stop();
  teamFolder_ = std::move(teamFolder);
  if (teamFolder_.empty()) return std::nullopt;
  TeamPasses passes(teamFolder_, own_);
  if (restPeriod_) passes.library().SetRestPeriod(*restPeriod_);
  std::optional<TeamContent> cached = passes.library().LoadCache();
  ResetEvent(stop_.get());
  worker_ = std::thread([this, passes = std::move(passes), period = period_]() mutable {
    Run(std::move(passes), period);
  });
  return cached;
}

void TeamSession::Stop() {
  if (worker_.joinable()) {
    SetEvent(stop_.get());
    worker_.join();
  }
  std::lock_guard lock(pendingMutex_);
  pending_.clear();
}

std::unique_ptr<TeamUpdate> TeamSession::Take(LPARAM ticket) {
  std::lock_guard lock(pendingMutex_);
  auto it = pending_.find(ticket);
  if (it == pending_.end()) return nullptr;
  std::unique_ptr<TeamUpdate> update = std::move(it->second);
  pending_.erase(it);
  return update;
}

void TeamSession::Post(TeamUpdate update) {
  const LPARAM ticket = ++lastTicket;
  {
    std::lock_guard lock(pendingMutex_);
    pending_.emplace(ticket, std::make_unique<TeamUpdate>(std::move(update)));
  }
  // PostMessage never waits for the window's thread. When the window is gone the update is
  // dropped here; when the message is lost later, Stop frees it.
  if (!PostMessageW(window_, message_, 0, ticket)) {
    std::lock_guard lock(pendingMutex_);
    pending_.erase(ticket);
  }
}

void TeamSession::Run(TeamPasses passes, std::chrono::milliseconds period) {
  auto watcher = std::make_unique<platform::FolderChangeWatcher>(teamFolder_);
  for (;;) {
    if (std::optional<TeamUpdate> update = passes.Pass()) Post(std::move(*update));
    // Notifications armed on a folder that has since gone (moved away, a share that dropped)
    // would watch the wrong folder or none: ask for them again once it is back.
    if (passes.out()) watcher = std::make_unique<platform::FolderChangeWatcher>(teamFolder_);
    const auto wait = static_cast<DWORD>(passes.NextWait(period).count());
    if (watcher->Wait(stop_.get(), wait) == platform::FolderChangeWatcher::Wake::Stopped) return;
  }
}

}  // namespace jihe::storage
