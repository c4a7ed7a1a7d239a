#pragma once
// The team library's worker thread, owned by the panel. Start hands over the cached copy at once
// (local files only, so a start never waits for the network); the worker then checks the team
// folder on each change notification, and at least every period, and posts what it finds to the
// panel's window.
//
// A posted update travels as a ticket: `message` with lParam = the ticket, which the window's
// thread exchanges for the update with Take. Updates not yet taken stay owned by the session, so
// nothing leaks when the window is gone before it reads them, and a message that arrives after a
// Stop or a restart finds nothing (its update was freed then) instead of showing an old folder.
//
// Nothing waits on a share that hangs: Stop gives the worker a moment to end, asks the system to
// cut short a file call it is inside, and otherwise leaves it to end on its own once that call
// returns. Everything the worker touches is its own (shared with the session, never freed under
// it); after Stop it posts nothing and writes nothing to the cache.
#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/file_access.h"
#include "storage/team_session.h"

namespace jihe::storage {

class TeamSession {
 public:
  TeamSession(HWND window, UINT message, DataFolder own,
              std::shared_ptr<platform::FileAccess> share = platform::SystemFileAccess());
  ~TeamSession() { Stop(); }
  TeamSession(const TeamSession&) = delete;
  TeamSession& operator=(const TeamSession&) = delete;

  // Stops the worker of the previous folder, then watches `teamFolder`: returns its cached copy
  // (nothing when none was ever made) and starts the worker. An empty path only stops.
  std::optional<TeamContent> Start(std::string teamFolder);
  // Returns within half a second, whatever the share does: no pass posts or writes the cache after
  // it, and updates not yet taken are freed. Never waits on the window's thread.
  void Stop();

  // On `message`, on the window's thread: the update the message carries; nothing for a message of
  // an earlier start (or one taken already).
  std::unique_ptr<TeamUpdate> Take(LPARAM ticket);

  const std::string& teamFolder() const { return teamFolder_; }
  // The longest wait between checks, for the next Start (kTeamCheckPeriod unless set).
  void SetPeriod(std::chrono::milliseconds period) { period_ = period; }

 private:
  struct Worker;

  HWND window_;
  UINT message_;
  DataFolder own_;
  std::shared_ptr<platform::FileAccess> share_;
  std::string teamFolder_;
  std::chrono::milliseconds period_ = kTeamCheckPeriod;
  std::shared_ptr<Worker> worker_;
};

}  // namespace jihe::storage
