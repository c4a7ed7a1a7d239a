#include "storage/team_library.h"

#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "library/preview.h"
#include "storage/gb18030.h"
#include "storage/group_file.h"
#include "storage/ini_file.h"
#include "storage/store.h"

namespace jihe::storage {

namespace {

using library::GroupKind;

// The picture names that the team's phrases use, as plain names inside img\.
std::set<std::string> PicturesOf(const library::Library& lib) {
  constexpr std::string_view kOpen = "[img=", kClose = "img]";
  std::set<std::string> names;
  for (const library::Group& g : lib.phrases.slots()) {
    for (const std::string& row : g.rows()) {
      // The tokens are read whatever their letter case, as a send reads them.
      std::string lower = row;
      for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
      for (size_t at = lower.find(kOpen); at != std::string::npos; at = lower.find(kOpen, at + 1)) {
        const size_t end = lower.find(kClose, at + kOpen.size());
        if (end == std::string::npos) break;
        std::string name = row.substr(at + kOpen.size(), end - at - kOpen.size());
        if (library::IsPlainFileName(name)) names.insert(std::move(name));
      }
    }
  }
  return names;
}

std::string Joined(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += platform::kPathSeparator;
  return path + name;
}

// Which team folder the cache holds, so that another one set later never shows its groups.
std::string CacheSourceFile(const DataFolder& cache) { return cache.root() + "来源.txt"; }

// The team folder as Windows would find it: another spelling of it is the same folder.
bool CacheIsOf(const DataFolder& cache, const std::string& teamFolder) {
  const auto source = platform::ReadWholeFile(CacheSourceFile(cache));
  return source && !source->empty() && FolderPathKey(DecodeGb18030(*source)) == FolderPathKey(teamFolder);
}

// The stamps of the team's pictures that the cache's copies were made from: one line each of
// size, last-write time and the name as Windows compares it.
std::string PictureStampsFile(const DataFolder& cache) { return cache.root() + "图片来源.txt"; }

std::map<std::string, platform::FileStamp> LoadPictureStamps(const DataFolder& cache) {
  std::map<std::string, platform::FileStamp> stamps;
  const auto bytes = platform::ReadWholeFile(PictureStampsFile(cache));
  if (!bytes) return stamps;
  const std::string text = DecodeGb18030(*bytes);
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    const size_t a = line.find(' '), b = a == std::string::npos ? a : line.find(' ', a + 1);
    if (b == std::string::npos || b + 1 >= line.size()) continue;
    platform::FileStamp s;
    s.size = std::strtoull(line.substr(0, a).c_str(), nullptr, 10);
    s.modified = std::strtoll(line.substr(a + 1, b - a - 1).c_str(), nullptr, 10);
    stamps[line.substr(b + 1)] = s;
  }
  return stamps;
}

bool SavePictureStamps(const DataFolder& cache, const std::map<std::string, platform::FileStamp>& stamps) {
  std::string text;
  for (const auto& [name, s] : stamps) {
    text += std::to_string(s.size) + " " + std::to_string(s.modified) + " " + name + "\r\n";
  }
  return platform::ReplaceFileUnflushed(PictureStampsFile(cache), EncodeGb18030(text));
}

// Reads the group files that conf.ini names, through `read` (nothing read comes back as Missing).
struct FolderRead {
  std::vector<std::string> names, stems, checks;
};

FolderRead GroupsNamedIn(GroupKind kind, const IniFile& conf) {
  FolderRead r;
  r.names = StoredGroupNames(kind, conf);
  r.stems = GroupFileStems(r.names);
  r.checks = StoredGroupFileChecks(kind, conf, r.names.size());
  return r;
}

}  // namespace

std::string LoadTeamFolderSetting(const DataFolder& own) {
  return IniFile::Load(own.ConfigIni()).GetString(kTeamSection, kTeamFolderKey);
}

bool SaveTeamFolderSetting(const DataFolder& own, std::string_view teamFolder) {
  platform::FileRead read = platform::TryReadWholeFile(own.ConfigIni());
  if (read.status == platform::ReadStatus::Unreadable) return false;
  IniFile config = IniFile::FromBytes(read.bytes);
  return config.Set(kTeamSection, kTeamFolderKey, teamFolder) && config.Save(own.ConfigIni());
}

