#pragma once
// Menu commands of the Main panel and its tray icon, and the messages the panel answers to.
// The numbers are fixed so that a second start (and the end-to-end driver) can address them.
#include <cstdint>
#include <optional>
#include <string_view>

#include "library/page_actions.h"

namespace jihe::app {

enum class Command : std::uint16_t {
  // menu "软件设置"
  ChangeSettings = 101,  // 更改设置
  PauseResume = 102,     // 暂停工作 / 恢复工作
  SaveConfig = 103,      // 保存配置
  Tutorial = 104,        // 使用教程
  Contact = 105,         // 联系我们
  // 托盘菜单
  ShowSoftware = 201,  // 显示软件
  Homepage = 202,      // 官方网址
  ExitSoftware = 203,  // 退出软件
  // 分组菜单
  AddGroup = 301,     // 添加分组
  DeleteGroup = 302,  // 删除分组
  RenameGroup = 303,  // 修改名称
  ImportCsv = 304,    // 导入CSV…
  ExportCsv = 305,    // 导出CSV…
  // 短语右键
  AddPhrase = 401,           // 添加短语
  EditPhrase = 402,          // 编辑短语
  DeletePhrase = 403,        // 删除短语
  ClearPhraseGroup = 404,    // 清空本组短语
  PhraseDragSort = 405,      // 短语拖放排序
  SendThisPhrase = 406,      // 发送此条短语
  SendWithoutEnter = 407,    // 发送但不发出
  // 快捷右键
  AddCommand = 501,          // 添加快捷命令
  EditCommand = 502,         // 编辑快捷命令
  DeleteCommand = 503,       // 删除快捷命令
  ClearCommandGroup = 504,   // 清空本组快捷
  CommandDragSort = 505,     // 快捷命令拖放排序
  // Separator rows of the menu tables.
  Separator = 0,
};

// The library page's action of a group menu or list menu command; nothing for the frame's own.
constexpr std::optional<library::PageAction> PageActionOf(Command command) {
  using library::PageAction;
  switch (command) {
    case Command::AddGroup: return PageAction::AddGroup;
    case Command::DeleteGroup: return PageAction::DeleteGroup;
    case Command::RenameGroup: return PageAction::RenameGroup;
    case Command::ImportCsv: return PageAction::ImportCsv;
    case Command::ExportCsv: return PageAction::ExportCsv;
    case Command::AddPhrase: case Command::AddCommand: return PageAction::AddEntry;
    case Command::EditPhrase: case Command::EditCommand: return PageAction::EditEntry;
    case Command::DeletePhrase: case Command::DeleteCommand: return PageAction::DeleteEntry;
    case Command::ClearPhraseGroup: case Command::ClearCommandGroup: return PageAction::ClearGroup;
    case Command::PhraseDragSort: case Command::CommandDragSort: return PageAction::DragSort;
    case Command::SendThisPhrase: return PageAction::Send;
    case Command::SendWithoutEnter: return PageAction::SendWithoutEnter;
    default: return std::nullopt;
  }
}

struct MenuRow {
  std::string_view caption;
  Command command;
};

inline constexpr std::string_view kSettingsMenuCaption = "软件设置";
inline constexpr MenuRow kSettingsMenu[] = {
    {"更改设置", Command::ChangeSettings}, {"暂停工作", Command::PauseResume},
    {"保存配置", Command::SaveConfig},     {"使用教程", Command::Tutorial},
    {"联系我们", Command::Contact},
};
inline constexpr MenuRow kTrayMenu[] = {
    {"显示软件", Command::ShowSoftware},
    {"官方网址", Command::Homepage},
    {"退出软件", Command::ExitSoftware},
};
inline constexpr MenuRow kGroupMenu[] = {
    {"添加分组", Command::AddGroup},
    {"删除分组", Command::DeleteGroup},
    {"修改名称", Command::RenameGroup},
    {"导入CSV…", Command::ImportCsv},
    {"导出CSV…", Command::ExportCsv},
};

inline constexpr MenuRow kPhraseListMenu[] = {  // 短语右键
    {"添加短语", Command::AddPhrase},
    {"编辑短语", Command::EditPhrase},
    {"删除短语", Command::DeletePhrase},
    {"清空本组短语", Command::ClearPhraseGroup},
    {"", Command::Separator},
    {"短语拖放排序", Command::PhraseDragSort},
    {"", Command::Separator},
    {"发送此条短语", Command::SendThisPhrase},
    {"发送但不发出", Command::SendWithoutEnter},
};
inline constexpr MenuRow kCommandListMenu[] = {  // 快捷右键
    {"添加快捷命令", Command::AddCommand},
    {"编辑快捷命令", Command::EditCommand},
    {"删除快捷命令", Command::DeleteCommand},
    {"清空本组快捷", Command::ClearCommandGroup},
    {"", Command::Separator},
    {"快捷命令拖放排序", Command::CommandDragSort},
};

inline constexpr std::string_view kPauseCaption = "暂停工作";
inline constexpr std::string_view kResumeCaption = "恢复工作";

inline constexpr std::string_view kPanelTitle = "霁禾客服助手";
inline constexpr std::string_view kPanelClass = "霁禾客服助手.主面板";
inline constexpr std::string_view kSettingsTitle = "软件设置  —  [关闭本窗口时设置自动保存]";
inline constexpr std::string_view kMessageTitle = "友情提醒";

// Registered window message that a second start posts to the running panel to bring it forward.
inline constexpr std::string_view kShowRunningPanelMessage = "霁禾客服助手.显示主面板";
// The tray icon's notifications reach the panel as this message (WM_APP + 1), with the mouse
// message as the second parameter.
inline constexpr unsigned kTrayNotifyMessage = 0x8000 + 1;
// The schedule's worker asks the panel by posting: close the program (a timed shutdown), or redraw
// a row whose result it has just written (WPARAM: the row).
inline constexpr unsigned kScheduleCloseMessage = 0x8000 + 2;
inline constexpr unsigned kScheduleRowRanMessage = 0x8000 + 3;
// The team library's worker posts each update it has for the panel (LPARAM: its ticket).
inline constexpr unsigned kTeamUpdateMessage = 0x8000 + 20;
inline constexpr unsigned kTrayIconId = 1;
inline constexpr unsigned kBalloonTimerId = 741852;

inline constexpr std::string_view kBalloonTitle = "温馨提示";
inline constexpr std::string_view kBalloonHiddenText = "霁禾客服助手已隐藏在这里！";
inline constexpr std::string_view kBalloonSettingsNotSavedText =
    "设置没有保存：配置文件 config.ini 正被其他程序占用或无法读取，原有内容保持不变。请稍后再点“保存配置”。";
inline constexpr std::string_view kBalloonLibraryNotSavedText =
    "短语库没有全部保存：有分组文件正被其他程序占用或无法写入，磁盘上仍是原来的内容。请稍后再点“保存配置”。";
inline constexpr unsigned kSettingsNotSavedBalloonMs = 10000;
inline constexpr unsigned kHideOnCloseMs = 2000;
inline constexpr unsigned kHideOnMinimizeMs = 3000;

}  // namespace jihe::app
