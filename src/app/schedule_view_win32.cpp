#include "app/schedule_view_win32.h"

#include <windowsx.h>

#include <algorithm>
#include <mutex>

#include "app/commands.h"
#include "app/menus_win32.h"
#include "platform/file_system.h"
#include "platform/shell_win32.h"
#include "platform/sound_win32.h"
#include "platform/utf16.h"
#include "platform/window_win32.h"
#include "schedule/sound_controls_win32.h"

namespace jihe::app {

using platform::AddControlOnTop;
using platform::PlaceDesign;
using platform::PopUpMenuAtCursor;

using platform::Scale;
using platform::Widen;

namespace {
// Control ids of the page; the end-to-end tests find them by these.
constexpr int kToolsTabId = 150;
constexpr int kScheduleFrameId = 151, kScheduleSwitchId = 152, kTimePickerId = 153, kTypeBoxId = 154,
              kAddButtonId = 155, kContentBoxId = 156, kSoundBoxId = 157, kSetSoundLinkId = 158,
              kListenLinkId = 159, kShakeBoxId = 160, kScheduleListId = 161, kHandOverId = 162;

// The frame lies at (4, 32) inside the tools tab.
constexpr int kFrameLeft = 4, kFrameTop = 32;
constexpr int kColumnWidths[] = {60, 70, 105, 0};

// The shell of a program started with --record-commands FILE: a command line is appended to FILE
// (one per line) instead of being started, so a timed shutdown can be tried without shutting down.
class CommandRecordingShell final : public platform::Shell {
 public:
  explicit CommandRecordingShell(std::string file) : file_(std::move(file)) {}
  bool OpenWithShell(std::string_view target) override { return platform::SystemShell().OpenWithShell(target); }
  bool StartCommandLine(std::string_view commandLine) override {
    std::lock_guard lock(mutex_);
    std::string lines = platform::ReadWholeFile(file_).value_or("");
    lines.append(commandLine).append("\r\n");
    return platform::WriteFileAtomically(file_, lines);
  }

