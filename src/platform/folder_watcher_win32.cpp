#include "platform/folder_watcher_win32.h"

#include "platform/utf16.h"

namespace jihe::platform {

namespace {

// How long a change waits for the next one before the worker wakes, and the most it waits in all.
constexpr DWORD kSettleMs = 250;
constexpr DWORD kLongestSettleMs = 2000;

constexpr DWORD kFileChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                               FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

}  // namespace

void FolderChangeWatcher::Open() {
  std::wstring root = Widen(folder_);
  while (!root.empty() && (root.back() == L'\\' || root.back() == L'/')) root.pop_back();
  // Each folder on its own rather than one watch of the subtree: not every server (nor Wine)
  // reports changes deeper down.
  const std::wstring watches[kWatchCount] = {root, root + L"\\数据", root + L"\\数据\\短语", root + L"\\数据\\快捷"};
  // A folder that is not there (a team library of phrases only has no 快捷) is simply not watched.
  for (const std::wstring& path : watches) {
    HANDLE h = FindFirstChangeNotificationW(path.c_str(), FALSE, kFileChanges);
    if (h != INVALID_HANDLE_VALUE) handles_[count_++] = h;
  }
}

void FolderChangeWatcher::Close() {
  for (DWORD i = 0; i < count_; ++i) FindCloseChangeNotification(handles_[i]);
  count_ = 0;
}

bool FolderChangeWatcher::Rearm(DWORD index) {
  if (FindNextChangeNotification(handles_[index])) return true;
  Close();
  return false;
}

FolderChangeWatcher::Wake FolderChangeWatcher::Wait(HANDLE stop, DWORD periodMs) {
  if (count_ == 0) Open();
  HANDLE all[1 + kWatchCount] = {stop};
  for (DWORD i = 0; i < count_; ++i) all[1 + i] = handles_[i];
  const DWORD n = 1 + count_;
  const DWORD first = WaitForMultipleObjects(n, all, FALSE, periodMs);
  if (first == WAIT_OBJECT_0) return Wake::Stopped;
  if (first == WAIT_TIMEOUT || first == WAIT_FAILED || first >= WAIT_OBJECT_0 + n) {
    if (first == WAIT_FAILED) Close();
    return Wake::Period;
  }
  if (!Rearm(first - WAIT_OBJECT_0 - 1)) return Wake::Changed;

  // Let the rest of the save arrive before the worker reads.
  const ULONGLONG start = GetTickCount64();
  while (GetTickCount64() - start < kLongestSettleMs) {
    HANDLE again[1 + kWatchCount] = {stop};
    for (DWORD i = 0; i < count_; ++i) again[1 + i] = handles_[i];
    const DWORD next = WaitForMultipleObjects(1 + count_, again, FALSE, kSettleMs);
    if (next == WAIT_OBJECT_0) return Wake::Stopped;
    if (next == WAIT_TIMEOUT || next == WAIT_FAILED || next >= WAIT_OBJECT_0 + 1 + count_) break;
    if (!Rearm(next - WAIT_OBJECT_0 - 1)) break;
  }
  return Wake::Changed;
}

}  // namespace jihe::platform
