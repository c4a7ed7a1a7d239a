// The schedule page of the Main panel: its controls forwarded to the schedule's presenter.

#include "app/main_panel_win32.h"

#include <commctrl.h>
#include <windowsx.h>

#include <mutex>

#include "platform/file_system.h"
#include "platform/shell_win32.h"
#include "platform/sound_win32.h"
#include "schedule/sound_controls_win32.h"

namespace jihe::app {

namespace {
// The control ids of the schedule page, in the order the panel gives them.
constexpr int kScheduleSwitchId = 152, kTimePickerId = 153, kTypeBoxId = 154, kAddButtonId = 155,
              kContentBoxId = 156, kSoundBoxId = 157, kSetSoundLinkId = 158, kListenLinkId = 159,
              kShakeBoxId = 160;

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

void MainPanel::StartSchedule() {
  scheduleHost_ = std::make_unique<schedule::PostingScheduleHost>(hwnd(), kScheduleCloseMessage,
                                                                  kScheduleRowRanMessage);
  schedulePage_ = schedule::NewSchedulePage(ws_.schedule, *scheduleHost_, ScheduleShell(start_));
  auditionPlayer_ = platform::NewSoundPlayer();
  schedulePage_->SetReminderOptions(ws_.music, ws_.shake);
  ListView_SetItemCountEx(scheduleList_, schedulePage_->rows().RowCount(), 0);
  schedulePage_->StartAtLaunch();
}

void MainPanel::OnScheduleCommand(int id, int code) {
  if (!schedulePage_) return;
  auto reminderOptionsChanged = [this] {
    ws_.music = platform::WindowTextUtf8(soundBox_);
    ws_.shake = Button_GetCheck(shakeBox_) == BST_CHECKED;
    schedulePage_->SetReminderOptions(ws_.music, ws_.shake);
  };
  switch (id) {
    case kTypeBoxId:
      if (code == CBN_SELCHANGE) ApplyTypeLayout();
      break;
    case kContentBoxId:
      if (code == EN_SETFOCUS) {
        const std::string text = platform::WindowTextUtf8(contentBox_);
        const std::string shown = schedule::ContentGotFocus(text);
        if (shown != text) platform::SetWindowTextUtf8(contentBox_, shown);
      } else if (code == EN_KILLFOCUS) {
        const std::string text = platform::WindowTextUtf8(contentBox_);
        const std::string shown = schedule::ContentLostFocus(text, IsWindowEnabled(contentBox_) != FALSE);
        if (shown != text) platform::SetWindowTextUtf8(contentBox_, shown);
      }
      break;
    case kAddButtonId:
      if (code == BN_CLICKED) {
        SYSTEMTIME time{};
        SendMessageW(timePicker_, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
        const int entry = static_cast<int>(SendMessageW(typeBox_, CB_GETCURSEL, 0, 0));
        const char* type = entry == schedule::kTypeEntryShutdown ? schedule::kTypeShutdown : schedule::kTypeReminder;
        if (auto refusal = schedulePage_->AddTimedItem(type, platform::WindowTextUtf8(contentBox_), time.wHour,
                                                       time.wMinute)) {
          platform::ShowInfoMessage(hwnd(), *refusal);
        } else {
          ListView_SetItemCountEx(scheduleList_, schedulePage_->rows().RowCount(), LVSICF_NOSCROLL);
        }
      }
      break;
    case kScheduleSwitchId:
      if (code == BN_CLICKED) {
        bool ticked = Button_GetCheck(scheduleSwitch_) == BST_CHECKED;
        if (auto refusal = schedulePage_->SetScheduleSwitch(ticked)) {
          Button_SetCheck(scheduleSwitch_, BST_UNCHECKED);
          platform::ShowInfoMessage(hwnd(), *refusal);
        }
      }
      break;
    case kSoundBoxId:
      if (code == EN_CHANGE) reminderOptionsChanged();
      break;
    case kShakeBoxId:
      if (code == BN_CLICKED) reminderOptionsChanged();
      break;
    case kSetSoundLinkId:
      if (code == STN_CLICKED) {
        if (auto sound = schedule::ChooseSoundWithDialog(hwnd(), store_.folder().root()))
          platform::SetWindowTextUtf8(soundBox_, *sound);
      }
      break;
    case kListenLinkId:
      if (code == STN_CLICKED && auditionPlayer_) {
        if (auto sound = schedule::AuditionWithQuestion(hwnd(), platform::WindowTextUtf8(soundBox_), *auditionPlayer_))
          platform::SetWindowTextUtf8(soundBox_, *sound);
      }
      break;
  }
}

}  // namespace jihe::app
