#pragma once
// Where everything the program keeps lives, and the names of its files.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/library.h"
#include "platform/named_hold.h"

namespace jihe::storage {

inline constexpr std::string_view kDataFolderName = "霁禾客服助手配置请勿删除";

// The drive of the system directory (the text before its first ":") + ":\霁禾客服助手配置请勿删除\".
std::string DataFolderPath(std::string_view systemDirectory);

// The folder used when none is given: DataFolderPath of this machine's system directory on
// Windows; in the home folder on other systems, where the tools run for development.
std::string DefaultDataFolder();

// The name as Windows compares file names: every BMP character replaced by its simple upper case,
// as NTFS's own table does; characters beyond the BMP and bytes that are not UTF-8 stay.
std::string FileNameCaseFold(std::string_view name);

// True when the group name can be a file name on Windows as it is.
bool IsSafeFileStem(std::string_view name);

// The file name (without ".txt") of every group of one kind, for the names in stored order; no
// two of them are one file to Windows. Ordinary names are used as they are, so folders written by
// earlier versions keep loading. A name that Windows cannot hold as a file name, or one that
// Windows takes for an earlier one (equal, or equal but for letter case), gets an escaped name that
// begins with ".." — which no ordinary name can, since a name holding ".." is escaped itself. A
// third group of one name, which would meet the second one's escaped name, gets "%%3" after it
// (then "%%4" ...).
std::vector<std::string> GroupFileStems(const std::vector<std::string>& names);

// The file name that a version without escaping used for this name, when that name can be read as
// a file inside the group folder at all.
std::optional<std::string> LegacyGroupFileStem(std::string_view name);

// Where an earlier version kept the group that now has the file `stem`, for a load to fall back to
// when that file is missing: a third or later group of one name shared the second one's file, and
// a name that is now escaped had its plain name (LegacyGroupFileStem). Nothing when that is `stem`.
std::optional<std::string> EarlierGroupFileStem(std::string_view name, std::string_view stem);

class DataFolder;

// The positions of the names (one kind's groups in stored order) whose group files Windows could
// not hold in this folder: the whole path, the temporary file of a save included, longer than
// 259 characters, or the file name longer than 255.
std::vector<size_t> GroupFilesTooLong(const DataFolder& folder, library::GroupKind kind,
                                      const std::vector<std::string>& names);

// A folder's path in the one form that every spelling Windows takes for the same folder shares:
// "/" as "\\", no final separator, the long-path forms (\\?\C:\..., \\?\UNC\server\...) as their
// plain ones, letter case folded.
std::string FolderPathKey(std::string_view path);

// The name of the hold on the Data folder at `fullPath`: equal for every spelling of FolderPathKey.
std::string DataFolderHoldName(std::string_view fullPath);

class DataFolder {
 public:
  // `root` may lack its final separator; it is added.
  explicit DataFolder(std::string root);

  const std::string& root() const { return root_; }
  std::string ConfigIni() const;
  std::string ConfIni() const;
  std::string ImgFolder() const;
  std::string GroupFolder(library::GroupKind kind) const;
  std::string GroupFile(library::GroupKind kind, std::string_view fileStem) const;

  // Creates img\, 数据\, 数据\短语\ and 数据\快捷\ with every missing parent. False when one of
  // them could not be made.
  bool EnsureFolders() const;

  // The running program holds its Data folder, and whatever writes one from outside takes the
  // hold first, so that two writers never undo each other's rows. Nothing when another process
  // still holds it after `waitMs`.
  std::unique_ptr<platform::NamedHold> Hold(int waitMs) const;

 private:
  std::string root_;
};

}  // namespace jihe::storage