 private:
  std::mutex mutex_;
  std::string file_;
};

// The shell that starts the schedule's command lines; it lives as long as the process.
platform::Shell& ScheduleShell(const StartOptions& start) {
  if (!start.recordCommands) return platform::SystemShell();
  static CommandRecordingShell recorder(*start.recordCommands);
  return recorder;
}
}  // namespace

ScheduleView::ScheduleView(storage::Store& store, storage::Workspace& workspace, const StartOptions& start)
    : store_(store), ws_(workspace), start_(start) {}

void ScheduleView::Create(HWND panel) {
  panel_ = panel;
  toolsTab_ = AddControlOnTop(panel, WC_TABCONTROLW, "", 0, 0, kToolsTabId);
  {
    std::wstring text = L"工具";
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    TabCtrl_InsertItem(toolsTab_, 0, &item);
  }
  scheduleFrame_ = AddControlOnTop(panel, WC_BUTTONW, "每天定时项目", BS_GROUPBOX, WS_EX_TRANSPARENT, kScheduleFrameId);
  scheduleSwitch_ = AddControlOnTop(panel, WC_BUTTONW, "开启/关闭", BS_AUTOCHECKBOX | WS_TABSTOP, 0, kScheduleSwitchId);
  timePicker_ = AddControlOnTop(panel, DATETIMEPICK_CLASSW, "", DTS_TIMEFORMAT | DTS_UPDOWN | WS_TABSTOP, 0, kTimePickerId);
  SendMessageW(timePicker_, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"HH:mm"));
  typeBox_ = AddControlOnTop(panel, WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, 0, kTypeBoxId);
  for (const char* type : {schedule::kTypeReminder, schedule::kTypeShutdown})
    SendMessageW(typeBox_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(type).c_str()));
  SendMessageW(typeBox_, CB_SETCURSEL, 0, 0);
  addRowButton_ = AddControlOnTop(panel, WC_BUTTONW, "添加", BS_PUSHBUTTON | WS_TABSTOP, 0, kAddButtonId);
  contentBox_ = AddControlOnTop(panel, WC_EDITW, schedule::kReminderPlaceholder,
                               ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kContentBoxId);
  soundBox_ = AddControlOnTop(panel, WC_EDITW, "", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kSoundBoxId);
  setSoundLink_ = AddControlOnTop(panel, WC_STATICW, "设置提示音", SS_NOTIFY, 0, kSetSoundLinkId);
  listenLink_ = AddControlOnTop(panel, WC_STATICW, "试听", SS_NOTIFY, 0, kListenLinkId);
  shakeBox_ = AddControlOnTop(panel, WC_BUTTONW, "窗口抖动", BS_AUTOCHECKBOX | WS_TABSTOP, 0, kShakeBoxId);
  scheduleList_ = AddControlOnTop(panel, WC_LISTVIEWW, "",
                                 LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
                                 WS_EX_CLIENTEDGE, kScheduleListId);
  ListView_SetExtendedListViewStyle(scheduleList_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  const char* captions[] = {"时间", "类型", "结果", "内容"};
  for (int i = 0; i < 4; ++i) {
    std::wstring caption = Widen(captions[i]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = caption.data();
    column.cx = kColumnWidths[i];
    ListView_InsertColumn(scheduleList_, i, &column);
  }
  handOverBox_ = AddControlOnTop(panel, WC_EDITW, "", ES_AUTOHSCROLL, 0, kHandOverId);
  // Each control went on top of the ones before it, so the frame lies above the tab control (which
  // would otherwise clip its border and caption away) and below the controls it frames.
}

void ScheduleView::ApplyFont(HFONT font, UINT dpi) {
  dpi_ = dpi;
  for (HWND control : {toolsTab_, scheduleFrame_, scheduleSwitch_, timePicker_, typeBox_, addRowButton_, contentBox_,
                       soundBox_, setSoundLink_, listenLink_, shakeBox_, scheduleList_, handOverBox_})
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  for (int i = 0; i < 4; ++i) ListView_SetColumnWidth(scheduleList_, i, Scale(kColumnWidths[i], dpi));
}

void ScheduleView::Layout(const PanelLayout& l, int ox, int oy, UINT dpi) {
  dpi_ = dpi;
  PlaceDesign(toolsTab_, dpi, ox + l.strip.left, oy + l.strip.top, l.strip.width, l.strip.height);
  const int tx = ox + l.strip.left, ty = oy + l.strip.top;  // the tools tab's corner
  const int fx = tx + kFrameLeft, fy = ty + kFrameTop;      // the frame's corner
  PlaceDesign(scheduleFrame_, dpi, fx, fy, 254, 315);
  PlaceDesign(scheduleSwitch_, dpi, tx + 104, ty + 32, 76, 13);
  PlaceDesign(timePicker_, dpi, fx + 4, fy + 21, 86, 20);
  PlaceDesign(typeBox_, dpi, fx + 100, fy + 21, 80, 200);
  PlaceDesign(addRowButton_, dpi, fx + 194, fy + 20, 54, 20);
  PlaceDesign(contentBox_, dpi, fx + 4, fy + 49, 245, 58);
  PlaceDesign(soundBox_, dpi, fx + 5, fy + 113, 60, 18);
  PlaceDesign(setSoundLink_, dpi, fx + 75, fy + 116, 64, 16);
  PlaceDesign(listenLink_, dpi, fx + 145, fy + 116, 28, 16);
  PlaceDesign(shakeBox_, dpi, fx + 183, fy + 117, 68, 16);
  PlaceDesign(handOverBox_, dpi, fx + 192, fy + 3, 40, 16);
  ApplyTypeLayout();
  // The frame is see-through, so the tools tab below it paints over it when resized; the frame
  // then draws itself again on top.
  InvalidateRect(scheduleFrame_, nullptr, TRUE);
}

// The type decides where the list stands: a shutdown needs no content, sound or shake, and the
// list covers them.
void ScheduleView::ApplyTypeLayout() {
  const int fx = kTopTabsDesign.left + kStripDesign.left + kFrameLeft;
  const int fy = kTopTabsDesign.top + kStripDesign.top + kFrameTop;
  std::string content = platform::WindowTextUtf8(contentBox_);
  const std::string before = content;
  const schedule::ListPlace place = schedule::ApplyTypeLayout(static_cast<int>(SendMessageW(typeBox_, CB_GETCURSEL, 0, 0)),
                                                              content, GetFocus() == contentBox_);
  PlaceDesign(scheduleList_, dpi_, fx + 4, fy + place.top, 246, place.height);
  if (content != before) platform::SetWindowTextUtf8(contentBox_, content);
}

void ScheduleView::Show(bool shown) {
  for (HWND control : {toolsTab_, scheduleFrame_, scheduleSwitch_, timePicker_, typeBox_, addRowButton_, contentBox_,
                       soundBox_, setSoundLink_, listenLink_, shakeBox_, scheduleList_})
    ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
  if (shown) ApplyTypeLayout();
}

void ScheduleView::StartSchedule() {
  Button_SetCheck(shakeBox_, ws_.shake ? BST_CHECKED : BST_UNCHECKED);
  Button_SetCheck(scheduleSwitch_, ws_.schedule.on ? BST_CHECKED : BST_UNCHECKED);
  platform::SetWindowTextUtf8(soundBox_, ws_.music);
  scheduleHost_ = std::make_unique<schedule::PostingScheduleHost>(panel_, kScheduleCloseMessage, kScheduleRowRanMessage);
  schedulePage_ = schedule::NewSchedulePage(ws_.schedule, *scheduleHost_, ScheduleShell(start_));
  auditionPlayer_ = platform::NewSoundPlayer();
  schedulePage_->SetReminderOptions(ws_.music, ws_.shake);
  ListView_SetItemCountEx(scheduleList_, schedulePage_->rows().RowCount(), 0);
  schedulePage_->StartAtLaunch();
}

void ScheduleView::KeepInWorkspace() {
  ws_.music = platform::WindowTextUtf8(soundBox_);
  ws_.shake = Button_GetCheck(shakeBox_) == BST_CHECKED;
  ws_.schedule.on = Button_GetCheck(scheduleSwitch_) == BST_CHECKED;
}

void ScheduleView::StopLoop() {
  if (schedulePage_) schedulePage_->StopLoop();
}

void ScheduleView::RedrawRow(int row) { ListView_RedrawItems(scheduleList_, row, row); }

void ScheduleView::PrepareColour(HDC dc, HWND control) const {
  if (control == setSoundLink_ || control == listenLink_) SetTextColor(dc, RGB(0, 0, 128));
}

bool ScheduleView::TypeListDropped() const { return SendMessageW(typeBox_, CB_GETDROPPEDSTATE, 0, 0) != 0; }

void ScheduleView::ChooseShutdownForShot() {
  SendMessageW(typeBox_, CB_SETCURSEL, schedule::kTypeEntryShutdown, 0);
  ApplyTypeLayout();
}

void ScheduleView::ReminderOptionsChanged() {
  ws_.music = platform::WindowTextUtf8(soundBox_);
  ws_.shake = Button_GetCheck(shakeBox_) == BST_CHECKED;
  schedulePage_->SetReminderOptions(ws_.music, ws_.shake);
}

void ScheduleView::OnContentFocus(bool got) {
  const std::string text = platform::WindowTextUtf8(contentBox_);
  const std::string shown =
      got ? schedule::ContentGotFocus(text) : schedule::ContentLostFocus(text, IsWindowEnabled(contentBox_) != FALSE);
  if (shown != text) platform::SetWindowTextUtf8(contentBox_, shown);
}

void ScheduleView::AddTimedItem() {
  SYSTEMTIME time{};
  SendMessageW(timePicker_, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
  const int entry = static_cast<int>(SendMessageW(typeBox_, CB_GETCURSEL, 0, 0));
  const char* type = entry == schedule::kTypeEntryShutdown ? schedule::kTypeShutdown : schedule::kTypeReminder;
  if (auto refusal = schedulePage_->AddTimedItem(type, platform::WindowTextUtf8(contentBox_), time.wHour, time.wMinute))
    platform::ShowInfoMessage(panel_, *refusal);
  else
    ListView_SetItemCountEx(scheduleList_, schedulePage_->rows().RowCount(), LVSICF_NOSCROLL);
}

void ScheduleView::SetScheduleSwitch() {
  bool ticked = Button_GetCheck(scheduleSwitch_) == BST_CHECKED;
  if (auto refusal = schedulePage_->SetScheduleSwitch(ticked)) {
    Button_SetCheck(scheduleSwitch_, BST_UNCHECKED);
    platform::ShowInfoMessage(panel_, *refusal);
  }
}

bool ScheduleView::OnControlCommand(HWND control, int code) {
  const int id = GetDlgCtrlID(control);
  if (id < kScheduleFrameId || id > kHandOverId || GetParent(control) != panel_) return false;
  if (!schedulePage_) return true;
  switch (id) {
    case kTypeBoxId:
      if (code == CBN_SELCHANGE) ApplyTypeLayout();
      break;
    case kContentBoxId:
      if (code == EN_SETFOCUS || code == EN_KILLFOCUS) OnContentFocus(code == EN_SETFOCUS);
      break;
    case kAddButtonId:
      if (code == BN_CLICKED) AddTimedItem();
      break;
    case kScheduleSwitchId:
      if (code == BN_CLICKED) SetScheduleSwitch();
      break;
    case kSoundBoxId:
      if (code == EN_CHANGE) ReminderOptionsChanged();
      break;
    case kShakeBoxId:
      if (code == BN_CLICKED) ReminderOptionsChanged();
      break;
    case kSetSoundLinkId:
      if (code == STN_CLICKED) {
        if (auto sound = schedule::ChooseSoundWithDialog(panel_, store_.folder().root()))
          platform::SetWindowTextUtf8(soundBox_, *sound);
      }
      break;
    case kListenLinkId:
      if (code == STN_CLICKED && auditionPlayer_) {
        if (auto sound = schedule::AuditionWithQuestion(panel_, platform::WindowTextUtf8(soundBox_), *auditionPlayer_))
          platform::SetWindowTextUtf8(soundBox_, *sound);
      }
      break;
  }
  return true;
}

bool ScheduleView::OnNotify(const NMHDR& hdr, LRESULT& result) {
  if (hdr.hwndFrom != scheduleList_ && hdr.hwndFrom != toolsTab_) return false;
  result = 0;
  if (hdr.hwndFrom == scheduleList_ && hdr.code == LVN_GETDISPINFOW)
    OnGetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&hdr)));
  return true;
}

void ScheduleView::OnGetDispInfo(NMLVDISPINFOW& info) {
  if (!(info.item.mask & LVIF_TEXT) || !info.item.pszText || info.item.cchTextMax <= 0) return;
  const size_t row = static_cast<size_t>(info.item.iItem);
  const std::string* text = nullptr;
  std::string cell;
  if (row < ws_.schedule.items.size()) {
    const schedule::TimedItem& item = ws_.schedule.items[row];
    // The worker writes the result column; it is read under the schedule's lock.
    if (info.item.iSubItem == 2 && schedulePage_) cell = schedulePage_->rows().ResultOf(row);
    const std::string* columns[] = {&item.time, &item.type, &cell, &item.content};
    if (info.item.iSubItem >= 0 && info.item.iSubItem < 4) text = columns[info.item.iSubItem];
  }
  dispText_ = text ? Widen(*text) : std::wstring();
  const size_t n = std::min(dispText_.size(), static_cast<size_t>(info.item.cchTextMax - 1));
  std::copy_n(dispText_.c_str(), n, info.item.pszText);
  info.item.pszText[n] = L'\0';
}

}  // namespace jihe::app
