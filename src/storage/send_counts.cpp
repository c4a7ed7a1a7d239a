#include "storage/send_counts.h"

#include <algorithm>
#include <vector>

#include "platform/file_system.h"
#include "storage/gb18030.h"

namespace jihe::storage {

namespace {

constexpr std::string_view kHeader = "霁禾客服助手 发送次数 1";

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out.push_back(c);
    }
  }
}

// A key as the file writes it: three escaped parts between two tabs, and nothing else.
bool IsKey(std::string_view key) {
  int tabs = 0;
  for (size_t i = 0; i < key.size(); ++i) {
    if (key[i] == '\t') {
      ++tabs;
    } else if (key[i] == '\\') {
      if (++i == key.size()) return false;
      if (key[i] != '\\' && key[i] != 't' && key[i] != 'r' && key[i] != 'n') return false;
    } else if (key[i] == '\r' || key[i] == '\n') {
      return false;
    }
  }
  return tabs == 2;
}

}  // namespace

std::string KindKey(library::GroupKind kind, bool team) {
  const std::string name = kind == library::GroupKind::Phrase ? "短语" : "快捷";
  return team ? "团队" + name : name;
}

// The parts escaped, so that the key names one row only and is the file's line as it stands.
std::string SendCounts::KeyOf(std::string_view kind, std::string_view group, std::string_view row) {
  std::string key;
  key.reserve(kind.size() + group.size() + row.size() + 8);
  AppendEscaped(key, kind);
  key.push_back('\t');
  AppendEscaped(key, group);
  key.push_back('\t');
  AppendEscaped(key, row);
  return key;
}

std::uint32_t SendCounts::Count(const SendCountKey& key) const {
  if (counts_.empty()) return 0;
  const auto at = counts_.find(KeyOf(key.kind, key.group, key.row));
  return at == counts_.end() ? 0 : at->second;
}

void SendCounts::Add(const SendCountKey& key) {
  std::uint32_t& count = counts_[KeyOf(key.kind, key.group, key.row)];
  if (count < UINT32_MAX) ++count;
  dirty_ = true;
}

void SendCounts::RenameGroup(std::string_view kind, std::string_view from, std::string_view to) {
  if (from == to) return;
  const std::string prefix = KeyOf(kind, from, "");
  std::vector<std::pair<std::string, std::uint32_t>> moved;
  for (auto it = counts_.begin(); it != counts_.end();) {
    if (it->first.compare(0, prefix.size(), prefix) == 0) {
      moved.emplace_back(KeyOf(kind, to, "") + it->first.substr(prefix.size()), it->second);
      it = counts_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& [key, count] : moved) {
    std::uint32_t& into = counts_[key];
    into = count > UINT32_MAX - into ? UINT32_MAX : into + count;
  }
  if (!moved.empty()) dirty_ = true;
}

std::string SendCounts::Text() const {
  // In a fixed order, so that the same counts always make the same file.
  std::vector<const std::pair<const std::string, std::uint32_t>*> entries;
  entries.reserve(counts_.size());
  for (const auto& entry : counts_) entries.push_back(&entry);
  std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->first < b->first; });
  std::string text(kHeader);
  text += "\r\n";
  for (const auto* entry : entries) {
    text += std::to_string(entry->second);
    text.push_back('\t');
    text += entry->first;
    text += "\r\n";
  }
  return text;
}

SendCounts SendCounts::FromText(std::string_view text) {
  SendCounts counts;
  size_t at = 0;
  bool first = true;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      if (line != kHeader) return {};
      first = false;
      continue;
    }
    if (line.empty()) continue;
    const size_t tab = line.find('\t');
    if (tab == 0 || tab == std::string_view::npos || tab > 10 || !IsKey(line.substr(tab + 1))) return {};
    std::uint64_t n = 0;
    for (char c : line.substr(0, tab)) {
      if (c < '0' || c > '9') return {};
      n = n * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (n > 0) {
      counts.counts_[std::string(line.substr(tab + 1))] = static_cast<std::uint32_t>(std::min<std::uint64_t>(n, UINT32_MAX));
    }
  }
  return counts;
}

bool SendCounts::Save(const DataFolder& folder) {
  if (!dirty_) return true;
  if (!platform::WriteFileAtomically(folder.root() + std::string(kSendCountsFile), EncodeGb18030(Text()))) return false;
  dirty_ = false;
  return true;
}

SendCounts SendCounts::Load(const DataFolder& folder) {
  const std::optional<std::string> bytes = platform::ReadWholeFile(folder.root() + std::string(kSendCountsFile));
  return bytes ? FromText(DecodeGb18030(*bytes)) : SendCounts();
}

}  // namespace jihe::storage
