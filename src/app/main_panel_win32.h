#pragma once
// The Main panel: the program's one main window. It owns the frame with its page tabs, the menu
// bar, the tray icon, the follow loop, the save and the exit; each page is a view of its own (the
// phrase page and the command page are library views, the third page is the schedule view), and
// the panel forwards to a view the notifications of its controls.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <memory>
#include <optional>

#include "app/command_line.h"
#include "app/commands.h"
#include "app/library_view_win32.h"
#include "app/panel_layout.h"
#include "app/schedule_view_win32.h"
#include "app/send_queue.h"
#include "chat/follow_loop.h"
#include "chat/send_engine.h"
#include "platform/desktop_win32.h"
#include "schedule/schedule_win32.h"
#include "platform/tray_icon_win32.h"
#include "platform/window_win32.h"
#include "settings/settings_window_win32.h"
#include "storage/store.h"
#include "storage/team_session_win32.h"
#include "storage/workspace.h"

namespace jihe::app {

class MainPanel : public platform::Window, private chat::SendHost, private LibraryViewHost {
 public:
  MainPanel(storage::Store& store, storage::Workspace& workspace, StartOptions start);
  ~MainPanel() override;

  // Creates the panel and everything it owns, loads the library and shows it.
  bool Create();
  // True when the key was Esc for one of the panel's windows and the panel hid itself.
  bool PreTranslate(const MSG& msg);

  void ShowBalloon(std::string_view title, std::string_view text, DWORD iconKind, UINT durationMs);
  void HideToTray(UINT durationMs);
  enum class ShowVariant { Tray, Menu };
  void ShowPanel(ShowVariant variant);
  void BringPanelForward();
  bool paused() const { return paused_; }

  // Sends the selected phrase into the current chat window.
  void SendPhrase(chat::SendMode mode) override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept override;

 private:
  // What the send engine asks of the panel.
  bool Paused() const override { return paused(); }
  std::optional<std::string> SelectedRowText(chat::PhraseListSource source) const override;
  platform::WindowId CurrentChatWindow() const override { return followLoop_.CurrentChatWindow(); }
  void ShowNotice(std::string_view message) override;
  std::optional<std::string> AskValue(std::string_view prompt) override;
  // One send of the queue, on the row its request took.
  void RunSend(chat::SendHost& host, const SendRequest& request);

  // What the library views ask of the panel.
  void SaveAll() override;
  void RelayoutPanel() override { PanelLayout(); }
  void SearchKeyDone() override;
  storage::SendCounts& SendCounts() override { return sendCounts_; }

  void OnCommand(Command command);
  void CreateMenus();
  void CreatePageTabs();
  void ApplyFonts();
  void PanelLayout();
  void ShowPage(int page);
  // The library view of the page shown; the command page's while the schedule page is shown.
  LibraryView& ShownLibrary() { return page_ == 0 ? phraseView_ : commandView_; }
  bool ForwardNotify(const NMHDR& hdr, LRESULT& result);
  void RestoreGeometry();
  void CaptureGeometry();
  void CenterOnScreen();
  void ReportSettingsSave(bool saved);
  void ExitProgram();
  void PauseOrResume();
  Size FrameSize() const;
  void OnTrayNotify(UINT mouseMessage);
  void ApplyShotPage();

  // The team library: its worker follows the team folder of config.ini; each update it posts
  // replaces the team's tabs on both library pages.
  void StartTeamLibrary();
  void OnTeamUpdate(LPARAM ticket);
  void ShowTeamContent(std::optional<storage::TeamContent> content);
  // ---- search from the keyboard and the global hotkey (panel_search_win32.cpp) ----
  // Ctrl+F and the keys of the search boxes.
  bool PreTranslateSearch(const MSG& msg);
  // Registers the combination that calls up the search; the one registered before is released
  // only when the system took the new one. False when it refused.
  bool RegisterSearchHotkey(settings::Hotkey hotkey);
  void OnSearchHotkey();
  HWND OpenBox() const;  // the box of ours over the panel the agent has to answer first, if any
  void ShowSearch();  // the panel in front with the focus in the phrase search
  void OnOtherProgramActive();

  storage::Store& store_;
  storage::Workspace& ws_;
  storage::SendCounts sendCounts_;
  StartOptions start_;
  platform::Win32Desktop desktop_;  // outlives the follow loop that walks it
  chat::FollowLoop followLoop_;
  std::unique_ptr<schedule::ReminderDisplay> shotReminder_;  // --shot-page 12 only
  settings::SettingsWindow settings_;
  platform::TrayIcon tray_;
  platform::UniqueIcon bigIcon_;
  platform::UniqueIcon smallIcon_;
  platform::UniqueMenu trayMenu_;
  HMENU settingsMenu_ = nullptr;  // belongs to the menu bar
  platform::UniqueFont font_;
  platform::UniqueBrush pageBrush_;
  HWND hiddenOwner_ = nullptr;
  UINT dpi_ = 96;
  UINT taskbarCreatedMessage_ = 0;
  UINT showRunningPanelMessage_ = 0;
  Size screenLimit_{};  // frame size of the whole screen, measured at creation
  bool paused_ = false;
  bool saved_ = false;
  bool settingsWarned_ = false;
  bool libraryWarned_ = false;  // the agent was told that a group file was not saved
  SendQueue sendQueue_;

  HWND pageTabs_ = nullptr;  // "快捷短语", "快捷打开", "其他工具"
  int page_ = 0;
  LibraryView phraseView_;
  LibraryView commandView_;
  ScheduleView scheduleView_;

  std::optional<storage::TeamContent> team_;  // the team's groups as last read; never saved by the agent
  std::unique_ptr<storage::TeamSession> teamSession_;
  int hotkeyId_ = 0;  // 0 while none is registered, else 1 or 2 (the two alternate on a change)
  settings::Hotkey registeredHotkey_{};
  HWND calledFrom_ = nullptr;  // the window in front when the hotkey called the search up
  bool calledFromChat_ = false;  // and whether the follow rules take it as a chat window
};

}  // namespace jihe::app
