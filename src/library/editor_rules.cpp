#include "library/editor_rules.h"

#include "library/messages.h"
#include "library/row_rules.h"

namespace jihe::library {

EditorTexts TextsOf(GroupKind kind, EditorMode mode) {
  const bool add = mode == EditorMode::Add;
  if (kind == GroupKind::Phrase) return {add ? "添加短语" : "编辑短语", add ? "确认添加" : "确认修改"};
  return {add ? "添加快捷" : "编辑快捷", add ? "确认添加" : "确认修改"};
}

std::optional<std::string> ConfirmRefusal(const ConfirmRequest& r) {
  if (r.kind == GroupKind::Phrase) {
    if (r.content.empty()) return std::string(msg::kPhraseContentEmpty);
    return std::nullopt;
  }
  if (r.content.empty() || r.remark.empty()) return std::string(msg::kCommandFieldsEmpty);
  if (!IsWebAddress(r.content) && !IsLocalPath(r.content)) return std::string(msg::kCommandContentWrong);
  return std::nullopt;
}

std::optional<size_t> ApplyConfirm(Library& library, const ConfirmRequest& r) {
  GroupStrip& strip = library.strip(r.kind);
  const auto target = ChooserItemIndex(r.chosenItem);
  Group* group = target ? strip.ListOfGroup(*target) : nullptr;
  if (!group) return std::nullopt;
  const std::string rowText = BuildRowText(r.remark, r.content);

  if (r.mode == EditorMode::Add) {
    group->MutableRows().push_back(rowText);
    return target;
  }
  if (r.chosenItem == r.openingItem) {
    auto& rows = group->MutableRows();
    if (r.editedRow < rows.size()) rows[r.editedRow] = rowText;
    return target;
  }
  // Moved to another group: to the end of that one, out of the list it came from.
  group->MutableRows().push_back(rowText);
  if (Group* from = strip.ListOfGroup(r.currentList); from && r.editedRow < from->rows().size()) {
    auto& rows = from->MutableRows();
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(r.editedRow));
  }
  return target;
}

}  // namespace jihe::library
