#include "platform/named_hold.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/utf16.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>
#endif

namespace jihe::platform {

#ifdef _WIN32

namespace {

class MutexHold : public NamedHold {
 public:
  explicit MutexHold(HANDLE mutex) : mutex_(mutex) {}
  ~MutexHold() override {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

}  // namespace

std::unique_ptr<NamedHold> TakeNamedHold(const std::string& name, int waitMs) {
  // Global: a support colleague's session on the same computer writes the same folder.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, Widen("Global\\" + name).c_str());
  // Refused access: the mutex is there, made by another user who holds the folder. A Local one
  // would not meet theirs.
  if (!mutex && GetLastError() == ERROR_ACCESS_DENIED) return nullptr;
  if (!mutex) mutex = CreateMutexW(nullptr, FALSE, Widen("Local\\" + name).c_str());
  if (!mutex) return nullptr;
  const DWORD waited = WaitForSingleObject(mutex, waitMs < 0 ? 0 : static_cast<DWORD>(waitMs));
  // An abandoned mutex is one whose owner ended without letting go: it is ours now.
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return std::make_unique<MutexHold>(mutex);
  CloseHandle(mutex);
  return nullptr;
}

std::string FullPath(const std::string& path) {
  const std::wstring wide = Widen(path);
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD got = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (got == 0 || got >= needed) return path;
  full.resize(got);
  return Narrow(full);
}

std::optional<std::string> FolderIdentity(const std::string& path) {
  // Backup semantics open a folder; every sharing is allowed, so nobody else's use is disturbed.
  HANDLE folder = CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL got = GetFileInformationByHandle(folder, &info);
  CloseHandle(folder);
  // Some network file systems give no index: the path has to do there.
  if (!got || (info.nFileIndexHigh == 0 && info.nFileIndexLow == 0)) return std::nullopt;
  return "id:" + std::to_string(info.dwVolumeSerialNumber) + ":" +
         std::to_string((static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

#else

namespace {

// An advisory lock on a file of the temporary folder stands for the mutex on other systems.
class FileLockHold : public NamedHold {
 public:
  explicit FileLockHold(int fd) : fd_(fd) {}
  ~FileLockHold() override { close(fd_); }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<NamedHold> TakeNamedHold(const std::string& name, int waitMs) {
  const int fd = open(("/tmp/jihe-hold-" + name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs < 0 ? 0 : waitMs);
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return std::make_unique<FileLockHold>(fd);
    if (std::chrono::steady_clock::now() >= until) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  close(fd);
  return nullptr;
}

std::string FullPath(const std::string& path) {
  if (path.starts_with('/')) return path;
  char buffer[PATH_MAX];
  if (!getcwd(buffer, sizeof buffer)) return path;
  return std::string(buffer) + "/" + path;
}

std::optional<std::string> FolderIdentity(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return "id:" + std::to_string(static_cast<unsigned long long>(st.st_dev)) + ":" +
         std::to_string(static_cast<unsigned long long>(st.st_ino));
}

#endif

}  // namespace jihe::platform
