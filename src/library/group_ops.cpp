#include "library/group_ops.h"

#include "library/messages.h"

namespace jihe::library {

std::optional<std::string> AddGroupRefusal(const GroupStrip& strip, std::string_view name) {
  if (name.empty()) return std::string(msg::kAddEmptyName);
  if (strip.IsDuplicateName(name)) return msg::kNameInUseHead + std::string(name) + msg::kAddNameInUseTail;
  return std::nullopt;
}

std::optional<std::string> RenameGroupRefusal(const GroupStrip& strip, std::string_view name) {
  if (!name.empty() && strip.IsDuplicateName(name))
    return msg::kNameInUseHead + std::string(name) + msg::kRenameNameInUseTail;
  return std::nullopt;
}

size_t AddGroup(GroupStrip& strip, std::string name) { return strip.CreateSlot(std::move(name)); }

std::optional<std::string> DeleteGroupRefusal(size_t index) {
  if (index == 0) return std::string(msg::kFirstGroupUndeletable);
  return std::nullopt;
}

std::string DeleteFirstQuestion(std::string_view name) {
  return msg::kDeleteQuestionHead + std::string(name) + msg::kDeleteQuestionTail;
}

std::string DeleteSecondQuestion(std::string_view name) { return std::string(name) + msg::kDeleteSecondTail; }

void DeleteGroup(GroupStrip& strip, size_t index) {
  Group* g = strip.ListOfGroup(index);
  if (!g || index == 0) return;
  g->MutableRows().clear();
  g->set_hidden(true);
}

void RenameGroup(GroupStrip& strip, size_t index, std::string name) {
  if (Group* g = strip.ListOfGroup(index)) g->set_name(std::move(name));
}

void ClearGroup(GroupStrip& strip, size_t index) {
  if (Group* g = strip.ListOfGroup(index)) g->MutableRows().clear();
}

std::string ClearGroupQuestion(bool searching, std::string_view name) {
  if (!searching) return msg::kClearQuestion;
  return msg::kClearNamedQuestionHead + std::string(name) + msg::kClearNamedQuestionTail;
}

size_t FirstVisibleIndex(const GroupStrip& strip) {
  const auto visible = strip.VisibleIndices();
  return visible.empty() ? 0 : visible.front();
}

}  // namespace jihe::library
