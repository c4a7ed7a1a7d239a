#pragma once
// The phrase editor ("添加短语" / "编辑短语", 385 × 306) and its twin, the command editor
// ("添加快捷" / "编辑快捷", 385 × 206): modal, always on top, in the taskbar, closed by Esc.
#include <windows.h>

#include <functional>
#include <optional>

#include "library/editor_rules.h"
#include "library/library.h"
#include "storage/data_folder.h"

namespace jihe::library {

// Control ids, shared with the end-to-end tests that fill the editors.
inline constexpr int kEditorChooserId = 1101;
inline constexpr int kEditorRemarkId = 1102;
inline constexpr int kEditorContentId = 1103;
inline constexpr int kEditorCloseBoxId = 1104;  // "确认后关闭"
inline constexpr int kEditorConfirmId = 1105;   // the confirm button
inline constexpr int kEditorAddPictureId = 901;  // "添加图片" (phrases)
inline constexpr int kEditorAddFileId = 902;     // "添加文件" (phrases)
inline constexpr int kEditorPreviewId = 903;     // "效果预览" (phrases)
inline constexpr int kEditorAddProgramId = 904;  // "添加程序" (commands)
inline constexpr int kEditorInsertVariableId = 905;  // "插入变量" (phrases)
// The items of the "插入变量" menu: this number plus the variable's place in the list.
inline constexpr int kVariableMenuFirstId = 950;

inline constexpr char kPictureFilter[] = "图片文件(*.jpg,*.png,*.gif)|*.jpg;*.gif;*.png";

struct EntryEditorContext {
  GroupKind kind = GroupKind::Phrase;
  EditorMode mode = EditorMode::Add;
  Library* library = nullptr;
  size_t selectedGroup = 0;  // the group of the selected tab of the kind's strip
  size_t currentList = 0;    // edit mode: the group of the current list and its selected row
  size_t editedRow = 0;
  const storage::DataFolder* folder = nullptr;
  // After each confirmed change: the panel shows the new rows and saves. `rowLeftList` is true
  // when the edited row moved out of the current list.
  std::function<void(bool rowLeftList)> onConfirmed;
};

// Opens the editor and returns when it is closed.
void RunEntryEditor(HWND owner, const EntryEditorContext& context);

// The open-file dialog in the user's desktop folder. `filter` is "description|patterns" pairs
// joined by "|"; the chosen full path, or nothing when canceled.
std::optional<std::string> ChooseFile(HWND owner, std::string_view filter);

}  // namespace jihe::library
