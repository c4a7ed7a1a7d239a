#include "storage/team_library.h"

#include <chrono>
#include <set>

#include "storage/gb18030.h"
#include "storage/group_file.h"
#include "storage/ini_file.h"
#include "storage/store.h"

namespace jihe::storage {

namespace {

using library::GroupKind;


struct GroupRead {
  GroupKind kind;
  std::string name;
  std::string stem;
  std::string bytes;
};

struct Snapshot {
  enum class Status { Loaded, Unreachable, Incomplete } status = Status::Unreachable;
  std::string confBytes;
  std::vector<GroupRead> groups;
  TeamStamp stamp;
};

// Reads conf.ini and every group file it names, and tells whether they are one save's files.
// `asItIs` takes missing files as empty groups and ignores the check values.
Snapshot ReadSnapshot(const DataFolder& folder, bool asItIs) {
  Snapshot snap;
  std::string root = folder.root();
  if (!platform::DirectoryExists(root)) return snap;
  const std::string confPath = folder.ConfIni();
  const auto confBefore = platform::StampOf(confPath);
  platform::FileRead conf = platform::TryReadWholeFile(confPath);
  // A folder without conf.ini is no library (a wrong path, or a share not yet set up): its empty
  // state must not replace the cached one.
  if (conf.status == platform::ReadStatus::Missing) return snap;
  snap.status = Snapshot::Status::Incomplete;
  if (conf.status != platform::ReadStatus::Read) return snap;
  snap.confBytes = std::move(conf.bytes);
  snap.stamp.files.emplace_back(confPath, confBefore);

  bool whole = true;
  const IniFile ini = IniFile::FromBytes(snap.confBytes);
  for (GroupKind kind : {GroupKind::Phrase, GroupKind::Command}) {
    const std::vector<std::string> names = StoredGroupNames(kind, ini);
    const std::vector<std::string> stems = GroupFileStems(names);
    for (size_t i = 0; i < names.size(); ++i) {
      const std::string path = folder.GroupFile(kind, stems[i]);
      const std::string check = StoredGroupFileCheck(kind, ini, i);
      const auto before = platform::StampOf(path);
      platform::FileRead read = platform::TryReadWholeFile(path);
      const auto after = platform::StampOf(path);
      snap.stamp.files.emplace_back(path, after);
      if (read.status == platform::ReadStatus::Missing && check.empty()) {
        // A folder of an earlier version may keep the group under its earlier file name.
        if (auto earlier = EarlierGroupFileStem(names[i], stems[i]))
          read = platform::TryReadWholeFile(folder.GroupFile(kind, *earlier));
      }
      if (read.status == platform::ReadStatus::Unreadable) return snap;
      if (before != after) whole = false;
      if (!asItIs && read.status == platform::ReadStatus::Missing) whole = false;
      if (!asItIs && !check.empty() && GroupFileCheck(read.bytes) != check) whole = false;
      snap.groups.push_back({kind, names[i], stems[i], std::move(read.bytes)});
    }
  }
  // conf.ini is written last: when it moved during the read, the files may belong to two saves.
  if (platform::StampOf(confPath) != confBefore) whole = false;
  if (whole) snap.status = Snapshot::Status::Loaded;
  return snap;
}

TeamContent ContentOf(const Snapshot& snap, const DataFolder& folder, bool fromCache) {
  TeamContent content{library::Library{}, folder, fromCache};
  for (const GroupRead& g : snap.groups) {
    library::GroupStrip& strip = content.library.strip(g.kind);
    strip.slots().emplace_back(g.name, ParseGroupFile(g.bytes).rows);
  }
  return content;
}

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
        if (!name.empty() && name.find_first_of("\\/:\r\n") == std::string::npos && name.find("..") == std::string::npos)
          names.insert(std::move(name));
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

bool CacheIsOf(const DataFolder& cache, const std::string& teamFolder) {
  const auto source = platform::ReadWholeFile(CacheSourceFile(cache));
  return source && DecodeGb18030(*source) == teamFolder;
}

// The cache is itself a Data folder: the group files go first and conf.ini last, each replaced
// atomically, so a program stopped halfway leaves the previous cache readable. A cache of another
// team folder is first marked as no one's, and named after the new one only once it is whole.
void WriteCache(const Snapshot& snap, const TeamContent& content, const DataFolder& team, const DataFolder& cache,
                const std::string& teamFolder) {
  if (!cache.EnsureFolders()) return;
  const bool sameTeam = CacheIsOf(cache, teamFolder);
  if (!sameTeam && !platform::WriteFileAtomically(CacheSourceFile(cache), "")) return;
  for (const GroupRead& g : snap.groups) {
    const std::string path = cache.GroupFile(g.kind, g.stem);
    if (platform::ReadWholeFile(path) != g.bytes) platform::WriteFileAtomically(path, g.bytes);
  }
  for (const std::string& name : PicturesOf(content.library)) {
    const std::string from = Joined(team.ImgFolder(), name), to = Joined(cache.ImgFolder(), name);
    // A picture replaced by one of the same size must reach the cache too: compare the bytes.
    const auto bytes = platform::ReadWholeFile(from);
    if (bytes && platform::ReadWholeFile(to) != bytes) platform::WriteFileAtomically(to, *bytes);
  }
  if (!platform::WriteFileAtomically(cache.ConfIni(), snap.confBytes) || sameTeam) return;
  platform::WriteFileAtomically(CacheSourceFile(cache), EncodeGb18030(teamFolder));
}

// All the bytes a snapshot read, folded into one value.
std::string BytesCheck(const Snapshot& snap) {
  std::string all = GroupFileCheck(snap.confBytes);
  for (const GroupRead& g : snap.groups) all += GroupFileCheck(g.bytes);
  return all;
}

TeamStamp StampAgain(const TeamStamp& stamp) {
  TeamStamp now;
  for (const auto& [path, _] : stamp.files) now.files.emplace_back(path, platform::StampOf(path));
  return now;
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

TeamLibrary::TeamLibrary(std::string teamFolder, DataFolder own)
    : teamFolder_(std::move(teamFolder)), own_(std::move(own)) {}

DataFolder TeamLibrary::CacheFolder() const { return DataFolder(Joined(own_.root(), std::string(kTeamCacheFolderName))); }

std::optional<TeamContent> TeamLibrary::LoadCache() const {
  const DataFolder cache = CacheFolder();
  if (!CacheIsOf(cache, teamFolder_)) return std::nullopt;
  Snapshot snap = ReadSnapshot(cache, true);
  if (snap.status != Snapshot::Status::Loaded) return std::nullopt;
  return ContentOf(snap, cache, true);
}

TeamCheck TeamLibrary::Check() {
  if (teamFolder_.empty()) return {};
  if (loaded_ && confirmed_ && StampAgain(*loaded_) == *loaded_) return {};

  const auto now = std::chrono::steady_clock::now();
  const bool atRest = incompleteStamp_ && now - incompleteSince_ >= restPeriod_ &&
                      StampAgain(*incompleteStamp_) == *incompleteStamp_;
  const DataFolder team(teamFolder_);
  Snapshot snap = ReadSnapshot(team, atRest);
  switch (snap.status) {
    case Snapshot::Status::Unreachable:
      loaded_.reset();
      incompleteStamp_.reset();
      if (toldUnreachable_) return {};
      toldUnreachable_ = true;
      return {TeamCheckStatus::Unreachable, LoadCache()};
    case Snapshot::Status::Incomplete:
      if (incompleteStamp_ != snap.stamp) {
        incompleteStamp_ = snap.stamp;
        incompleteSince_ = now;
      }
      return {TeamCheckStatus::Incomplete, std::nullopt};
    case Snapshot::Status::Loaded:
      break;
  }
  incompleteStamp_.reset();
  toldUnreachable_ = false;
  const std::string bytes = BytesCheck(snap);
  if (loaded_ && *loaded_ == snap.stamp && loadedBytes_ == bytes) {
    confirmed_ = true;
    return {};
  }
  loaded_ = snap.stamp;
  loadedBytes_ = bytes;
  confirmed_ = false;
  TeamContent content = ContentOf(snap, team, false);
  WriteCache(snap, content, team, CacheFolder(), teamFolder_);
  return {TeamCheckStatus::Reloaded, std::move(content)};
}

}  // namespace jihe::storage
