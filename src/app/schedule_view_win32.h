#pragma once
// The schedule page of the Main panel ("其他工具"): the daily timed items and the reminder's
// sound and shake. The view owns the page's controls and the schedule's presenter and worker:
//  - the switch, which starts and stops the worker;
//  - the time picker, the type box, the content box and the add button, which append a row;
//  - the list of timed items, whose result column the worker fills in;
//  - the sound box with its "设置提示音" and "试听" links, and the shake box.
// Its controls are children of the panel, which forwards their notifications here. The worker
// posts to the panel: a timed shutdown ends the program, and a row that ran is redrawn here.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/panel_layout.h"
#include "platform/sound.h"
#include "schedule/schedule_win32.h"
#include "storage/store.h"
#include "storage/workspace.h"

namespace jihe::app {

class ScheduleView {
 public:
  ScheduleView(storage::Store& store, storage::Workspace& workspace, const StartOptions& start);
  ScheduleView(const ScheduleView&) = delete;
  ScheduleView& operator=(const ScheduleView&) = delete;

  // Creates the page's controls on `panel`.
  void Create(HWND panel);
  void ApplyFont(HFONT font, UINT dpi);
  // Places the page inside the page tabs, whose top-left corner is at (originX, originY).
  void Layout(const PanelLayout& layout, int originX, int originY, UINT dpi);
  void Show(bool shown);

  // After the library was loaded: the controls show the stored switch, sound and shake, and the
  // worker starts when the switch is on.
  void StartSchedule();
  // Before a save: the workspace takes the switch, the sound and the shake from the controls.
  void KeepInWorkspace();
  // On the way out: the worker ends and closes its Reminder popup.
  void StopLoop();

  // WM_COMMAND from a control; false when the control is not this view's.
  bool OnControlCommand(HWND control, int code);
  // WM_NOTIFY from a control; false when the control is not this view's.
  bool OnNotify(const NMHDR& hdr, LRESULT& result);
  // The worker ran the row: its result changed.
  void RedrawRow(int row);
  // The two links are drawn in blue.
  void PrepareColour(HDC dc, HWND control) const;
  // Esc closes a dropped-down type list first, not the panel.
  bool TypeListDropped() const;

  // --shot-page 11: the page with "定时关机" chosen.
  void ChooseShutdownForShot();

 private:
  void ApplyTypeLayout();
  void ReminderOptionsChanged();
  void OnContentFocus(bool got);
  void AddTimedItem();
  void SetScheduleSwitch();
  void OnGetDispInfo(NMLVDISPINFOW& info);

  storage::Store& store_;
  storage::Workspace& ws_;
  const StartOptions& start_;
  HWND panel_ = nullptr;
  UINT dpi_ = 96;

  HWND toolsTab_ = nullptr;        // the page's one tab, "工具"
  HWND scheduleFrame_ = nullptr;   // "每天定时项目"
  HWND scheduleSwitch_ = nullptr;  // "开启/关闭"
  HWND timePicker_ = nullptr;
  HWND typeBox_ = nullptr;  // "定时提醒" or "定时关机"
  HWND addRowButton_ = nullptr;
  HWND contentBox_ = nullptr;  // the reminder's text
  HWND soundBox_ = nullptr;    // the reminder's sound file
  HWND setSoundLink_ = nullptr;
  HWND listenLink_ = nullptr;
  HWND shakeBox_ = nullptr;  // "窗口抖动"
  HWND scheduleList_ = nullptr;
  HWND handOverBox_ = nullptr;  // never shown

  std::unique_ptr<schedule::PostingScheduleHost> scheduleHost_;
  std::unique_ptr<schedule::SchedulePage> schedulePage_;  // after its host: it ends first
  std::unique_ptr<platform::SoundPlayer> auditionPlayer_;
  std::wstring dispText_;
};

}  // namespace jihe::app