TeamLibrary::TeamLibrary(std::string teamFolder, DataFolder own, std::shared_ptr<platform::FileAccess> share)
    : teamFolder_(std::move(teamFolder)), own_(std::move(own)), share_(std::move(share)) {}

DataFolder TeamCacheFolder(const DataFolder& own) {
  return DataFolder(Joined(own.root(), std::string(kTeamCacheFolderName)));
}

std::string TeamCachePictureFolder(const DataFolder& own, const std::string& teamFolder) {
  const DataFolder cache = TeamCacheFolder(own);
  return CacheIsOf(cache, teamFolder) ? cache.ImgFolder() : std::string();
}

DataFolder TeamLibrary::CacheFolder() const { return TeamCacheFolder(own_); }

TeamContent TeamLibrary::ContentOf(const std::vector<GroupRead>& groups, const DataFolder& folder, bool fromCache) const {
  TeamContent content{library::Library{}, folder, fromCache};
  for (const GroupRead& g : groups) {
    const auto it = known_.find({g.kind, g.stem});
    content.library.strip(g.kind).slots().emplace_back(
        g.name, ParseGroupFile(it == known_.end() ? std::string_view() : std::string_view(it->second.bytes)).rows);
  }
  return content;
}

std::optional<TeamContent> TeamLibrary::LoadCache() {
  cacheLooked_ = true;
  const DataFolder cache = CacheFolder();
  if (!CacheIsOf(cache, teamFolder_)) return std::nullopt;
  const auto conf = platform::ReadWholeFile(cache.ConfIni());
  if (!conf) return std::nullopt;
  // What each of the cache's files really holds is known by its check value. A file that is not
  // what the cache's conf.ini says (a write cut short, a power cut) makes the cache no whole
  // library: it is not shown, though what does match spares the first check from reading it.
  const IniFile ini = IniFile::FromBytes(*conf);
  std::vector<GroupRead> groups;
  std::map<FileKey, Known> found;
  bool whole = true;
  for (GroupKind kind : {GroupKind::Phrase, GroupKind::Command}) {
    const FolderRead named = GroupsNamedIn(kind, ini);
    for (size_t i = 0; i < named.names.size(); ++i) {
      auto bytes = platform::ReadWholeFile(cache.GroupFile(kind, named.stems[i]));
      if (!bytes && named.checks[i].empty()) {
        if (auto earlier = EarlierGroupFileStem(named.names[i], named.stems[i]))
          bytes = platform::ReadWholeFile(cache.GroupFile(kind, *earlier));
      }
      std::string b = bytes.value_or(std::string());
      std::string check = GroupFileCheck(b);
      if (!named.checks[i].empty() && check != named.checks[i]) whole = false;
      found[{kind, named.stems[i]}] = {std::move(check), std::move(b)};
      groups.push_back({kind, named.names[i], named.stems[i], named.checks[i], {}});
    }
  }
  for (const auto& [key, k] : found) cached_[key] = k.check;
  pictureStamps_ = LoadPictureStamps(cache);
  if (!whole) {
    if (!confBytes_) known_ = std::move(found);
    return std::nullopt;
  }
  if (!confBytes_) {
    // Nothing taken from the team folder yet: the cache is the last good state.
    known_ = std::move(found);
    confBytes_ = *conf;
    groups_ = groups;
    fromCacheOnly_ = true;
    TeamContent content = ContentOf(groups_, cache, true);
    wantedPictures_ = PicturesOf(content.library);
    return content;
  }
  TeamContent content{library::Library{}, cache, true};
  for (const GroupRead& g : groups)
    content.library.strip(g.kind).slots().emplace_back(g.name, ParseGroupFile(found.at({g.kind, g.stem}).bytes).rows);
  return content;
}

