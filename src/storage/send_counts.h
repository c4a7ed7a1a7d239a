#pragma once
// How often this agent sent each row, for the search to put those first. Kept in the Data folder
// in a file of its own (older versions never read it), keyed by the row's kind, group name and
// text: a row keeps its count when it is dragged elsewhere or its group is renamed, and a changed
// row starts again from zero.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "library/library.h"
#include "storage/data_folder.h"

namespace jihe::storage {

inline constexpr std::string_view kSendCountsFile = "发送次数.txt";

struct SendCountKey {
  std::string kind;  // KindKey
  std::string group;
  std::string row;
};
// "短语", "快捷", and for the team library's groups "团队短语", "团队快捷".
std::string KindKey(library::GroupKind kind, bool team);

class SendCounts {
 public:
  std::uint32_t Count(const SendCountKey& key) const;
  void Add(const SendCountKey& key);
  // The counts of a group's rows go with the group's new name.
  void RenameGroup(std::string_view kind, std::string_view from, std::string_view to);
  bool empty() const { return counts_.empty(); }
  bool dirty() const { return dirty_; }

  // The file's text: a header line, then one line per row: count, kind, group and row text,
  // separated by tabs, with backslash, tab, CR and LF written as \\, \t, \r and \n.
  std::string Text() const;
  // A text that is not such a file, wholly, gives no counts.
  static SendCounts FromText(std::string_view text);

  // Written when changed since the last load or save; false when the file could not be written.
  bool Save(const DataFolder& folder);
  static SendCounts Load(const DataFolder& folder);

 private:
  static std::string KeyOf(std::string_view kind, std::string_view group, std::string_view row);
  std::unordered_map<std::string, std::uint32_t> counts_;
  bool dirty_ = false;
};

}  // namespace jihe::storage
