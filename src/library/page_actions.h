#pragma once
// What each item of a library page's menus works on. The page's list shows either the shown tab's
// rows or, during a search, results from every group; an action always goes to the group of the
// row the agent chose, never to whichever tab the strip happens to show.
#include <optional>
#include <string>

#include "library/team_groups.h"

namespace jihe::library {

// The items of the list menus and the group menu, for either kind.
enum class PageAction {
  AddEntry,          // 添加短语 / 添加快捷命令
  EditEntry,         // 编辑短语 / 编辑快捷命令
  DeleteEntry,       // 删除短语 / 删除快捷命令
  ClearGroup,        // 清空本组短语 / 清空本组快捷
  DragSort,          // 短语拖放排序 / 快捷命令拖放排序
  Send,              // 发送此条短语
  SendWithoutEnter,  // 发送但不发出
  AddGroup,          // 添加分组
  DeleteGroup,       // 删除分组
  RenameGroup,       // 修改名称
  ImportCsv,         // 导入CSV…
  ExportCsv,         // 导出CSV…
};

// Where the page stands when the agent picks an item.
struct PageState {
  std::optional<TabRef> shownTab;  // the strip's selected tab
  bool searching = false;          // the list shows search results
  struct Row {
    TabRef tab;  // the row's own group: during a search, the result's
    size_t row = 0;
  };
  std::optional<Row> selected;  // the row the list's selection stands for
};

enum class ActionScope {
  Row,       // one row of `tab`'s group
  Group,     // `tab`'s group: its rows, its name or the group itself
  OwnGroups, // the agent's own groups: a new one after them, or those a file names
  Nothing,   // no group changes (a send, an export)
};

struct ActionTarget {
  ActionScope scope = ActionScope::Nothing;
  std::optional<TabRef> tab;
  std::optional<size_t> row;
  // Shown instead of acting.
  std::optional<std::string> refusal;
};

ActionTarget TargetOf(PageAction action, const PageState& state);

}  // namespace jihe::library
