#pragma once
// The file calls that reach a folder which may lie on a file share, behind an interface: every call
// here is one request to the server (an open, a stamp, a directory listing), so a wrapper can count
// what a check costs the share, and a test can make the share slow or hang.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace jihe::platform {

struct FileContent {
  ReadStatus status = ReadStatus::Missing;
  std::string bytes;  // the whole content when read
  FileStamp stamp;    // of the file that was read, from the same open
};

struct FolderEntry {
  std::string name;  // the file's name inside the folder
  FileStamp stamp;
};

// The present moment in the ticks of FileStamp::modified: what a file written now would carry.
std::int64_t StampTicksNow();
#ifdef _WIN32
inline constexpr std::int64_t kStampTicksPerSecond = 10'000'000;
#else
inline constexpr std::int64_t kStampTicksPerSecond = 1'000'000'000;
#endif

class FileAccess {
 public:
  virtual ~FileAccess() = default;
  // The size and last-write time; nothing when the file is missing or cannot be reached.
  virtual std::optional<FileStamp> Stamp(const std::string& path) = 0;
  virtual FileContent Read(const std::string& path) = 0;
  // The files (not folders) of a folder with their stamps, in one directory query; nothing when
  // the folder cannot be listed.
  virtual std::optional<std::vector<FolderEntry>> List(const std::string& folder) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
};

// The machine's own file system (and the shares it reaches).
std::shared_ptr<FileAccess> SystemFileAccess();

// Counts the requests and the bytes read that pass through to another FileAccess, as the file
// server would: one per stamp, open or listing. Safe to read from another thread.
class CountingFileAccess final : public FileAccess {
 public:
  explicit CountingFileAccess(std::shared_ptr<FileAccess> inner) : inner_(std::move(inner)) {}

  std::optional<FileStamp> Stamp(const std::string& path) override;
  FileContent Read(const std::string& path) override;
  std::optional<std::vector<FolderEntry>> List(const std::string& folder) override;
  bool FolderExists(const std::string& path) override;

  struct Counts {
    std::uint64_t requests = 0;
    std::uint64_t bytesRead = 0;
  };
  Counts counts() const;
  void Reset();

 private:
  void Add(std::uint64_t bytes);
  std::shared_ptr<FileAccess> inner_;
  mutable std::mutex mutex_;
  Counts counts_;
};

// Replaces the file's content through a temporary file and a rename, without flushing it to the
// disk first: for copies that can always be made again (a crash may leave the file empty or old,
// never half of one write replaced by another). A write that fails leaves no temporary file.
bool ReplaceFileUnflushed(const std::string& path, std::string_view bytes);

}  // namespace jihe::platform
