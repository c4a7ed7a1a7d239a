#pragma once
// The team's shared library: an ordinary Data folder on the office file share, kept by a team lead
// and read, never written, by every agent's program. Each good load is copied into the agent's own
// Data folder (团队缓存\), which stands in while the share cannot be reached.
//
// A share is counted in requests: a quiet check asks for conf.ini's stamp and one listing of img\.
// The lead's save writes conf.ini last, with the check value of every group file, so a conf.ini
// whose stamp stands still means a folder that stands still, and a changed one names the group
// files that changed.
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "library/library.h"
#include "platform/file_access.h"
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

struct TeamContent {
  library::Library library;  // the team's groups only; a kind with none has an empty strip
  DataFolder folder;         // where it was read: the team folder, or the cache; pictures are in its img
  bool fromCache = false;
};

enum class TeamCheckStatus {
  Unchanged,    // nothing to do: no change, or still unreachable (already told)
  Reloaded,     // `content` is the team folder's new state
  Unreachable,  // the folder just became unreachable: `content` is the cache (when there is one)
  Incomplete,   // what the folder shows is not taken (yet); the next check reads again
};

struct TeamCheck {
  TeamCheckStatus status = TeamCheckStatus::Unchanged;
  std::optional<TeamContent> content;
};

// How long a doubtful state of the folder must stand unchanged before it is taken: a conf.ini that
// is empty, names no groups or does not match its group files (a copy or a save under way, an
// editor saving in place). A conf.ini that cannot be read is then taken for an outage.
inline constexpr std::chrono::seconds kTeamRestPeriod{30};

// Closes the cache to a worker that its owner no longer waits for: once Close has returned, that
// worker writes nothing more there, though it may still be inside a call on the share.
class TeamCacheGate {
 public:
  void Close() {
    // Seen at once by the writer, which then starts no further file, and waits for the one under way.
    closed_ = true;
    std::lock_guard lock(mutex_);
  }
  // Runs `write` unless the gate is closed; Close waits for a write under way. A write is one file
  // of the cache, so that a Close never waits for a whole cache.
  template <class Write>
  bool IfOpen(Write&& write) {
    if (closed_) return false;
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    write();
    return true;
  }

 private:
  std::mutex mutex_;
  std::atomic<bool> closed_{false};
};

// Where the agent's Data folder keeps the team library's cache.
DataFolder TeamCacheFolder(const DataFolder& own);
// The cache's img folder when the cache holds the pictures of `teamFolder` (however it is
// spelt); empty when it is another team's, or no one's yet.
std::string TeamCachePictureFolder(const DataFolder& own, const std::string& teamFolder);

// One team folder as seen from one agent's Data folder. Check() may run on a worker thread (it
// may wait on the network); one object is used by one thread at a time.
class TeamLibrary {
 public:
  using Now = std::function<std::chrono::steady_clock::time_point()>;

  // `share` reaches the team folder; the cache, being local, is read and written directly.
  TeamLibrary(std::string teamFolder, DataFolder own,
              std::shared_ptr<platform::FileAccess> share = platform::SystemFileAccess());

  // The cached copy: local files only, so a start does not wait for the network. Nothing when no
  // load of this team folder was cached (the cache holds the last team folder read), or when the
  // cache's files do not match its conf.ini. What it finds also spares the first check from
  // reading again what the cache already holds.
  std::optional<TeamContent> LoadCache();

  // Looks at the team folder: conf.ini's stamp, and only when it moved, conf.ini and the group
  // files whose check value changed. The pictures that the rows name follow by their stamps in
  // one listing of img\. Nothing empty, half-copied or unreadable replaces the good library.
  TeamCheck Check();

  DataFolder CacheFolder() const;

  // The clock of the rest period (tests move their own).
  void SetClock(Now now) { now_ = std::move(now); }
  // The gate that every write to the cache passes.
  const std::shared_ptr<TeamCacheGate>& cacheGate() const { return gate_; }

 private:
  using FileKey = std::pair<library::GroupKind, std::string>;  // kind and file stem
  struct GroupRead {
    library::GroupKind kind;
    std::string name;
    std::string stem;
    std::string check;  // what conf.ini says of it; empty when it says nothing
    std::string bytes;
    bool unread = false;  // there but could not be read: the bytes known before stand for it
  };
  // A group file that did not match at a read, and the moment (in stamp ticks) it was read.
  struct Pending {
    platform::FileContent read;
    std::int64_t readAt = 0;
  };
  struct Known {
    std::string check;
    std::string bytes;
  };
  // A state of the folder that is not taken yet: what it looked like, and since when.
  struct Doubt {
    std::string key;
    std::chrono::steady_clock::time_point since;
  };

  // True once the doubtful state `key` has stood unchanged for the rest period.
  bool StoodStill(const std::string& key);
  bool ReadAgainUnchanged(const FileKey& key, const DataFolder& team, platform::FileContent& read);
  TeamCheck Outage();
  TeamCheck Take(std::string confBytes, std::vector<GroupRead> groups, const platform::FileStamp& confStamp);
  // True once the cache holds this state whole.
  bool WriteCache(const std::string& confBytes, const std::vector<GroupRead>& groups);
  void CatchUpCache();
  void FollowPictures();
  TeamContent ContentOf(const std::vector<GroupRead>& groups, const DataFolder& folder, bool fromCache) const;

  std::string teamFolder_;
  DataFolder own_;
  std::shared_ptr<platform::FileAccess> share_;
  Now now_ = [] { return std::chrono::steady_clock::now(); };
  std::shared_ptr<TeamCacheGate> gate_ = std::make_shared<TeamCacheGate>();

  // The last state taken from the team folder (or found in the cache at the start).
  std::optional<std::string> confBytes_;
  std::optional<platform::FileStamp> confStamp_;
  std::vector<GroupRead> groups_;
  bool fromCacheOnly_ = false;  // groups_ came from the cache, not yet from the team folder
  bool quiet_ = false;          // a second read found conf.ini as taken: its stamp alone now tells
  bool cacheBehind_ = false;    // the cache's write of the state taken did not end
  bool cacheCleared_ = false;   // the cache, another team's, was emptied for this one
  bool cacheLooked_ = false;
  bool toldUnreachable_ = false;
  std::optional<Doubt> doubt_;
  // While a state is in doubt: conf.ini and the group files that did not match, as last read, so a
  // retry reads again only what moved since (a copy of a big folder takes a while).
  std::optional<platform::FileContent> doubtConf_;
  std::map<FileKey, Pending> doubtFiles_;
  // A state taken as it was after the rest period, with files missing or unreadable: what they
  // looked like then. While it is set the folder is not quiet, and those files are looked at again.
  std::string takenDoubt_;
  std::map<library::GroupKind, std::unordered_map<std::string, platform::FileStamp>> groupListings_;

  // Group file bytes known by their check value, from the cache or an earlier read.
  std::map<FileKey, Known> known_;
  // What the cache's group files hold (their check values), so only changed ones are written.
  std::map<FileKey, std::string> cached_;
  // For each picture in the cache (by its name as Windows compares it): the stamp of the team's
  // file it was copied from.
  std::map<std::string, platform::FileStamp> pictureStamps_;
  std::set<std::string> wantedPictures_;
};

}  // namespace jihe::storage
