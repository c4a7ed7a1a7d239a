// Another program that holds the clipboard open, as clipboard managers and remote-desktop tools do
// for a moment and a hung program does for good. It puts the text an agent might have copied for
// themselves on the clipboard and keeps the clipboard open until its window is closed or the time
// is up:
//
//   clipboard_holder --text 私人内容 --seconds 30
//
// Its hidden window, titled "clipboard_holder", appears once the clipboard is held.
#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

LRESULT CALLBACK HolderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE || msg == WM_TIMER) {
    DestroyWindow(hwnd);
    return 0;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  std::wstring text = L"私人内容";
  int seconds = 30;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; i + 1 < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--text")
      text = argv[++i];
    else if (arg == L"--seconds")
      seconds = _wtoi(argv[++i]);
  }
  LocalFree(argv);

  WNDCLASSW wc{};
  wc.lpfnWndProc = HolderProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"ClipboardHolder";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                              nullptr, instance, nullptr);
  if (!hwnd || !OpenClipboard(hwnd)) return 1;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    std::memcpy(GlobalLock(block), text.c_str(), bytes);
    GlobalUnlock(block);
    if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
  }
  SetWindowTextW(hwnd, L"clipboard_holder");
  SetTimer(hwnd, 1, static_cast<UINT>(seconds) * 1000, nullptr);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  CloseClipboard();
  return 0;
}
