#pragma once
// A hold that one process at a time can have, across the processes of this computer, by name.
// It ends with its owner, or with the process when that ends in any way (a crash included).
#include <memory>
#include <optional>
#include <string>

namespace jihe::platform {

class NamedHold {
 public:
  virtual ~NamedHold() = default;
};

// Takes the hold of `name` (no backslash), waiting up to `waitMs` for another process
// to let it go. Nothing when another process still has it. On Windows it is a named mutex, held by
// the calling thread until the object goes.
std::unique_ptr<NamedHold> TakeNamedHold(const std::string& name, int waitMs);

// The absolute form of `path` (the current folder put in front of a relative one; on Windows as
// GetFullPathName gives it).
std::string FullPath(const std::string& path);

}  // namespace jihe::platform

namespace jihe::platform {

// What names the folder at `path` however it is spelt (another drive letter, a network or "\\?\"
// path, a short name): its volume and file index. Nothing when the folder cannot be opened or
// its file system gives no index.
std::optional<std::string> FolderIdentity(const std::string& path);

}  // namespace jihe::platform
