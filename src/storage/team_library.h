#pragma once
// The team's shared library: an ordinary Data folder on the office file share, kept by a team lead
// and read, never written, by every agent's program. Each good load is copied into the agent's own
// Data folder (团队缓存\), which stands in while the share cannot be reached.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/library.h"
#include "platform/file_system.h"
#include "storage/data_folder.h"

namespace jihe::storage {

inline constexpr char kTeamSection[] = "团队";
inline constexpr char kTeamFolderKey[] = "文件夹";
inline constexpr std::string_view kTeamCacheFolderName = "团队缓存";

// config.ini's "[团队] 文件夹" of the agent's Data folder; empty means no team library.
std::string LoadTeamFolderSetting(const DataFolder& own);
// False when config.ini could not be written, or is there but could not be read (it is then left
// as it is).
bool SaveTeamFolderSetting(const DataFolder& own, std::string_view teamFolder);

// The files a check looks at: conf.ini and the group files it names, each with its stamp (nothing
// for a file that is not there).
struct TeamStamp {
  std::vector<std::pair<std::string, std::optional<platform::FileStamp>>> files;
  bool operator==(const TeamStamp&) const = default;
};

struct TeamContent {
  library::Library library;  // the team's groups only; a kind with none has an empty strip
  DataFolder folder;         // where it was read: the team folder, or the cache; pictures are in its img
  bool fromCache = false;
};

enum class TeamCheckStatus {
  Unchanged,    // nothing to do: no change, or still unreachable (already told)
  Reloaded,     // `content` is the team folder's new state
  Unreachable,  // the folder just became unreachable: `content` is the cache (when there is one)
  Incomplete,   // a save was under way; the next check reads again
};

struct TeamCheck {
  TeamCheckStatus status = TeamCheckStatus::Unchanged;
  std::optional<TeamContent> content;
};

// One team folder as seen from one agent's Data folder. Check() may run on a worker thread (it
// may wait on the network); one object is used by one thread at a time.
class TeamLibrary {
 public:
  TeamLibrary(std::string teamFolder, DataFolder own);

  // The cached copy: local files only, so a start does not wait for the network. Nothing when no
  // load of this team folder was cached (the cache holds the last team folder read).
  std::optional<TeamContent> LoadCache() const;

  // A cheap look at the stamps of conf.ini and the group files; only when they moved is the
  // folder read again. The check after a load reads once more, since a file replaced twice within
  // the file system's clock tick keeps its size and time. A read that meets a save in progress (a
  // group file missing or not what conf.ini says it holds, a file or conf.ini replaced while it
  // was read) is not used; when the folder then stands still for the rest period (a file edited
  // by hand or removed does not heal by itself), it is taken as it is.
  TeamCheck Check();

  DataFolder CacheFolder() const;

  // Longer than one save of the maintainer takes. Tests shorten it.
  void SetRestPeriod(std::chrono::milliseconds period) { restPeriod_ = period; }

 private:
  std::string teamFolder_;
  DataFolder own_;
  std::optional<TeamStamp> loaded_;  // the stamp of the last load from the team folder
  std::string loadedBytes_;          // and the check values of every file it read
  bool confirmed_ = false;           // a second read found the same files
  bool toldUnreachable_ = false;
  std::optional<TeamStamp> incompleteStamp_;  // what the first read of an unfinished save saw
  std::chrono::steady_clock::time_point incompleteSince_;
  std::chrono::milliseconds restPeriod_{3000};
};

}  // namespace jihe::storage
