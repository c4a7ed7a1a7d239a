#include "platform/file_system.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#ifdef _WIN32
#include <windows.h>

#include "platform/utf16.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#endif

namespace jihe::platform {

namespace {
// The temporary file of an atomic write; a save that was cut short leaves it behind and the next
// save of the same file reuses it.
std::string TempPathFor(const std::string& path) { return path + ".jihe-tmp"; }
}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
  FileRead read = TryReadWholeFile(path);
  if (read.status != ReadStatus::Read) return std::nullopt;
  return std::move(read.bytes);
}

#ifdef _WIN32

namespace {
struct HandleCloser {
  HANDLE h;
  ~HandleCloser() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};
}  // namespace

FileRead TryReadWholeFile(const std::string& path) {
  HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return {missing ? ReadStatus::Missing : ReadStatus::Unreadable, {}};
  }
  HandleCloser closer{h};
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h, &size) || size.QuadPart > 0x7FFFFFFF) return {ReadStatus::Unreadable, {}};
  FileRead read{ReadStatus::Read, std::string(static_cast<size_t>(size.QuadPart), '\0')};
  size_t done = 0;
  while (done < read.bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(h, read.bytes.data() + done, static_cast<DWORD>(read.bytes.size() - done), &got, nullptr))
      return {ReadStatus::Unreadable, {}};
    if (got == 0) break;
    done += got;
  }
  read.bytes.resize(done);
  return read;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  const std::wstring target = Widen(path);
  const std::wstring temp = Widen(TempPathFor(path));
  const bool written = [&] {
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    HandleCloser closer{h};
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD wrote = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
      if (!WriteFile(h, bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
      done += wrote;
    }
    return FlushFileBuffers(h) != 0;
  }();
  // Another program (a virus scanner, a backup tool) may hold the target for a moment.
  for (int attempt = 0; written && attempt < 10; ++attempt) {
    if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    Sleep(20);
  }
  DeleteFileW(temp.c_str());
  return false;
}

bool RemoveFile(const std::string& path) {
  return DeleteFileW(Widen(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool FileExists(const std::string& path) {
  const DWORD a = GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  const DWORD a = GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<FileStamp> StampOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  FileStamp s;
  s.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  s.modified = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                         data.ftLastWriteTime.dwLowDateTime);
  return s;
}

bool CreateDirectories(const std::string& path) {
  std::string p = path;
  while (p.size() > 3 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  if (p.empty() || DirectoryExists(p)) return !p.empty();
  const size_t cut = p.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0) CreateDirectories(p.substr(0, cut));
  CreateDirectoryW(Widen(p).c_str(), nullptr);
  return DirectoryExists(p);
}

bool CanListDirectory(const std::string& path) {
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(Widen(pattern).c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  return true;
}

std::string SystemDirectory() {
  wchar_t buffer[MAX_PATH];
  const UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return Narrow(std::wstring_view(buffer, n));
}

std::string HomeDirectory() {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"USERPROFILE", buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return Narrow(std::wstring_view(buffer, n));
}

#else

FileRead TryReadWholeFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::Unreadable, {}};
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return {ReadStatus::Unreadable, {}};
  }
  FileRead read{ReadStatus::Read, std::string(static_cast<size_t>(st.st_size), '\0')};
  size_t done = 0;
  while (done < read.bytes.size()) {
    const ssize_t got = ::read(fd, read.bytes.data() + done, read.bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      close(fd);
      return {ReadStatus::Unreadable, {}};
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  close(fd);
  read.bytes.resize(done);
  return read;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  const std::string temp = TempPathFor(path);
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  auto fail = [&](bool open) {
    if (open) close(fd);
    unlink(temp.c_str());
    return false;
  };
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return fail(true);
    done += static_cast<size_t>(wrote);
  }
  if (fsync(fd) != 0) return fail(true);
  if (close(fd) != 0) return fail(false);
  return rename(temp.c_str(), path.c_str()) == 0 || fail(false);
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 || errno == ENOENT; }

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  FileStamp s;
  s.size = static_cast<std::uint64_t>(st.st_size);
  s.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return s;
}

bool CreateDirectories(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty()) return false;
  if (DirectoryExists(p)) return true;
  const size_t cut = p.find_last_of('/');
  if (cut != std::string::npos && cut > 0) CreateDirectories(p.substr(0, cut));
  mkdir(p.c_str(), 0755);
  return DirectoryExists(p);
}

bool CanListDirectory(const std::string& path) {
  DIR* d = opendir(path.c_str());
  if (!d) return false;
  closedir(d);
  return true;
}

std::string SystemDirectory() { return {}; }

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  return home ? home : "";
}

#endif

std::optional<bool> AnswerWithin(std::function<bool()> question, std::chrono::milliseconds limit) {
  // Shared with the asking thread, which may outlive this call.
  struct Answer {
    std::mutex mutex;
    std::condition_variable given;
    std::optional<bool> value;
  };
  const auto answer = std::make_shared<Answer>();
  try {
    std::thread([answer, question] {
      const bool value = question();
      const std::lock_guard<std::mutex> lock(answer->mutex);
      answer->value = value;
      answer->given.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return question();  // no thread to be had: asked here, as it was before
  }
  std::unique_lock<std::mutex> lock(answer->mutex);
  answer->given.wait_for(lock, limit, [&] { return answer->value.has_value(); });
  return answer->value;
}

}  // namespace jihe::platform
