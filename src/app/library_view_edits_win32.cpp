// What the list menus and the group menu do to the agent's own groups and rows, once
// library::TargetOf chose the group; and a quick command's launch.
#include "app/library_view_win32.h"

#include "library/entry_editor_win32.h"
#include "library/group_ops.h"
#include "library/input_box_win32.h"
#include "library/messages.h"
#include "platform/shell_win32.h"
#include "platform/utf16.h"

namespace jihe::app {

using platform::Widen;
namespace msg = library::msg;

bool LibraryView::QuestionYesNo(std::string_view text, std::string_view title) {
  return MessageBoxW(panel_, Widen(text).c_str(), Widen(title).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// A new group is the agent's own, also while a team tab is shown: it goes after the own groups.
void LibraryView::AddGroup() {
  library::GroupStrip& strip = ws_.library.strip(kind_);
  const auto name = library::InputBox(panel_, msg::kAddGroupPrompt, msg::kAddGroupTitle, "");
  if (!name) return;
  if (auto refusal = library::AddGroupRefusal(strip, *name)) {
    platform::ShowInfoMessage(panel_, *refusal);
    return;
  }
  RebuildStrip(library::AddGroup(strip, *name));
  LibraryChanged();
}

void LibraryView::DeleteGroupOf(const library::ActionTarget& target) {
  library::GroupStrip& strip = ws_.library.strip(kind_);
  const library::Group* group = target.tab ? strip.ListOfGroup(target.tab->index) : nullptr;
  if (!group) return;
  const size_t index = target.tab->index;
  if (auto refusal = library::DeleteGroupRefusal(index)) {
    platform::ShowInfoMessage(panel_, *refusal);
    return;
  }
  const std::string name = group->name();
  if (!QuestionYesNo(library::DeleteFirstQuestion(name), kMessageTitle)) return;
  if (!QuestionYesNo(library::DeleteSecondQuestion(name), msg::kDeleteSecondTitle)) return;
  library::DeleteGroup(strip, index);
  RebuildStrip(library::FirstVisibleIndex(strip));
  LibraryChanged();
}

void LibraryView::RenameGroupOf(const library::ActionTarget& target) {
  library::GroupStrip& strip = ws_.library.strip(kind_);
  const library::Group* group = target.tab ? strip.ListOfGroup(target.tab->index) : nullptr;
  if (!group) return;
  const size_t index = target.tab->index;
  const auto name = library::InputBox(panel_, msg::kRenamePrompt, msg::kRenameTitle, group->name());
  if (!name || name->empty()) return;
  if (auto refusal = library::RenameGroupRefusal(strip, *name)) {
    platform::ShowInfoMessage(panel_, *refusal);
    return;
  }
  host_.SendCounts().RenameGroup(storage::KindKey(kind_, false), strip.slots()[index].name(), *name);
  library::RenameGroup(strip, index, *name);
  RebuildStrip(index);
  LibraryChanged();
}

// During a search the group cleared is the selected result's, which the question names.
void LibraryView::ClearGroupOf(const library::ActionTarget& target) {
  library::GroupStrip& strip = ws_.library.strip(kind_);
  const library::Group* group = target.tab ? strip.ListOfGroup(target.tab->index) : nullptr;
  if (!group) return;
  if (!QuestionYesNo(library::ClearGroupQuestion(page_.Searching(), group->name()), kMessageTitle)) return;
  library::ClearGroup(strip, target.tab->index);
  ClearSelection();
  if (!page_.Searching()) ShowSelectedGroup(LVSICF_NOSCROLL);
  LibraryChanged();
}

// ---- entries ----------------------------------------------------------------------------------

// An edited row stays in its own group (during a search, the result's); an added one goes to the
// group of the row chosen, or of the tab shown.
void LibraryView::OpenEntryEditor(const library::ActionTarget& target, bool edit) {
  if (!target.tab || (edit && !target.row)) return;
  const size_t group = target.tab->index;
  library::EntryEditorContext ctx;
  ctx.kind = kind_;
  ctx.mode = edit ? library::EditorMode::Edit : library::EditorMode::Add;
  ctx.library = &ws_.library;
  ctx.selectedGroup = group;
  ctx.currentList = group;
  ctx.editedRow = edit ? *target.row : 0;
  ctx.folder = &store_.folder();
  ctx.onConfirmed = [this](bool rowLeftList) {
    if (rowLeftList) ClearSelection();
    if (!page_.Searching()) ShowSelectedGroup(LVSICF_NOSCROLL);
    LibraryChanged();
    host_.SaveAll();
  };
  library::RunEntryEditor(panel_, ctx);
}

void LibraryView::DeleteEntryOf(const library::ActionTarget& target) {
  library::Group* g = target.tab && target.row ? ws_.library.strip(kind_).ListOfGroup(target.tab->index) : nullptr;
  if (!g || *target.row >= g->rows().size()) {
    platform::ShowInfoMessage(panel_, msg::kSelectToDelete);
    return;
  }
  auto& rows = g->MutableRows();
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(*target.row));
  ClearSelection();
  if (!page_.Searching()) ShowSelectedGroup(LVSICF_NOSCROLL);
  LibraryChanged();
  host_.SaveAll();
}

void LibraryView::LaunchSelectedCommand() {
  const auto row = SelectedRowText();
  if (!row) return;
  const std::string content(library::ContentOf(*row));
  // A launch that fails says nothing, and does not count.
  bool launched = false;
  switch (library::LaunchKindOf(content)) {
    case library::LaunchKind::Address: launched = platform::SystemShell().OpenWithShell(content); break;
    case library::LaunchKind::Path: launched = platform::OpenMaximised(content); break;
    case library::LaunchKind::None: break;
  }
  if (launched)
    if (const auto key = SelectedCountKey()) CountUse(*key);
}

}  // namespace jihe::app
