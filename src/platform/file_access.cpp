#include "platform/file_access.h"

#include <algorithm>
#include <ctime>
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
#endif

namespace jihe::platform {

namespace {

#ifdef _WIN32

std::string InFolder(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += kPathSeparator;
  path += name;
  return path;
}

FileStamp StampOfData(DWORD sizeHigh, DWORD sizeLow, FILETIME written) {
  FileStamp s;
  s.size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
  s.modified = static_cast<std::int64_t>((static_cast<std::uint64_t>(written.dwHighDateTime) << 32) |
                                         written.dwLowDateTime);
  return s;
}

class SystemAccess final : public FileAccess {
 public:
  std::optional<FileStamp> Stamp(const std::string& path) override { return StampOf(path); }

  FileContent Read(const std::string& path) override {
    HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
      return {missing ? ReadStatus::Missing : ReadStatus::Unreadable, {}, {}};
    }
    FileContent content{ReadStatus::Unreadable, {}, {}};
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(h, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        info.nFileSizeHigh == 0 && info.nFileSizeLow <= 0x7FFFFFFF) {
      content.stamp = StampOfData(info.nFileSizeHigh, info.nFileSizeLow, info.ftLastWriteTime);
      content.bytes.resize(info.nFileSizeLow);
      size_t done = 0;
      bool failed = false;
      while (done < content.bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(h, content.bytes.data() + done, static_cast<DWORD>(content.bytes.size() - done), &got, nullptr)) {
          failed = true;
          break;
        }
        if (got == 0) break;
        done += got;
      }
      if (!failed) {
        content.bytes.resize(done);
        content.status = ReadStatus::Read;
      } else {
        content.bytes.clear();
      }
    }
    CloseHandle(h);
    return content;
  }

  std::optional<std::vector<FolderEntry>> List(const std::string& folder) override {
    // The basic information level without short names, fetched in large chunks: on a share the
    // whole folder comes in one query or a few.
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileExW(Widen(InFolder(folder, "*")).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<FolderEntry> entries;
    do {
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      entries.push_back({Narrow(data.cFileName), StampOfData(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime)});
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return entries;
  }

  bool FolderExists(const std::string& path) override { return DirectoryExists(path); }
};

#else

FileStamp StampOfStat(const struct stat& st) {
  FileStamp s;
  s.size = static_cast<std::uint64_t>(st.st_size);
  s.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return s;
}

class SystemAccess final : public FileAccess {
 public:
  std::optional<FileStamp> Stamp(const std::string& path) override { return StampOf(path); }

  FileContent Read(const std::string& path) override {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::Unreadable, {}, {}};
    FileContent content{ReadStatus::Unreadable, {}, {}};
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
      content.stamp = StampOfStat(st);
      content.bytes.resize(static_cast<size_t>(st.st_size));
      size_t done = 0;
      bool failed = false;
      while (done < content.bytes.size()) {
        const ssize_t got = ::read(fd, content.bytes.data() + done, content.bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
          failed = true;
          break;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
      }
      if (!failed) {
        content.bytes.resize(done);
        content.status = ReadStatus::Read;
      } else {
        content.bytes.clear();
      }
    }
    close(fd);
    return content;
  }

  std::optional<std::vector<FolderEntry>> List(const std::string& folder) override {
    DIR* d = opendir(folder.c_str());
    if (!d) return std::nullopt;
    std::vector<FolderEntry> entries;
    while (const dirent* e = readdir(d)) {
      struct stat st {};
      if (fstatat(dirfd(d), e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
      entries.push_back({e->d_name, StampOfStat(st)});
    }
    closedir(d);
    return entries;
  }

  bool FolderExists(const std::string& path) override { return DirectoryExists(path); }
};

#endif

}  // namespace

std::int64_t StampTicksNow() {
#ifdef _WIN32
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
#else
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
#endif
}

std::shared_ptr<FileAccess> SystemFileAccess() {
  static const std::shared_ptr<FileAccess> access = std::make_shared<SystemAccess>();
  return access;
}

void CountingFileAccess::Add(std::uint64_t bytes) {
  std::lock_guard lock(mutex_);
  ++counts_.requests;
  counts_.bytesRead += bytes;
}

std::optional<FileStamp> CountingFileAccess::Stamp(const std::string& path) {
  Add(0);
  return inner_->Stamp(path);
}

FileContent CountingFileAccess::Read(const std::string& path) {
  FileContent content = inner_->Read(path);
  Add(content.bytes.size());
  return content;
}

std::optional<std::vector<FolderEntry>> CountingFileAccess::List(const std::string& folder) {
  Add(0);
  return inner_->List(folder);
}

bool CountingFileAccess::FolderExists(const std::string& path) {
  Add(0);
  return inner_->FolderExists(path);
}

CountingFileAccess::Counts CountingFileAccess::counts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

void CountingFileAccess::Reset() {
  std::lock_guard lock(mutex_);
  counts_ = {};
}

bool ReplaceFileUnflushed(const std::string& path, std::string_view bytes) {
  const std::string temp = path + ".jihe-tmp";
#ifdef _WIN32
  const std::wstring wideTemp = Widen(temp);
  HANDLE h = CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    DWORD wrote = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    ok = WriteFile(h, bytes.data() + done, chunk, &wrote, nullptr) && wrote != 0;
    done += wrote;
  }
  CloseHandle(h);
  if (ok && MoveFileExW(wideTemp.c_str(), Widen(path).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileW(wideTemp.c_str());
  return false;
#else
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      close(fd);
      unlink(temp.c_str());
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  if (close(fd) == 0 && rename(temp.c_str(), path.c_str()) == 0) return true;
  unlink(temp.c_str());
  return false;
#endif
}

}  // namespace jihe::platform
