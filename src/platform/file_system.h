#pragma once
// Whole-file access with UTF-8 paths. On Windows every call goes through the wide-character
// functions, so folder and file names outside the ANSI code page work.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace jihe::platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // platform ticks; only compared for equality
  bool operator==(const FileStamp&) const = default;
};

// The whole content of a file, or nothing when it is missing or cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

enum class ReadStatus {
  Read,
  Missing,     // no file of that name (nor the folder it would be in)
  Unreadable,  // it is there but could not be read: another program holds it, a read error, a folder
};
struct FileRead {
  ReadStatus status = ReadStatus::Missing;
  std::string bytes;  // the whole content when read
};
// As ReadWholeFile, but tells a missing file from one that is there and could not be read, for
// callers that rewrite what they read and must not drop what they could not see.
FileRead TryReadWholeFile(const std::string& path);

// Replaces the file's content atomically: the bytes go to a temporary file beside it, are flushed
// to the disk, and only then take the target's place. A crash at any moment leaves either the old
// or the new file, never a torn one. Returns false when the file could not be written; the
// temporary file is then gone again.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Deletes the file; true when it is gone afterwards.
bool RemoveFile(const std::string& path);

bool FileExists(const std::string& path);
// A question to a share, which must not hold the caller: a share whose server went away holds the
// asking thread for as long as the network's timeouts, tens of seconds. It is asked on a thread
// of its own; without an answer within `limit` there is none (nullopt), and that thread is left
// to finish alone with what the question holds.
std::optional<bool> AnswerWithin(std::function<bool()> question, std::chrono::milliseconds limit);
bool DirectoryExists(const std::string& path);
std::optional<FileStamp> StampOf(const std::string& path);

// Creates the folder and every missing parent. True when it exists afterwards.
bool CreateDirectories(const std::string& path);

// True when the folder's entries can be listed (it exists and we may read it).
bool CanListDirectory(const std::string& path);

// The Windows system directory, e.g. "C:\Windows\system32"; empty where there is none.
std::string SystemDirectory();

// The user's home folder (native builds keep their default Data folder there).
std::string HomeDirectory();

}  // namespace jihe::platform
