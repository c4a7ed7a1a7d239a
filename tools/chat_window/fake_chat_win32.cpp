// A stand-in for a chat program: one window of a given class, title and size with an input box.
// It writes to a log file, one line per event, what a paste found on the clipboard and what an
// Enter sent, so tests can check what the send engine delivered.
//
//   fake_chat --class TXGuiFoundation --title 客户 --size 600x700 [--pos 100,80] --log paste.log
//             [--paste-delay-ms N] [--watch-clipboard]
//
// With --paste-delay-ms it is a chat program busy loading history: each Ctrl+V reads the clipboard
// N ms late, and the keys after it wait in its queue meanwhile. It opens the clipboard with its
// input box as a real edit control does.
//
// With --watch-clipboard it also reads the clipboard's text and picture whenever the clipboard
// changes, as chat programs do to offer a copied picture and clipboard managers do to keep a copy.
//
// Log lines are tab-separated fields, with \ \t \r \n escaped as \\ \t \r \n:
//   ready
//   paste  formats=A|B|C  text=...  html=<fragment>  files=a|b  picture=WxH
//   enter  text=<the input box, which is then cleared>
//   click  x,y
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/utf16.h"

namespace {

using jihe::platform::Narrow;
using jihe::platform::Widen;

HWND gEdit = nullptr;
WNDPROC gEditProc = nullptr;
FILE* gLog = nullptr;
int gPasteDelayMs = 0;
bool gWatchClipboard = false;

std::string Escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

void Log(const std::string& line) {
  if (!gLog) return;
  std::fputs((line + "\n").c_str(), gLog);
  std::fflush(gLog);
}

std::string FormatName(UINT format) {
  static const struct {
    UINT id;
    const char* name;
  } kStandard[] = {{CF_TEXT, "CF_TEXT"},         {CF_BITMAP, "CF_BITMAP"},   {CF_OEMTEXT, "CF_OEMTEXT"},
                   {CF_DIB, "CF_DIB"},           {CF_UNICODETEXT, "CF_UNICODETEXT"},
                   {CF_HDROP, "CF_HDROP"},       {CF_LOCALE, "CF_LOCALE"},   {CF_DIBV5, "CF_DIBV5"}};
  for (const auto& s : kStandard) {
    if (s.id == format) return s.name;
  }
  wchar_t name[128];
  const int n = GetClipboardFormatNameW(format, name, 128);
  return n > 0 ? Narrow(std::wstring_view(name, n)) : std::to_string(format);
}

std::string ClipboardBytes(UINT format) {
  HANDLE h = GetClipboardData(format);
  if (!h) return {};
  const char* p = static_cast<const char*>(GlobalLock(h));
  std::string bytes = p ? std::string(p, GlobalSize(h)) : std::string();
  GlobalUnlock(h);
  return bytes;
}

std::string HtmlFragment() {
  const UINT format = RegisterClipboardFormatW(L"HTML Format");
  const std::string html = ClipboardBytes(format);
  auto offset = [&](const char* key) -> size_t {
    const size_t at = html.find(key);
    return at == std::string::npos ? std::string::npos : std::strtoul(html.c_str() + at + std::strlen(key) + 1, nullptr, 10);
  };
  const size_t start = offset("StartFragment"), end = offset("EndFragment");
  if (start == std::string::npos || end == std::string::npos || start > end || end > html.size()) return {};
  return html.substr(start, end - start);
}

void LogPaste() {
  if (gPasteDelayMs > 0) Sleep(gPasteDelayMs);
  for (int i = 0; i < 50 && !OpenClipboard(gEdit); ++i) Sleep(10);
  std::string formats;
  for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) {
    formats += (formats.empty() ? "" : "|") + FormatName(f);
  }
  std::string text;
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    text = Narrow(static_cast<const wchar_t*>(GlobalLock(h)));
    GlobalUnlock(h);
  }
  std::string files;
  if (HDROP drop = static_cast<HDROP>(GetClipboardData(CF_HDROP))) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      wchar_t path[1024];
      DragQueryFileW(drop, i, path, 1024);
      files += (i ? "|" : "") + Narrow(path);
    }
  }
  std::string picture;
  const std::string dib = ClipboardBytes(CF_DIB);
  if (dib.size() >= sizeof(BITMAPINFOHEADER)) {
    BITMAPINFOHEADER h;
    std::memcpy(&h, dib.data(), sizeof h);
    picture = std::to_string(h.biWidth) + "x" + std::to_string(std::abs(h.biHeight));
  }
  const std::string html = HtmlFragment();
  CloseClipboard();
  Log("paste\tformats=" + Escape(formats) + "\ttext=" + Escape(text) + "\thtml=" + Escape(html) +
      "\tfiles=" + Escape(files) + "\tpicture=" + picture);
}

// What a clipboard watcher takes on each change, without pasting anything.
void TakeClipboard(HWND hwnd) {
  if (!OpenClipboard(hwnd)) return;
  GetClipboardData(CF_UNICODETEXT);
  GetClipboardData(CF_DIB);
  CloseClipboard();
}

std::string EditText() {
  const int n = GetWindowTextLengthW(gEdit);
  std::wstring w(n + 1, L'\0');
  GetWindowTextW(gEdit, w.data(), n + 1);
  w.resize(n);
  return Narrow(w);
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_KEYDOWN && wp == 'V' && GetKeyState(VK_CONTROL) < 0) LogPaste();
  if (msg == WM_KEYDOWN && wp == VK_RETURN) {
    Log("enter\ttext=" + Escape(EditText()));
    SetWindowTextW(gEdit, L"");
    return 0;
  }
  if (msg == WM_CHAR && (wp == '\r' || wp == '\n')) return 0;
  return CallWindowProcW(gEditProc, hwnd, msg, wp, lp);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      gEdit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                              WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL, 0, 0, 10, 10, hwnd,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
      gEditProc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(gEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
      if (gWatchClipboard) AddClipboardFormatListener(hwnd);
      return 0;
    case WM_CLIPBOARDUPDATE:
      TakeClipboard(hwnd);
      return 0;
    case WM_SIZE:
      MoveWindow(gEdit, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      return 0;
    case WM_SETFOCUS:
    case WM_ACTIVATE:
      if (msg == WM_SETFOCUS || LOWORD(wp) != WA_INACTIVE) SetFocus(gEdit);
      break;
    case WM_LBUTTONDOWN:
      Log("click\t" + std::to_string(static_cast<short>(LOWORD(lp))) + "," +
          std::to_string(static_cast<short>(HIWORD(lp))));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  std::wstring className = L"FakeChat", title = L"客户";
  int width = 600, height = 700, x = 100, y = 80;
  bool maximized = false;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const wchar_t* value = i + 1 < argc ? argv[i + 1] : L"";
    if (arg == L"--class") className = value, ++i;
    else if (arg == L"--title") title = value, ++i;
    else if (arg == L"--size") swscanf(value, L"%dx%d", &width, &height), ++i;
    else if (arg == L"--pos") swscanf(value, L"%d,%d", &x, &y), ++i;
    else if (arg == L"--log") gLog = _wfopen(value, L"ab"), ++i;
    else if (arg == L"--maximized") maximized = true;
    else if (arg == L"--paste-delay-ms") gPasteDelayMs = _wtoi(value), ++i;
    else if (arg == L"--watch-clipboard") gWatchClipboard = true;
  }
  LocalFree(argv);

  WNDCLASSW wc{};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = className.c_str();
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, className.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr,
                              nullptr, instance, nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
  SetForegroundWindow(hwnd);
  Log("ready");

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (gLog) std::fclose(gLog);
  return 0;
}
