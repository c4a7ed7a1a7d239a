#include "schedule/reminder_popup_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/sound_win32.h"

namespace jihe::schedule {

namespace {

constexpr UINT_PTR kShakeTimer = 1;      // the designed shake timer: starts the shake once
constexpr UINT_PTR kShakeStepTimer = 2;  // paces the shake's moves
constexpr int kOuterWidth = 351, kOuterHeight = 202;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;

UINT SystemDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

ReminderPopup::ReminderPopup(const std::string& content, const ReminderOptions& options,
                             std::unique_ptr<platform::SoundPlayer> player, const ReadFileFn& readFile)
    : player_(std::move(player)), sound_(*player_) {
  InitCommonControls();
  RegisterWindowClass(kReminderPopupClass, LoadIconW(nullptr, IDI_INFORMATION),
                      reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  const UINT dpi = SystemDpi();
  const int width = platform::Scale(kOuterWidth, dpi), height = platform::Scale(kOuterHeight, dpi);
  // On the panel's monitor, where the agent works.
  const RECT area = platform::MonitorAreaOf(nullptr, false);
  const POINT at = platform::CentredIn(area, width, height);
  // No owner: the popup stands on its own beside whatever the agent is doing.
  CreateWindowOf(kExStyle, kReminderPopupClass, kReminderPopupTitle, kStyle, at.x, at.y, width, height, nullptr,
                 nullptr);
  if (!hwnd()) return;
  // That monitor may have a scale of its own: the popup is sized for it, as its text is.
  if (const UINT own = platform::DpiOf(hwnd()); own != dpi) {
    const int w = platform::Scale(kOuterWidth, own), h = platform::Scale(kOuterHeight, own);
    const POINT centred = platform::CentredIn(area, w, h);
    SetWindowPos(hwnd(), nullptr, centred.x, centred.y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  RECT client;
  GetClientRect(hwnd(), &client);
  font_ = platform::CreateUiFont(platform::DpiOf(hwnd()));
  textBox_ = CreateWindowExW(0, WC_EDITW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0,
                            client.right, client.bottom, hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(textBox_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  SetWindowSubclass(textBox_, &ReminderPopup::TextBoxProcedure, 1, reinterpret_cast<DWORD_PTR>(this));

  // The opening routine.
  shakeStopFlag_ = false;
  platform::SetWindowTextUtf8(textBox_, content);
  sound_.SetData(SoundForBox(options.music, readFile));  // play mode 0: it rings until stopped
  if (options.shake) SetTimer(hwnd(), kShakeTimer, kShakeDelayMs, nullptr);
  ShowWindow(hwnd(), SW_SHOWNORMAL);
  UpdateWindow(hwnd());
}

ReminderPopup::~ReminderPopup() {
  // Destroyed here rather than by the base, so that WM_DESTROY still reaches this object.
  if (hwnd()) DestroyWindow(hwnd());
}

LRESULT CALLBACK ReminderPopup::TextBoxProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                                 DWORD_PTR ref) {
  if (msg == WM_LBUTTONDOWN) reinterpret_cast<ReminderPopup*>(ref)->OnTextClicked();
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &ReminderPopup::TextBoxProcedure, id);
  return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT ReminderPopup::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  switch (msg) {
    case WM_TIMER:
      if (wp == kShakeTimer) OnShakeTimer();
      if (wp == kShakeStepTimer) NextShakeStep();
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      SetTextColor(dc, RGB(255, 0, 0));
      SetBkColor(dc, RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    case WM_SIZE:
      if (textBox_) MoveWindow(textBox_, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return Default(msg, wp, lp);
  }
}

void ReminderPopup::OnShakeTimer() {
  KillTimer(hwnd(), kShakeTimer);  // the shake starts once
  RECT r;
  GetWindowRect(hwnd(), &r);
  shakeOrigin_ = {r.left, r.top};
  shake_ = ShakeSequence();
  shaking_ = true;
  nextStepAt_ = GetTickCount64();
  NextShakeStep();
}

// The moves are timed against the tick count from the start of the shake, so that timer
// granularity does not stretch the rounds.
void ReminderPopup::NextShakeStep() {
  KillTimer(hwnd(), kShakeStepTimer);
  const std::optional<ShakeStep> step = shake_.Next(shakeStopFlag_);
  if (!step) {
    shaking_ = false;
    return;
  }
  SetWindowPos(hwnd(), nullptr, shakeOrigin_.x + step->dx, shakeOrigin_.y + step->dy, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  nextStepAt_ += step->waitMs;
  const ULONGLONG now = GetTickCount64();
  const UINT wait = nextStepAt_ > now ? static_cast<UINT>(nextStepAt_ - now) : USER_TIMER_MINIMUM;
  SetTimer(hwnd(), kShakeStepTimer, std::max<UINT>(wait, USER_TIMER_MINIMUM), nullptr);
}

void ReminderPopup::OnTextClicked() {
  if (shakeStopFlag_) return;
  shakeStopFlag_ = true;
  KillTimer(hwnd(), kShakeTimer);  // a shake that has not begun never will
  sound_.SetMode(PlayMode::kSilent);
  // A running shake finishes its round and ends where it began.
}

void ReminderPopup::OnDestroy() {
  shakeStopFlag_ = true;
  shaking_ = false;
  KillTimer(hwnd(), kShakeTimer);
  KillTimer(hwnd(), kShakeStepTimer);
  sound_.SetMode(PlayMode::kSilent);
}

namespace {

class ReminderPopupDisplay final : public ReminderDisplay {
 public:
  explicit ReminderPopupDisplay(std::function<std::unique_ptr<platform::SoundPlayer>()> newPlayer)
      : newPlayer_(std::move(newPlayer)) {}

  void OpenReminder(const std::string& content, const ReminderOptions& options) override {
    popup_.reset();
    popup_ = std::make_unique<ReminderPopup>(content, options, newPlayer_(), [](const std::string& path) {
      return platform::ReadWholeFile(path);
    });
  }
  void CloseReminder() override { popup_.reset(); }

 private:
  std::function<std::unique_ptr<platform::SoundPlayer>()> newPlayer_;
  std::unique_ptr<ReminderPopup> popup_;
};

}  // namespace

std::unique_ptr<ReminderDisplay> NewReminderPopupDisplay(
    std::function<std::unique_ptr<platform::SoundPlayer>()> newPlayer) {
  if (!newPlayer) newPlayer = [] { return platform::NewSoundPlayer(); };
  return std::make_unique<ReminderPopupDisplay>(std::move(newPlayer));
}

}  // namespace jihe::schedule
