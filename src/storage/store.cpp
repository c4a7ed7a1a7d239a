#include "storage/store.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <unordered_map>

#include "storage/gb18030.h"
#include "storage/group_file.h"
#include "storage/ini_file.h"
#include "storage/schedule_value.h"

namespace jihe::storage {

namespace {

using library::GroupKind;

constexpr char kPanelSection[] = "主面板";
constexpr char kSizeSection[] = "大小";

struct KindKeys {
  const char* countKey;
  const char* nameSection;
  const char* checkSection;
};

constexpr size_t kMaxGroupsWithoutNames = 10000;

// Another program (a virus scanner, a backup or sync tool, an editor) may hold a file for a
// moment: a read is tried again this many times, this long apart, before the file is left alone.
constexpr int kRereadTries = 4;
constexpr std::chrono::milliseconds kRereadPause{60};

KindKeys KeysOf(GroupKind kind) {
  return kind == GroupKind::Phrase ? KindKeys{"短语子夹数", "短语子夹名", "短语子夹校验"}
                                : KindKeys{"快捷子夹数", "快捷子夹名", "快捷子夹校验"};
}

std::uint32_t Crc32(std::string_view bytes) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

}  // namespace

std::string GroupFileCheck(std::string_view bytes) {
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08x", Crc32(bytes));
  return std::to_string(bytes.size()) + ":" + crc;
}

std::string StoredGroupFileCheck(GroupKind kind, const IniFile& conf, size_t position) {
  return conf.GetString(KeysOf(kind).checkSection, std::to_string(position));
}

void SetStoredGroupFileCheck(GroupKind kind, IniFile& conf, size_t position, std::string_view check) {
  conf.Set(KeysOf(kind).checkSection, std::to_string(position), check);
}

std::vector<std::string> StoredGroupFileChecks(GroupKind kind, const IniFile& conf, size_t count) {
  std::vector<std::optional<std::string>> found(count);
  for (auto& [key, value] : conf.Entries(KeysOf(kind).checkSection)) {
    if (key.empty() || key.size() >= 10 || key.find_first_not_of("0123456789") != std::string::npos) continue;
    const size_t position = std::stoull(key);
    if (key != std::to_string(position)) continue;  // "01" is not the key "1"
    // The first of two equal keys wins, as in every INI read.
    if (position < count && !found[position]) found[position] = value ? CutIniValue(*value) : std::string();
  }
  std::vector<std::string> checks;
  checks.reserve(count);
  for (auto& check : found) checks.push_back(check.value_or(std::string()));
  return checks;
}

std::vector<std::string> StoredGroupNames(GroupKind kind, const IniFile& conf) {
  const KindKeys keys = KeysOf(kind);
  const int count = conf.GetInt(kPanelSection, keys.countKey);
  if (count <= 0) return {};

  // One pass over the name section; the first of two equal keys wins, as in every INI read, even
  // when it has no value.
  std::unordered_map<std::string, std::optional<std::string>> stored;
  long long highestKey = -1;
  for (auto& [key, value] : conf.Entries(keys.nameSection)) {
    if (stored.count(key)) continue;
    if (value && !key.empty() && key.size() < 10 && key.find_first_not_of("0123456789") == std::string::npos)
      highestKey = std::max(highestKey, std::stoll(key));
    stored.emplace(key, std::move(value));
  }
  // A missing name is an empty one; but a count far beyond the stored names is damage, not a
  // library, and must not make thousands of empty groups.
  size_t n = static_cast<size_t>(count);
  if (n > kMaxGroupsWithoutNames) n = std::min(n, static_cast<size_t>(highestKey + 1));

  std::vector<std::string> names;
  names.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    auto it = stored.find(std::to_string(i));
    names.push_back(it == stored.end() || !it->second ? std::string() : CutIniValue(*it->second));
  }
  return names;
}

void Workspace::ResetToDesign() {
  library = library::DesignLibrary();
  schedule = {};
  geometry.reset();
  music = kDefaultMusic;
  shake = true;
  options.ResetToDesign();
}

