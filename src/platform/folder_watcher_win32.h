#pragma once
// Wakes the team library's worker when its folder changes: change notifications on the folder
// (for 数据 appearing or being replaced), on 数据 (conf.ini) and on its two group folders, which a file share passes
// on where its server supports them. The period of the wait is the fallback: a share that sends
// no notifications is still checked then, by the cheap stamp check.
#include <windows.h>

#include <string>

namespace jihe::platform {

class FolderChangeWatcher {
 public:
  explicit FolderChangeWatcher(std::string folder) : folder_(std::move(folder)) {}
  ~FolderChangeWatcher() { Close(); }
  FolderChangeWatcher(const FolderChangeWatcher&) = delete;
  FolderChangeWatcher& operator=(const FolderChangeWatcher&) = delete;

  enum class Wake { Changed, Period, Stopped };

  // Waits until something in the folder changed (and then a moment more, while the changes go on,
  // so one save of many files wakes the worker once), the period ran out, or `stop` was set.
  // Notifications that cannot be had (a share that is away, a folder not there yet) are asked for
  // again at every wait; meanwhile the period alone wakes.
  Wake Wait(HANDLE stop, DWORD periodMs);

  // True while notifications are armed.
  bool watching() const { return count_ > 0; }

 private:
  void Open();
  void Close();
  // False when a handle could not be armed again: every handle is then closed.
  bool Rearm(DWORD index);

  static constexpr DWORD kWatchCount = 4;
  std::string folder_;
  HANDLE handles_[kWatchCount] = {};
  DWORD count_ = 0;
};

}  // namespace jihe::platform
