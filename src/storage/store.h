#pragma once
// Moves the working copy between memory and the Data folder.
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "storage/data_folder.h"
#include "storage/workspace.h"

namespace jihe::storage {

class IniFile;

// The names of the stored groups of one kind, in tab order, as conf.ini gives them; empty when it
// counts none.
std::vector<std::string> StoredGroupNames(library::GroupKind kind, const IniFile& conf);

// The check value that conf.ini keeps for each group file it names: its size and CRC-32. conf.ini
// is written after the group files, so a reader that finds every file matching its value has read
// one whole save, not files of two saves (a team folder is read while its maintainer saves).
std::string GroupFileCheck(std::string_view bytes);
// The stored check value of the group at `position` of that kind; empty when none was written.
std::string StoredGroupFileCheck(library::GroupKind kind, const IniFile& conf, size_t position);
void SetStoredGroupFileCheck(library::GroupKind kind, IniFile& conf, size_t position, std::string_view check);
// The same for the positions 0 .. count-1 at once, in one pass over conf.ini (a folder of
// thousands of groups would otherwise take a search of the file for each).
std::vector<std::string> StoredGroupFileChecks(library::GroupKind kind, const IniFile& conf, size_t count);

struct SaveReport {
  int filesWritten = 0;  // files whose content was (re)written
  int failures = 0;      // files or values that could not be written; the save went on with the rest
  // config.ini was there but could not be read, even after a few tries, so it was left untouched:
  // the geometry, the sound and shake boxes and the schedule of this save did not reach it.
  bool settingsKept = false;
  // An all-or-nothing save failed and a file it had written could not be put back either.
  bool notUndone = false;
};

class Store {
 public:
  explicit Store(DataFolder folder) : folder_(std::move(folder)) {}

  const DataFolder& folder() const { return folder_; }

  // Fills the workspace from the Data folder: the schedule, the panel geometry, the sound and
  // shake boxes and the switch (when config.ini exists), then every stored group of both kinds.
  // The options are LoadSettings' business.
  void LoadAll(Workspace& ws);

  // Writes every visible group, the group names, the geometry, the sound and shake boxes and the
  // schedule. A group file is rewritten only when its rows, its name or the file on disk changed
  // since it was last read or written, so a save after one edit costs one file; the files always
  // end up holding exactly what a full rewrite would give.
  SaveReport SaveAll(const Workspace& ws);

  // As SaveAll, for a change that must go in whole (an import): when a group file cannot be
  // written, the files this save wrote get their earlier bytes back (a new one goes), and neither
  // conf.ini nor config.ini is touched, so the folder is as it was.
  SaveReport SaveAllOrNothing(const Workspace& ws);

  // The Settings window's options from config.ini; nothing happens when the file does not exist.
  void LoadSettings(settings::Options& options) const;
  // False when config.ini could not be written, or was there but could not be read (it is then
  // left untouched rather than rewritten without the keys we could not see).
  bool SaveSettings(const settings::Options& options) const;

  // How a save waits between two tries to read a file that is there but cannot be read at the
  // moment. Tests make it instant.
  using Pause = std::function<void(std::chrono::milliseconds)>;
  void SetRetryPause(Pause pause) { pause_ = std::move(pause); }

 private:
  struct Written {
    std::string path;
    std::uint64_t revision = 0;
    platform::FileStamp stamp;
    std::string check;  // GroupFileCheck of the file's bytes
  };
  using SlotKey = std::pair<library::GroupKind, size_t>;

  // A file that a save reads and then rewrites whole: an empty one when it is missing, nothing when
  // it is there but still cannot be read after a few tries.
  std::optional<class IniFile> LoadForRewrite(const std::string& path) const;
  void LoadKind(library::GroupKind kind, const class IniFile& conf, library::GroupStrip& strip);
  // What a group file held before a save wrote it; nothing when it was not there.
  using Earlier = std::vector<std::pair<std::string, std::optional<std::string>>>;
  SaveReport Save(const Workspace& ws, Earlier* earlier);
  void SaveKind(library::GroupKind kind, const library::GroupStrip& strip, class IniFile& conf, SaveReport& report,
                Earlier* earlier);

  DataFolder folder_;
  std::map<SlotKey, Written> written_;
  Pause pause_;
};

}  // namespace jihe::storage