void Store::LoadAll(Workspace& ws) {
  written_.clear();
  const IniFile config = IniFile::Load(folder_.ConfigIni());
  if (config.Exists()) {
    ws.schedule.items = ParseScheduleValue(config.GetString(kPanelSection, "定时项目"));
    if (config.GetInt(kSizeSection, "高度") != 0) {
      ws.geometry = PanelGeometry{config.GetInt(kSizeSection, "高度"), config.GetInt(kSizeSection, "宽度"),
                                  config.GetInt(kSizeSection, "左边"), config.GetInt(kSizeSection, "顶边")};
    }
    ws.music = config.GetString(kPanelSection, "music");
    ws.shake = config.GetBool(kPanelSection, "抖动");
    ws.schedule.on = config.GetBool(kPanelSection, "定时开关");
  }
  const IniFile conf = IniFile::Load(folder_.ConfIni());
  LoadKind(GroupKind::Phrase, conf, ws.library.phrases);
  LoadKind(GroupKind::Command, conf, ws.library.commands);
}

void Store::LoadKind(GroupKind kind, const IniFile& conf, library::GroupStrip& strip) {
  // Nothing stored: the design-time group stays.
  const std::vector<std::string> names = StoredGroupNames(kind, conf);
  if (names.empty()) return;
  const std::vector<std::string> stems = GroupFileStems(names);

  strip.slots().clear();
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string path = folder_.GroupFile(kind, stems[i]);
    std::optional<std::string> bytes = platform::ReadWholeFile(path);
    bool fromOwnFile = bytes.has_value();
    if (!bytes) {
      if (auto earlier = EarlierGroupFileStem(names[i], stems[i]))
        bytes = platform::ReadWholeFile(folder_.GroupFile(kind, *earlier));
    }
    ParsedGroupFile parsed = ParseGroupFile(bytes ? *bytes : std::string());
    const size_t index = strip.CreateSlot(names[i]);
    library::Group& group = *strip.ListOfGroup(index);
    group.MutableRows() = std::move(parsed.rows);
    if (fromOwnFile && parsed.canonical) {
      if (auto stamp = platform::StampOf(path))
        written_[{kind, index}] = {path, group.revision(), *stamp, GroupFileCheck(*bytes)};
    }
  }
}

std::optional<IniFile> Store::LoadForRewrite(const std::string& path) const {
  for (int tries = 0;; ++tries) {
    platform::FileRead read = platform::TryReadWholeFile(path);
    if (read.status == platform::ReadStatus::Read) return IniFile::FromBytes(read.bytes);
    if (read.status == platform::ReadStatus::Missing) return IniFile{};
    if (tries == kRereadTries) return std::nullopt;
    // A plain sleep, not a pumping wait: a message handled here could start another save.
    if (pause_) {
      pause_(kRereadPause);
    } else {
      std::this_thread::sleep_for(kRereadPause);
    }
  }
}

SaveReport Store::SaveAll(const Workspace& ws) { return Save(ws, nullptr); }

SaveReport Store::SaveAllOrNothing(const Workspace& ws) {
  Earlier earlier;
  return Save(ws, &earlier);
}

SaveReport Store::Save(const Workspace& ws, Earlier* earlier) {
  SaveReport report;
  // The group files go out even when conf.ini cannot be read; conf.ini itself is then left as it
  // is, since rewriting it would drop whatever else it holds.
  std::optional<IniFile> conf = LoadForRewrite(folder_.ConfIni());
  IniFile names = conf ? std::move(*conf) : IniFile{};
  if (earlier && !conf) return ++report.failures, report;
  SaveKind(GroupKind::Phrase, ws.library.phrases, names, report, earlier);
  SaveKind(GroupKind::Command, ws.library.commands, names, report, earlier);
  // conf.ini names the groups last: when it fails too, the group files go back as they were.
  if (earlier && (report.failures || !names.Save(folder_.ConfIni()))) {
    if (!report.failures) ++report.failures;
    for (auto it = earlier->rbegin(); it != earlier->rend(); ++it) {
      const bool back = it->second ? platform::WriteFileAtomically(it->first, *it->second)
                                   : platform::RemoveFile(it->first) || !platform::FileExists(it->first);
      if (!back) report.notUndone = true;
    }
    // What this save wrote is not on disk any more: the next save writes it again.
    for (auto it = written_.begin(); it != written_.end();) {
      const bool undone = std::any_of(earlier->begin(), earlier->end(), [&](const auto& e) { return e.first == it->second.path; });
      it = undone ? written_.erase(it) : std::next(it);
    }
    return report;
  }
  if (!earlier && (!conf || !names.Save(folder_.ConfIni()))) ++report.failures;

  std::optional<IniFile> config = LoadForRewrite(folder_.ConfigIni());
  if (!config) {
    report.settingsKept = true;
    return report;
  }
  const PanelGeometry g = ws.geometry.value_or(PanelGeometry{});
  config->SetInt(kSizeSection, "高度", g.height);
  config->SetInt(kSizeSection, "宽度", g.width);
  config->SetInt(kSizeSection, "左边", g.left);
  config->SetInt(kSizeSection, "顶边", g.top);
  if (!config->Set(kPanelSection, "music", ws.music)) ++report.failures;
  config->SetBool(kPanelSection, "抖动", ws.shake);
  config->SetBool(kPanelSection, "定时开关", ws.schedule.on);
  if (!config->Set(kPanelSection, "定时项目", BuildScheduleValue(ws.schedule.items))) ++report.failures;
  if (!config->Save(folder_.ConfigIni())) ++report.failures;
  return report;
}

