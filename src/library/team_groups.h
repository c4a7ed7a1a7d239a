#pragma once
// The team's groups beside the agent's own in one tab strip: the own slots first (hidden ones
// included, as tab positions count them), then the team's groups. Team groups are read-only; the
// panel asks ChangeRefusal before any change and shows what it returns.
#include <optional>
#include <string>
#include <string_view>

#include "library/library.h"

namespace jihe::library {

inline constexpr std::string_view kTeamCaptionPrefix = "团队·";
inline constexpr char kTeamReadOnly[] = "团队短语由管理员维护，不能在这里修改！";

struct TabRef {
  bool team = false;
  size_t index = 0;  // the slot in its own strip
};

// The tab at `position` of the merged strip; nothing past its end.
std::optional<TabRef> TabAt(const GroupStrip& own, const GroupStrip& team, size_t position);
size_t PositionOf(const GroupStrip& own, TabRef tab);

// The tab's caption: the own group's name, or "团队·" + the team group's name.
std::string TabCaption(const GroupStrip& own, const GroupStrip& team, TabRef tab);

// The message for any change to the tab's group or rows (add, edit, delete, clear, rename, drag,
// import), or nothing when it may change.
std::optional<std::string> ChangeRefusal(TabRef tab);

// Where the agent was after the team library was read again: the same team group (by name) and
// the same row (by text, the occurrence nearest its old place), where they still exist. Of groups
// that share the name, the first holding the row, or else the first.
struct KeptSelection {
  std::optional<size_t> group;  // the team slot; nothing when the group is gone
  std::optional<size_t> row;
};
KeptSelection KeepSelection(const GroupStrip& newTeam, std::string_view groupName, std::optional<size_t> oldRow,
                            std::string_view oldRowText);

}  // namespace jihe::library