TeamCheck TeamLibrary::Check() {
  if (teamFolder_.empty()) return {};
  if (!cacheLooked_) LoadCache();
  const DataFolder team(teamFolder_);
  const std::string confPath = team.ConfIni();

  // The quiet check: conf.ini is written last by every save, so its stamp tells for the folder.
  std::optional<platform::FileStamp> stamp;
  if (quiet_ || doubtConf_) {
    stamp = share_->Stamp(confPath);
    if (quiet_ && stamp && stamp == confStamp_) {
      CatchUpCache();
      FollowPictures();
      return {};
    }
  }

  // While a state is in doubt, conf.ini is read again only when it moved.
  platform::FileContent conf =
      doubtConf_ && stamp && *stamp == doubtConf_->stamp ? *doubtConf_ : share_->Read(confPath);
  doubtConf_.reset();
  // A folder without conf.ini is no library (a wrong path, a share not yet set up, a folder gone):
  // its empty state must not replace the cached one.
  if (conf.status == platform::ReadStatus::Missing) {
    doubt_.reset();
    doubtFiles_.clear();
    return Outage();
  }
  if (conf.status == platform::ReadStatus::Unreadable) {
    if (!share_->FolderExists(team.root())) {
      doubt_.reset();
      return Outage();
    }
    // Held by another program, or damaged: a moment's lock passes; one that lasts is an outage.
    const auto held = share_->Stamp(confPath);
    const std::string key = "unreadable " + (held ? std::to_string(held->size) + " " + std::to_string(held->modified) : "");
    if (!StoodStill(key)) return {TeamCheckStatus::Incomplete, std::nullopt};
    return Outage();
  }

  const bool asTaken = confBytes_ && conf.bytes == *confBytes_ && !fromCacheOnly_ && !toldUnreachable_;
  if (asTaken && takenDoubt_.empty()) {
    // The folder as it was taken (the read after a load, or a save that changed nothing).
    confStamp_ = conf.stamp;
    quiet_ = true;
    doubt_.reset();
    CatchUpCache();
    FollowPictures();
    return {};
  }

  // Read what changed: a group file whose check value is the one already known is not read again.
  const IniFile ini = IniFile::FromBytes(conf.bytes);
  std::vector<GroupRead> groups;
  bool whole = true;
  std::map<FileKey, Pending> doubtful;
  groupListings_.clear();
  std::string doubtKey = std::to_string(conf.stamp.size) + " " + std::to_string(conf.stamp.modified);
  for (GroupKind kind : {GroupKind::Phrase, GroupKind::Command}) {
    const FolderRead named = GroupsNamedIn(kind, ini);
    for (size_t i = 0; i < named.names.size(); ++i) {
      GroupRead g{kind, named.names[i], named.stems[i], named.checks[i], {}};
      if (!g.check.empty()) {
        const auto it = known_.find({kind, g.stem});
        if (it != known_.end() && it->second.check == g.check) {
          g.bytes = it->second.bytes;
          groups.push_back(std::move(g));
          continue;
        }
      }
      platform::FileContent read;
      if (!ReadAgainUnchanged({kind, g.stem}, team, read)) {
        read = share_->Read(team.GroupFile(kind, g.stem));
        if (read.status == platform::ReadStatus::Missing && g.check.empty()) {
          // A folder of an earlier version may keep the group under its earlier file name.
          if (auto earlier = EarlierGroupFileStem(g.name, g.stem)) read = share_->Read(team.GroupFile(kind, *earlier));
        }
      }
      // A file missing, unreadable or not what conf.ini says: a save or a copy under way.
      if (read.status != platform::ReadStatus::Read || (!g.check.empty() && GroupFileCheck(read.bytes) != g.check)) {
        whole = false;
        doubtKey += " " + g.stem + "=" + (read.status == platform::ReadStatus::Read ? GroupFileCheck(read.bytes) : "-");
        doubtful[{kind, g.stem}] = {read, platform::StampTicksNow()};
      }
      g.unread = read.status == platform::ReadStatus::Unreadable;
      g.bytes = std::move(read.bytes);
      groups.push_back(std::move(g));
    }
  }
  // conf.ini caught empty (a copy in Explorer, an editor saving in place) or naming nothing, while
  // the library had groups: most likely a save under way, not a team lead who emptied it.
  const bool looksEmptied = groups.empty() && !groups_.empty();
  if (asTaken && doubtKey == takenDoubt_) {
    // Still as it was taken: the files that were not there are looked at again next time.
    doubtFiles_ = std::move(doubtful);
    doubtConf_ = std::move(conf);
    FollowPictures();
    return {};
  }
  if ((!whole || looksEmptied) && !StoodStill(doubtKey)) {
    doubtFiles_ = std::move(doubtful);
    doubtConf_ = std::move(conf);
    return {TeamCheckStatus::Incomplete, std::nullopt};
  }
  // Taken as it is with files missing or unreadable: keep watching them.
  takenDoubt_ = whole ? std::string() : doubtKey;
  doubtFiles_ = std::move(doubtful);
  if (!whole) doubtConf_ = conf;
  return Take(std::move(conf.bytes), std::move(groups), conf.stamp);
}