void Store::SaveKind(GroupKind kind, const library::GroupStrip& strip, IniFile& conf, SaveReport& report,
                     Earlier* earlier) {
  const KindKeys keys = KeysOf(kind);
  const std::vector<size_t> visible = strip.VisibleIndices();
  std::vector<std::string> names;
  names.reserve(visible.size());
  for (size_t index : visible) names.push_back(strip.ListOfGroup(index)->name());
  const std::vector<std::string> stems = GroupFileStems(names);

  conf.SetInt(kPanelSection, keys.countKey, static_cast<long long>(visible.size()));
  for (size_t k = 0; k < visible.size(); ++k) {
    const library::Group& group = *strip.ListOfGroup(visible[k]);
    const std::string path = folder_.GroupFile(kind, stems[k]);
    const SlotKey key{kind, visible[k]};
    auto it = written_.find(key);
    const bool unchanged = it != written_.end() && it->second.path == path &&
                           it->second.revision == group.revision() && platform::StampOf(path) == it->second.stamp;
    std::string check;
    if (unchanged) {
      check = it->second.check;
    } else {
      const std::string bytes = SerializeGroupFile(group.rows());
      if (earlier) {
        platform::FileRead before = platform::TryReadWholeFile(path);
        if (before.status == platform::ReadStatus::Unreadable) {
          // What could not be read could not be put back: this save does not go ahead.
          ++report.failures;
          continue;
        }
        earlier->emplace_back(path, before.status == platform::ReadStatus::Read ? std::optional(std::move(before.bytes))
                                                                                 : std::nullopt);
      }
      if (platform::WriteFileAtomically(path, bytes)) {
        ++report.filesWritten;
        check = GroupFileCheck(bytes);
        if (auto stamp = platform::StampOf(path)) written_[key] = {path, group.revision(), *stamp, check};
      } else {
        ++report.failures;
        written_.erase(key);
      }
    }
    if (!conf.Set(keys.nameSection, std::to_string(k), group.name())) ++report.failures;
    // An empty value (the file could not be written) asks a reader for no check.
    conf.Set(keys.checkSection, std::to_string(k), check);
  }
}

void Store::LoadSettings(settings::Options& options) const {
  const IniFile config = IniFile::Load(folder_.ConfigIni());
  if (!config.Exists()) return;
  for (const settings::OptionInfo& info : settings::AllOptions()) {
    options.Set(info.option, config.GetBool(info.section, info.key, options.Get(info.option)));
  }
  // A combination that does not read keeps the one in use.
  if (auto text = config.Get(settings::kHotkeySection, settings::kHotkeyKey)) {
    if (auto hotkey = settings::ParseHotkey(*text)) options.SetHotkey(*hotkey);
  }
}

bool Store::SaveSettings(const settings::Options& options) const {
  std::optional<IniFile> config = LoadForRewrite(folder_.ConfigIni());
  if (!config) return false;
  for (const settings::OptionInfo& info : settings::AllOptions())
    config->SetBool(info.section, info.key, options.Get(info.option));
  config->Set(settings::kHotkeySection, settings::kHotkeyKey, settings::FormatHotkey(options.Hotkey()));
  return config->Save(folder_.ConfigIni());
}

}  // namespace jihe::storage
