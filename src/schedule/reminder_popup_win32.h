#pragma once
// The Reminder popup: a small always-on-top window with the reminder's text in red, a sound that
// rings until the text is clicked, and a shake that repeats until then. It belongs to the thread
// that creates it (the ScheduleLoop worker) and runs on that thread's message loop.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/sound.h"
#include "platform/window_win32.h"
#include "schedule/alert_sounds.h"
#include "schedule/schedule_loop.h"
#include "schedule/shake.h"
#include "schedule/window_sound.h"

namespace jihe::schedule {

inline constexpr wchar_t kReminderPopupClass[] = L"JiheReminderPopup";
inline constexpr char kReminderPopupTitle[] = "定时提醒";

class ReminderPopup final : public platform::Window {
 public:
  // Creates and shows the popup; its opening (text, sound, shake timer) has run on return.
  ReminderPopup(const std::string& content, const ReminderOptions& options,
                std::unique_ptr<platform::SoundPlayer> player, const ReadFileFn& readFile);
  ~ReminderPopup() override;

  HWND textBox() const { return textBox_; }
  bool shakeStopFlag() const { return shakeStopFlag_; }
  bool shaking() const { return shaking_; }
  const WindowSound& sound() const { return sound_; }

 private:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept override;
  static LRESULT CALLBACK TextBoxProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);

  void OnShakeTimer();  // 800 ms after opening: the shake begins
  void NextShakeStep();  // one move of the shake, then the timer for the next
  void OnTextClicked();
  void OnDestroy();

  std::unique_ptr<platform::SoundPlayer> player_;
  WindowSound sound_;
  HWND textBox_ = nullptr;
  platform::UniqueFont font_;
  bool shakeStopFlag_ = false;
  bool shaking_ = false;
  ShakeSequence shake_;
  POINT shakeOrigin_{};
  ULONGLONG nextStepAt_ = 0;  // tick count when the next shake step is due
};

// The popup as the ScheduleLoop worker uses it: at most one at a time, each with its own voice.
// Call on the worker's thread.
std::unique_ptr<ReminderDisplay> NewReminderPopupDisplay(
    std::function<std::unique_ptr<platform::SoundPlayer>()> newPlayer = nullptr);

}  // namespace jihe::schedule
