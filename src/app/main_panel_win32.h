#pragma once
// The Main panel: the program's one main window, its tabs, group lists, menus and tray icon.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <atomic>
#include <memory>
#include <vector>

#include "app/command_line.h"
#include "app/commands.h"
#include "app/panel_layout.h"
#include "chat/follow_loop.h"
#include "chat/send_engine.h"
#include "platform/desktop_win32.h"
#include "platform/sound.h"
#include "schedule/schedule_win32.h"
#include "platform/tray_icon_win32.h"
#include "platform/window_win32.h"
#include "settings/settings_window_win32.h"
#include "storage/store.h"
#include "storage/workspace.h"

namespace jihe::app {

class MainPanel : public platform::Window, private chat::SendHost {
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
  bool paused() const;

  // Sends the selected phrase into the current chat window: mode "" for a list click, "右键" and
  // "右键不发" for the list menu's two send items.
  void SendPhrase(std::string_view mode);

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept override;

 private:
  // What the send engine asks of the panel.
  bool Paused() const override { return paused(); }
  std::optional<std::string> SelectedRowText(chat::PhraseListSource source) const override;
  platform::WindowId CurrentChatWindow() const override { return followLoop_.CurrentChatWindow(); }
  void ShowNotice(std::string_view message) override;

  // The schedule page's controls, forwarded to its presenter.
  void StartSchedule();
  void OnScheduleCommand(int id, int code);

 private:
  struct KindView {
    library::GroupKind kind;
    HWND strip = nullptr;        // 高级选择夹2 / 高级选择夹3
    HWND list = nullptr;         // 超级列表框A1 / 超级列表框B1
    HWND pictureButton = nullptr;  // 图形按钮1 / 图形按钮2
    HWND dragButton = nullptr;   // 拖放模式 / 拖放模式1
    std::vector<size_t> tabSlots;  // group index of each visible tab
  };

  void OnCommand(Command command);
  void CreateMenus();
  void CreateControls();
  void CreateSchedulePage();
  HWND AddControl(int page, const wchar_t* cls, std::string_view text, DWORD style, DWORD exStyle, int id);
  void ApplyFonts();
  void PanelLayout();
  void PlaceDesign(HWND hwnd, int left, int top, int width, int height);
  void ApplyTypeLayout();
  void ShowPage(int page);
  void FillStrip(KindView& view);
  void ShowSelectedGroup(KindView& view);
  const library::Group* SelectedGroup(const KindView& view) const;
  void OnGetDispInfo(NMLVDISPINFOW& info);
  void RestoreGeometry();
  void CaptureGeometry();
  void CenterOnScreen();
  void SaveAll();
  void ReportSettingsSave(bool saved);
  void ExitProgram();
  void PauseOrResume();
  void PopUpMenu(HMENU menu);
  Size FrameSize() const;
  void OnTrayNotify(UINT mouseMessage);
  void ApplyShotPage();

  storage::Store& store_;
  storage::Workspace& ws_;
  StartOptions start_;
  platform::Win32Desktop desktop_;  // outlives the follow loop that walks it
  chat::FollowLoop followLoop_;
  std::unique_ptr<schedule::PostingScheduleHost> scheduleHost_;
  std::unique_ptr<schedule::SchedulePage> schedulePage_;  // after its host: it ends first
  std::unique_ptr<platform::SoundPlayer> auditionPlayer_;
  std::unique_ptr<schedule::ReminderDisplay> shotReminder_;  // --shot-page 12 only
  settings::SettingsWindow settings_;
  platform::TrayIcon tray_;
  platform::UniqueIcon bigIcon_;
  platform::UniqueIcon smallIcon_;
  platform::UniqueMenu trayMenu_;
  platform::UniqueMenu groupMenu_;
  HMENU settingsMenu_ = nullptr;  // belongs to the menu bar
  platform::UniqueFont font_;
  platform::UniqueBrush pageBrush_;
  HWND hiddenOwner_ = nullptr;
  UINT dpi_ = 96;
  UINT taskbarCreatedMessage_ = 0;
  UINT showRunningPanelMessage_ = 0;
  Size screenLimit_{};  // frame size of the whole screen, measured at creation
  bool saved_ = false;
  bool settingsWarned_ = false;  // the agent was told that config.ini was not saved

  HWND pageTabs_ = nullptr;
  HWND toolsTab_ = nullptr;
  std::array<KindView, 2> kinds_{};
  // schedule page
  HWND scheduleFrame_ = nullptr, scheduleSwitch_ = nullptr, timePicker_ = nullptr, typeBox_ = nullptr, addRowButton_ = nullptr,
       contentBox_ = nullptr, soundBox_ = nullptr, setSoundLink_ = nullptr, listenLink_ = nullptr,
       shakeBox_ = nullptr, scheduleList_ = nullptr, handOverBox_ = nullptr;
  std::array<std::vector<HWND>, 3> pages_;
  std::wstring dispText_;
  int page_ = 0;

  // ---- The library at work: groups, lists, menus, drag-sort, the preview balloon and the
  // editors (panel_library_win32.cpp) ----------------------------------------------------------
  void CreateLibraryParts();  // after CreateControls: list menus, balloon, drag label, hooks
  void OnLibraryCommand(Command command);
  // WM_NOTIFY of the strips and lists; true (with `result`) when handled here.
  bool OnLibraryNotify(NMHDR& hdr, LRESULT& result);
  // WM_COMMAND of the drag-sort buttons; true when handled here.
  bool OnLibraryButton(int id, int code);
  KindView& ShownKind() { return kinds_[page_ == 0 ? 0 : 1]; }
  std::optional<size_t> ShownGroupIndex(const KindView& view) const;
  int SelectedRow(const KindView& view) const;
  void RememberShownRow(const KindView& view);
  void RebuildStrip(KindView& view, size_t selectGroup);
  void SelectGroup(KindView& view);
  void RefreshList(KindView& view);
  void AddGroupFromMenu();
  void DeleteGroupFromMenu();
  void RenameGroupFromMenu();
  void ClearShownGroup(KindView& view);
  void OpenEntryEditor(KindView& view, bool edit);
  void DeleteSelectedEntry(KindView& view);
  void LaunchSelectedCommand(const KindView& view);
  void OnListClick(KindView& view);
  void OnListRightClick(KindView& view);
  void ShowPreviewBalloon(const KindView& view);
  void HidePreviewBalloon();
  void EnterDragSort(KindView& view);
  void LeaveDragSort(KindView& view);
  void ResetDrag();
  void DragMove(KindView& view, POINT inList);
  void Drop(KindView& view, POINT inList, bool armed);
  bool OverList(const KindView& view, POINT inList) const;
  bool QuestionYesNo(std::string_view text, std::string_view title);
  void ApplyLibraryShot(int shot);
  static LRESULT CALLBACK LibraryHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);

  platform::UniqueMenu phraseListMenu_;   // 短语右键
  platform::UniqueMenu commandListMenu_;  // 快捷右键
  HWND previewBalloon_ = nullptr;
  HWND dragLabel_ = nullptr;
  std::array<bool, 2> dragSortMode_{};
  bool dragArmed_ = false;
  std::string dragLabelText_;
  std::vector<int> rememberedRows_[2];  // the selected row of each group while another is shown
  // ---- end of the library block ----------------------------------------------------------------
};

}  // namespace jihe::app