// A group file that did not match at the last read, and that its folder's listing (one request for
// all of them) shows unchanged since: what was read then stands, without reading it again.
bool TeamLibrary::ReadAgainUnchanged(const FileKey& key, const DataFolder& team, platform::FileContent& read) {
  const auto pending = doubtFiles_.find(key);
  if (pending == doubtFiles_.end()) return false;
  auto listing = groupListings_.find(key.first);
  if (listing == groupListings_.end()) {
    std::unordered_map<std::string, platform::FileStamp> stamps;
    if (auto entries = share_->List(team.GroupFolder(key.first))) {
      for (const platform::FolderEntry& e : *entries) stamps.emplace(FileNameCaseFold(e.name), e.stamp);
    }
    listing = groupListings_.emplace(key.first, std::move(stamps)).first;
  }
  const auto listed = listing->second.find(FileNameCaseFold(key.second + ".txt"));
  // A file replaced within the clock's tick keeps its stamp: a read is trusted only when the file
  // had stood still for a while before it.
  const platform::FileContent& was = pending->second.read;
  const bool settled = pending->second.readAt - was.stamp.modified > 2 * platform::kStampTicksPerSecond;
  const bool unchanged = was.status == platform::ReadStatus::Read
                             ? settled && listed != listing->second.end() && listed->second == was.stamp
                             : was.status == platform::ReadStatus::Missing && listed == listing->second.end();
  if (unchanged) read = was;
  return unchanged;
}

bool TeamLibrary::StoodStill(const std::string& key) {
  const auto now = now_();
  if (!doubt_ || doubt_->key != key) {
    doubt_ = Doubt{key, now};
    return false;
  }
  return now - doubt_->since >= kTeamRestPeriod;
}

TeamCheck TeamLibrary::Outage() {
  quiet_ = false;
  if (toldUnreachable_) return {};
  toldUnreachable_ = true;
  if (!confBytes_) return {TeamCheckStatus::Unreachable, std::nullopt};
  // What was taken last is what the cache holds; its pictures are the cache's.
  return {TeamCheckStatus::Unreachable, ContentOf(groups_, CacheFolder(), true)};
}

TeamCheck TeamLibrary::Take(std::string confBytes, std::vector<GroupRead> groups, const platform::FileStamp& confStamp) {
  doubt_.reset();
  toldUnreachable_ = false;
  fromCacheOnly_ = false;
  quiet_ = false;  // the next check reads conf.ini once more: a file replaced twice within the clock's tick keeps its stamp
  std::map<FileKey, Known> known;
  for (GroupRead& g : groups) {
    if (g.unread) {
      // What was known of it (from the share or the cache) stands until it can be read.
      const auto it = known_.find({g.kind, g.stem});
      known[{g.kind, g.stem}] = it != known_.end() ? it->second : Known{GroupFileCheck(""), ""};
      continue;
    }
    // What the file really holds, which is what conf.ini says unless it was taken as it is.
    std::string check = !g.check.empty() && known_.count({g.kind, g.stem}) && known_.at({g.kind, g.stem}).check == g.check
                            ? g.check
                            : GroupFileCheck(g.bytes);
    known[{g.kind, g.stem}] = {std::move(check), std::move(g.bytes)};
    g.bytes.clear();
  }
  known_ = std::move(known);
  cacheBehind_ = !WriteCache(confBytes, groups);
  confBytes_ = std::move(confBytes);
  confStamp_ = confStamp;
  groups_ = std::move(groups);
  TeamContent content = ContentOf(groups_, DataFolder(teamFolder_), false);
  wantedPictures_ = PicturesOf(content.library);
  FollowPictures();
  return {TeamCheckStatus::Reloaded, std::move(content)};
}

