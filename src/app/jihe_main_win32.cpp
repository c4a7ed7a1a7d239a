// 霁禾客服助手: process start.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/commands.h"
#include "app/main_panel_win32.h"
#include "platform/utf16.h"
#include "platform/window_win32.h"
#include "storage/data_folder.h"
#include "storage/store.h"
#include "storage/workspace.h"
#include "webchat/web_chat_window_win32.h"

namespace {

using jihe::platform::Widen;

constexpr wchar_t kInstanceMutex[] = L"Local\\霁禾客服助手.单实例";
constexpr char kFolderBusy[] = "另一个程序正在写入这个数据文件夹，请等它结束后再启动霁禾客服助手。";

std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; i < count; ++i) args.push_back(jihe::platform::Narrow(argv[i]));
  LocalFree(argv);
  return args;
}

// A second start brings the running panel forward instead of running beside it: two copies would
// overwrite each other's saves.
void ShowRunningPanel() {
  const std::wstring className = Widen(jihe::app::kPanelClass);
  const UINT showMessage = RegisterWindowMessageW(Widen(jihe::app::kShowRunningPanelMessage).c_str());
  // The first copy may still be creating its panel.
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (HWND panel = FindWindowW(className.c_str(), nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(panel, &pid);
      AllowSetForegroundWindow(pid);
      PostMessageW(panel, showMessage, 0, 0);
      return;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const jihe::app::ParsedCommandLine parsed = jihe::app::ParseCommandLine(Arguments());
  if (!parsed.error.empty()) {
    MessageBoxW(nullptr, Widen(parsed.error).c_str(), Widen(jihe::app::kPanelTitle).c_str(), MB_OK | MB_ICONERROR);
    return 2;
  }

  jihe::platform::UniqueKernelHandle instance(CreateMutexW(nullptr, TRUE, kInstanceMutex));
  if (instance && GetLastError() == ERROR_ALREADY_EXISTS) {
    ShowRunningPanel();
    return 0;
  }

  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_DATE_CLASSES |
                                           ICC_STANDARD_CLASSES | ICC_HOTKEY_CLASS};
  InitCommonControlsEx(&icc);
  OleInitialize(nullptr);

  const std::string dataDir = parsed.options.dataDir.value_or(jihe::storage::DefaultDataFolder());
  const jihe::storage::DataFolder folder(dataDir);
  // The Data folder is ours while we run: jihe-data refuses to write into it meanwhile. One that
  // is writing into it now (an import of a big file) gets the time to finish first.
  const auto hold = folder.Hold(30000);
  if (!hold) {
    MessageBoxW(nullptr, Widen(kFolderBusy).c_str(), Widen(jihe::app::kPanelTitle).c_str(), MB_OK | MB_ICONERROR);
    return 1;
  }
  jihe::storage::Store store{folder};
  jihe::storage::Workspace workspace;
  jihe::app::MainPanel panel(store, workspace, parsed.options);
  if (!panel.Create()) return 1;

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (panel.PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // An open web page is released while OLE still runs.
  jihe::webchat::CloseWebChatWindow();
  OleUninitialize();
  return static_cast<int>(msg.wParam);
}
