// Speed of the chat side on the real platform (under Wine on Linux):
//
//   chat_speed [--idle-seconds 30]
//
// Prints: one follow pass over 200 real top-level windows; the processor time of the follow loop
// while it idles beside a chat window; and a send's total time into fake_chat (which must lie
// beside this program, and reads each paste at once from its own process, through the delayed
// rendering of every piece) against the sum of its fixed waits: what is above them is the
// program's own cost, the waits for each paste to be read included.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "chat/follow_loop.h"
#include "chat/send_engine.h"
#include "platform/clipboard_win32.h"
#include "platform/desktop_win32.h"
#include "platform/keyboard_win32.h"
#include "platform/wait_win32.h"

namespace {

using namespace jihe;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

HWND MakeWindow(const wchar_t* className, const std::wstring& title, int x, int y, int w, int h) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = className;
  RegisterClassW(&wc);
  return CreateWindowExW(0, className, title.c_str(), WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

double ProcessCpuMs() {
  FILETIME create, exit, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &create, &exit, &kernel, &user);
  auto ms = [](FILETIME f) { return (static_cast<double>(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) / 1e4; };
  return ms(kernel) + ms(user);
}

class Host : public chat::SendHost {
 public:
  bool Paused() const override { return false; }
  std::optional<std::string> SelectedRowText(chat::PhraseListSource) const override { return row; }
  platform::WindowId CurrentChatWindow() const override { return chat; }
  void ShowNotice(std::string_view) override {}
  std::optional<std::string> AskValue(std::string_view) override { return std::nullopt; }
  std::string row;
  platform::WindowId chat = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int idleSeconds = 30;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::wstring(argv[i]) == L"--idle-seconds") idleSeconds = _wtoi(argv[i + 1]);
  }
  platform::Win32Desktop desktop;
  auto waiter = platform::CreateThreadWaiter();
  settings::Options options;
  for (const auto& info : settings::AllOptions()) options.Set(info.option, false);
  options.Set(settings::Option::跟随QQ, true);
  options.Set(settings::Option::跟随到右边, true);
  options.Set(settings::Option::自动点发送, true);

  // 200 top-level windows: the panel, 198 others, and the chat window at the bottom.
  std::vector<HWND> windows;
  const HWND panel = MakeWindow(L"JihePanelSpeed", L"霁禾客服助手", 900, 100, 200, 500);
  for (int i = 0; i < 198; ++i) {
    windows.push_back(i % 2 ? MakeWindow(L"SpeedSmall", L"提示" + std::to_wstring(i), 10, 10, 200, 50)
                            : MakeWindow(L"SpeedLarge", L"文档" + std::to_wstring(i), 20, 20, 700, 700));
  }
  const HWND chat = MakeWindow(L"TXGuiFoundation", L"客户甲", 150, 100, 600, 700);
  SetWindowPos(chat, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  waiter->ProcessPendingMessages();

  chat::FollowState state;
  const int passes = 200;
  auto start = Clock::now();
  int docked = 0;
  for (int i = 0; i < passes; ++i) {
    docked += chat::FollowPass(desktop, *waiter, options, state, platform::IdOf(panel)).outcome ==
              chat::FollowPassResult::Outcome::Docked;
  }
  std::printf("follow pass over %zu windows: %.3f ms (docked in %d of %d passes)\n",
              desktop.VisibleTopLevelWindows().size(), MsSince(start) / passes, docked, passes);

  // The loop idling: a pass every 300 ms, the panel already in place.
  chat::FollowLoop loop;
  loop.Attach(desktop, options, platform::IdOf(panel), [] { return platform::CreateThreadWaiter(); });
  loop.StartFollowLoop();
  waiter->WaitPumping(1000);
  const double cpuBefore = ProcessCpuMs();
  start = Clock::now();
  waiter->WaitPumping(idleSeconds, platform::WaitUnit::Seconds);
  const double cpu = ProcessCpuMs() - cpuBefore, wall = MsSince(start);
  loop.StopFollowLoop();
  std::printf("follow loop idle over %d s beside 200 windows: %.2f%% of one core (%.0f ms processor time)\n",
              idleSeconds, 100.0 * cpu / wall, cpu);
  for (HWND w : windows) DestroyWindow(w);
  DestroyWindow(chat);

  // A send into fake_chat.
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring exe(self);
  exe = exe.substr(0, exe.find_last_of(L"\\/")) + L"\\fake_chat.exe";
  std::wstring cmd = L"\"" + exe + L"\" --class TXGuiFoundation --title 速度测试 --size 600x700";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::printf("send: fake_chat.exe not started\n");
    return 1;
  }
  HWND target = nullptr;
  for (int i = 0; i < 500 && !target; ++i, Sleep(10)) target = FindWindowW(L"TXGuiFoundation", L"速度测试");
  platform::Win32Clipboard clipboard;
  platform::Win32Keyboard keyboard;
  Host host;
  host.chat = platform::IdOf(target);
  chat::SendContext ctx{desktop, clipboard, keyboard, *waiter, options, host, "C:\\img"};
  for (const auto& [what, row, fixed] : {std::tuple{"plain text", std::string("您好\r\n请稍等"), 310},
                                         std::tuple{"file + text", std::string("《C:\\windows\\win.ini》您好"), 820}}) {
    host.row = row;
    // The first send also creates the clipboard's owner window; the figure is the median of five.
    std::vector<double> totals;
    for (int i = 0; i < 5; ++i) {
      start = Clock::now();
      chat::SendPhrase(ctx, chat::SendMode::ListClick);
      totals.push_back(MsSince(start));
    }
    const double first = totals.front();
    std::sort(totals.begin(), totals.end());
    std::printf("send of %s: %.1f ms (first %.1f), fixed waits %d ms, %.1f ms above them\n", what, totals[2], first,
                fixed, totals[2] - fixed);
  }
  PostMessageW(target, WM_CLOSE, 0, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  DestroyWindow(panel);
  return 0;
}