// The cache is itself a Data folder: the changed group files go first and conf.ini last, and only
// once every file is written, so a program stopped halfway leaves a conf.ini whose check values
// tell the files that do not match it. Only conf.ini is flushed to the disk: a group file lost to
// a power cut is found by its check value and copied again. A cache of another team folder is
// first marked as no one's, and named after the new one once it is whole. Each file passes the
// gate on its own, so closing it waits for one file, not for the whole cache.
bool TeamLibrary::WriteCache(const std::string& confBytes, const std::vector<GroupRead>& groups) {
  const DataFolder cache = CacheFolder();
  // One step on the cache, unless the gate is closed; false when the gate or the step failed.
  const auto step = [this](auto&& write) {
    bool done = false;
    gate_->IfOpen([&] { done = write(); });
    return done;
  };
  if (!step([&] { return cache.EnsureFolders(); })) return false;
  const bool sameTeam = CacheIsOf(cache, teamFolder_);
  // Once: a write made again keeps the pictures copied for this team since.
  if (!sameTeam && !cacheCleared_) {
    if (!step([&] { return platform::WriteFileAtomically(CacheSourceFile(cache), ""); })) return false;
    cached_.clear();
    // The pictures are the old team's: none of them may stand in for this team's.
    if (const auto pictures = platform::SystemFileAccess()->List(cache.ImgFolder())) {
      for (const platform::FolderEntry& e : *pictures)
        if (!step([&] { return platform::RemoveFile(Joined(cache.ImgFolder(), e.name)); })) return false;
    }
    pictureStamps_.clear();
    if (!step([&] { return SavePictureStamps(cache, pictureStamps_); })) return false;
    cacheCleared_ = true;
  }
  // A state taken as it is holds files that its conf.ini does not name by their check values: the
  // cache's conf.ini names what the cache holds, so that the next start can tell it whole.
  IniFile conf = IniFile::FromBytes(confBytes);
  bool confChanged = false;
  std::map<GroupKind, size_t> positions;
  bool whole = true;
  for (const GroupRead& g : groups) {
    const FileKey key{g.kind, g.stem};
    const size_t position = positions[g.kind]++;
    if (g.unread) {
      // Its copy stays what it was; the cache's conf.ini then stays the last whole state's.
      whole = false;
      continue;
    }
    const Known& k = known_.at(key);
    if (!g.check.empty() && g.check != k.check) {
      SetStoredGroupFileCheck(g.kind, conf, position, k.check);
      confChanged = true;
    }
    const auto it = cached_.find(key);
    if (it != cached_.end() && it->second == k.check) continue;
    if (step([&] { return platform::ReplaceFileUnflushed(cache.GroupFile(g.kind, g.stem), k.bytes); })) {
      cached_[key] = k.check;
    } else {
      cached_.erase(key);
      whole = false;
    }
  }
  const std::string cacheConf = confChanged ? conf.ToBytes() : confBytes;
  if (!whole || !step([&] { return platform::WriteFileAtomically(cache.ConfIni(), cacheConf); })) return false;
  return sameTeam || step([&] { return platform::WriteFileAtomically(CacheSourceFile(cache), EncodeGb18030(teamFolder_)); });
}

// A cache write that failed (a file held by a virus scanner, a full disk) is made again at the
// next checks, until the cache holds the library that was taken.
void TeamLibrary::CatchUpCache() {
  if (cacheBehind_ && confBytes_) cacheBehind_ = !WriteCache(*confBytes_, groups_);
}

// One listing of the team's img\ gives every picture's size and time; a picture whose stamp moved
// since it was copied (a new one under the old name) is copied again, and nothing else is read. A
// picture gone from the team folder keeps its copy.
void TeamLibrary::FollowPictures() {
  if (wantedPictures_.empty()) return;
  const DataFolder team(teamFolder_);
  const auto listing = share_->List(team.ImgFolder());
  if (!listing) return;
  std::unordered_map<std::string, const platform::FolderEntry*> byName;
  for (const platform::FolderEntry& e : *listing) byName.emplace(FileNameCaseFold(e.name), &e);
  const DataFolder cache = CacheFolder();
  bool copied = false;
  for (const std::string& name : wantedPictures_) {
    const std::string folded = FileNameCaseFold(name);
    const auto found = byName.find(folded);
    if (found == byName.end()) continue;
    const auto stamp = pictureStamps_.find(folded);
    if (stamp != pictureStamps_.end() && stamp->second == found->second->stamp) continue;
    const platform::FileContent read = share_->Read(Joined(team.ImgFolder(), found->second->name));
    if (read.status != platform::ReadStatus::Read) continue;
    gate_->IfOpen([&] {
      if (!platform::WriteFileAtomically(Joined(cache.ImgFolder(), name), read.bytes)) return;
      pictureStamps_[folded] = read.stamp;
      copied = true;
    });
  }
  if (copied) gate_->IfOpen([&] { SavePictureStamps(cache, pictureStamps_); });
}

}  // namespace jihe::storage
