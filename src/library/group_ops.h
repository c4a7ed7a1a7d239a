#pragma once
// Adding, deleting, renaming and clearing groups, as the group menu and the list menus do it.
// The windows ask the questions and show the messages; these functions decide and change the
// model.
#include <optional>
#include <string>
#include <string_view>

#include "library/library.h"

namespace jihe::library {

// The refusal message for a new group's name, or nothing when it may be added.
std::optional<std::string> AddGroupRefusal(const GroupStrip& strip, std::string_view name);
// The refusal message for a new name of a group (its own current name included), or nothing.
// An empty name is not refused with a message: the rename simply does not happen.
std::optional<std::string> RenameGroupRefusal(const GroupStrip& strip, std::string_view name);

// Appends a group after every slot, hidden ones included, and returns its index.
size_t AddGroup(GroupStrip& strip, std::string name);

std::optional<std::string> DeleteGroupRefusal(size_t index);
std::string DeleteFirstQuestion(std::string_view name);
std::string DeleteSecondQuestion(std::string_view name);
// Empties and hides the slot; it keeps its index for the rest of the run.
void DeleteGroup(GroupStrip& strip, size_t index);

void RenameGroup(GroupStrip& strip, size_t index, std::string name);
void ClearGroup(GroupStrip& strip, size_t index);
// The question before a group is cleared; during a search it names the group.
std::string ClearGroupQuestion(bool searching, std::string_view name);

// The tab that a strip selects after its selected tab was hidden: the first visible one.
size_t FirstVisibleIndex(const GroupStrip& strip);

}  // namespace jihe::library
