// The Win32 platform under a real window system: what the clipboard holds after each writer, the
// waits that keep messages flowing, and the desktop operations the follow loop relies on.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "chat/follow_loop.h"
#include "chat/rich_content.h"
#include "fakes/temp_dir.h"
#include "platform/clipboard_win32.h"
#include "platform/desktop_win32.h"
#include "platform/file_system.h"
#include "platform/picture_win32.h"
#include "platform/utf16.h"
#include "platform/wait_win32.h"

namespace jihe::platform {
namespace {

// ---- reading the clipboard back ------------------------------------------------------------

class ClipboardReader {
 public:
  ClipboardReader() {
    for (int i = 0; i < 50 && !open_; ++i) {
      open_ = OpenClipboard(nullptr) != FALSE;
      if (!open_) Sleep(10);
    }
  }
  ~ClipboardReader() {
    if (open_) CloseClipboard();
  }
  bool open() const { return open_; }
  std::optional<std::string> Bytes(UINT format) const {
    HANDLE h = GetClipboardData(format);
    if (!h) return std::nullopt;
    const void* p = GlobalLock(h);
    std::string bytes(static_cast<const char*>(p), GlobalSize(h));
    GlobalUnlock(h);
    return bytes;
  }
  std::optional<std::string> Text() const {
    HANDLE h = GetClipboardData(CF_UNICODETEXT);
    if (!h) return std::nullopt;
    const std::string text = Narrow(static_cast<const wchar_t*>(GlobalLock(h)));
    GlobalUnlock(h);
    return text;
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    HDROP drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    if (!drop) return files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      wchar_t path[MAX_PATH * 2];
      DragQueryFileW(drop, i, path, MAX_PATH * 2);
      files.push_back(Narrow(path));
    }
    return files;
  }
  BITMAPINFOHEADER DibHeader() const {
    BITMAPINFOHEADER header{};
    if (auto bytes = Bytes(CF_DIB); bytes && bytes->size() >= sizeof header) std::memcpy(&header, bytes->data(), sizeof header);
    return header;
  }

 private:
  bool open_ = false;
};

// A 3 x 2 picture: red, green, fully transparent / blue, half-transparent black, white.
DecodedPicture TestPicture() {
  return {3, 2, {0xFFFF0000, 0xFF00FF00, 0x00123456, 0xFF0000FF, 0x80000000, 0xFFFFFFFF}};
}

// Each write is read as the chat program reads it once its paste was asked for.
TEST(Win32Clipboard, PlainTextKeepsLineBreaksAndCharactersBeyondGbk) {
  Win32Clipboard clipboard;
  ASSERT_TRUE(clipboard.PutText("您好\r\n请稍等😀"));
  clipboard.ExpectPaste(0);
  ClipboardReader reader;
  ASSERT_TRUE(reader.open());
  EXPECT_EQ(reader.Text(), "您好\r\n请稍等😀");
  EXPECT_FALSE(reader.Bytes(HtmlFormat()).has_value());  // the previous content is gone
}

TEST(Win32Clipboard, FileListIsWideAndSkipsBlankLines) {
  Win32Clipboard clipboard;
  ASSERT_TRUE(clipboard.PutFileList("C:\\报价 单.xlsx\r\n\r\nD:\\한국어.txt\r\n"));
  clipboard.ExpectPaste(0);
  ClipboardReader reader;
  EXPECT_EQ(reader.Files(), (std::vector<std::string>{"C:\\报价 单.xlsx", "D:\\한국어.txt"}));
  EXPECT_EQ(reader.Bytes(PreferredDropEffectFormat()), std::string("\x01\0\0\0", 4));
}

TEST(Win32Clipboard, PictureBecomesAFlattened24BitDib) {
  const std::optional<std::string> png = EncodePng(TestPicture());
  ASSERT_TRUE(png);
  ASSERT_TRUE(IsPngFile(*png));
  const std::optional<DecodedPicture> back = DecodePicture(*png);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->bgra, TestPicture().bgra);

  Win32Clipboard clipboard;
  ASSERT_TRUE(clipboard.PutPicture(*png));
  clipboard.ExpectPaste(0);
  {
    ClipboardReader reader;
    const BITMAPINFOHEADER h = reader.DibHeader();
    EXPECT_EQ(h.biWidth, 3);
    EXPECT_EQ(h.biHeight, 2);
    EXPECT_EQ(h.biBitCount, 24);
    const std::string dib = *reader.Bytes(CF_DIB);
    // Top row is stored last; its third pixel was transparent and is white now.
    const size_t topRow = sizeof(BITMAPINFOHEADER) + 12;
    EXPECT_EQ(dib.substr(topRow, 9), std::string("\x00\x00\xFF\x00\xFF\x00\xFF\xFF\xFF", 9));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));  // synthesized for programs that want it
  }

  // A bitmap file of our own making goes through the same decoder.
  std::string bmp(54, '\0');
  const std::string pixels("\x10\x20\x30\x40\x50\x60\0\0\x70\x80\x90\xA0\xB0\xC0\0\0", 16);
  BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(54 + pixels.size()), 0, 0, 54};
  BITMAPINFOHEADER ih{sizeof ih, 2, 2, 1, 24, BI_RGB, static_cast<DWORD>(pixels.size()), 0, 0, 0, 0};
  std::memcpy(bmp.data(), &fh, sizeof fh);
  std::memcpy(bmp.data() + sizeof fh, &ih, sizeof ih);
  ASSERT_TRUE(clipboard.PutPicture(bmp + pixels));
  clipboard.ExpectPaste(0);
  {
    ClipboardReader reader;
    EXPECT_EQ(reader.DibHeader().biWidth, 2);
  }

  // Bytes that are no picture leave the clipboard empty, so the paste repeats nothing: the
  // clipboard holds what was asked, and the send goes on.
  EXPECT_TRUE(clipboard.PutPicture("not a picture"));
  clipboard.ExpectPaste(0);
  ClipboardReader reader;
  EXPECT_EQ(CountClipboardFormats(), 0);
}

TEST(Win32Clipboard, RichContentOfTextAndPicture) {
  testing::TempDir dir;
  const std::string picturePath = dir.Sub("图 1.png");
  ASSERT_TRUE(WriteFileAtomically(picturePath, *EncodePng(TestPicture())));
  const std::string fragment = "文字A<BR><IMG src=\"file:///" + picturePath + "\"><BR>文字B & C";

  Win32Clipboard clipboard;
  ASSERT_TRUE(clipboard.PutRichContent(fragment));
  clipboard.ExpectPaste(0);
  {
    ClipboardReader reader;
    EXPECT_EQ(reader.Text(), "文字A\r\n\r\n文字B & C");
    const std::string html = *reader.Bytes(HtmlFormat());
    auto offset = [&](const char* key) { return std::stoul(html.substr(html.find(key) + std::strlen(key) + 1, 10)); };
    const std::string fragmentBack =
        html.substr(offset("StartFragment"), offset("EndFragment") - offset("StartFragment"));
    EXPECT_EQ(fragmentBack, "文字A<BR><IMG src=\"" + chat::FileUrlOf(picturePath) + "\"><BR>文字B &amp; C");
    EXPECT_EQ(html.compare(offset("StartHTML"), 6, "<html>"), 0);
    EXPECT_EQ(offset("EndHTML") + 1, html.size());  // the block ends with one zero byte after the HTML
    const std::string qq = *reader.Bytes(QQRichEditFormat());
    EXPECT_NE(qq.find("filepath=\"" + picturePath + "\""), std::string::npos);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));  // text and picture: no bitmap
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP));
  }

  // One picture alone: also a bitmap, the PNG file and the file itself.
  ASSERT_TRUE(clipboard.PutRichContent("<IMG src=\"file:///" + picturePath + "\">"));
  clipboard.ExpectPaste(0);
  ClipboardReader reader;
  EXPECT_EQ(reader.DibHeader().biWidth, 3);
  EXPECT_EQ(reader.Bytes(PngFormat()), ReadWholeFile(picturePath));
  EXPECT_EQ(reader.Files(), std::vector<std::string>{picturePath});
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_TRUE(reader.Bytes(HtmlFormat()).has_value());
}

// ---- waiting -------------------------------------------------------------------------------

struct MessageCounter {
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) ++count;
    if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && lp == MAKELPARAM(350, 650)) {  // not the real mouse
      mouse.push_back({msg, static_cast<int>(wp), static_cast<int>(lp)});
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  static inline int count = 0;
  struct Mouse {
    UINT msg;
    int wparam, lparam;
    bool operator==(const Mouse&) const = default;
  };
  static inline std::vector<Mouse> mouse;
};

HWND MakeWindow(const wchar_t* className, const wchar_t* title, RECT r, WNDPROC proc = DefWindowProcW) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = className;
  RegisterClassW(&wc);
  return CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, r.left, r.top, r.right - r.left,
                         r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
}

std::int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

TEST(Win32Wait, MessagesFlowDuringTheWaitAndStopEndsIt) {
  const HWND hwnd = MakeWindow(L"JiheWaitTest", L"wait", {0, 0, 10, 10}, MessageCounter::Proc);
  auto waiter = CreateThreadWaiter();
  MessageCounter::count = 0;
  PostMessageW(hwnd, WM_APP, 0, 0);
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(waiter->WaitPumping(60));
  EXPECT_GE(ElapsedMs(start), 55);
  EXPECT_EQ(MessageCounter::count, 1);

  start = std::chrono::steady_clock::now();
  EXPECT_TRUE(waiter->WaitPumping(0));
  EXPECT_LT(ElapsedMs(start), 50);

  auto stop = waiter->CreateStopSignal();
  std::thread raiser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    stop->Request();
  });
  start = std::chrono::steady_clock::now();
  EXPECT_FALSE(waiter->WaitPumping(1, WaitUnit::Minutes, stop.get()));
  EXPECT_LT(ElapsedMs(start), 2000);
  raiser.join();

  // A quit request that arrives during a wait stays for the message loop.
  PostQuitMessage(7);
  waiter->WaitPumping(10);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
  DestroyWindow(hwnd);
}

// ---- desktop ---------------------------------------------------------------------------------

TEST(Win32Desktop, ReadsWindowsPostsClicksAndMovesOffScreenWindows) {
  Win32Desktop desktop;
  const HWND chat = MakeWindow(L"TXGuiFoundation", L"客户测试", {-3000, -8, -2400, 692}, MessageCounter::Proc);
  const WindowId id = IdOf(chat);
  const std::vector<WindowId> windows = desktop.VisibleTopLevelWindows();
  EXPECT_NE(std::find(windows.begin(), windows.end(), id), windows.end());
  EXPECT_EQ(desktop.WindowText(id), "客户测试");
  EXPECT_EQ(desktop.ClassName(id), "TXGuiFoundation");
  EXPECT_EQ(desktop.WindowRect(id), (Rect{-3000, -8, -2400, 692}));
  const Rect frame = desktop.VisibleFrame(id);  // within the window's rectangle, wherever it is drawn
  EXPECT_TRUE(frame.left >= -3000 && frame.top >= -8 && frame.right <= -2400 && frame.bottom <= 692 &&
              frame.right > frame.left && frame.bottom > frame.top)
      << frame.left << "," << frame.top << "," << frame.right << "," << frame.bottom;
  const std::vector<platform::Monitor> monitors = desktop.Monitors();
  ASSERT_FALSE(monitors.empty());
  EXPECT_EQ(std::count_if(monitors.begin(), monitors.end(), [](const auto& m) { return m.primary; }), 1);
  EXPECT_FALSE(desktop.MonitorFromRect({-3000, -8, -2400, 692}, false));
  EXPECT_TRUE(desktop.MonitorFromRect({-3000, -8, -2400, 692}, true));

  EXPECT_FALSE(chat::EnsureWindowOnScreen(desktop, id, true));
  EXPECT_EQ(desktop.WindowRect(id), (Rect{50, 50, 650, 750}));
  EXPECT_TRUE(chat::EnsureWindowOnScreen(desktop, id, true));

  MessageCounter::mouse.clear();
  desktop.PostLeftClick(id, 350, 650);
  CreateThreadWaiter()->ProcessPendingMessages();
  const LPARAM at = MAKELPARAM(350, 650);
  using M = MessageCounter::Mouse;
  EXPECT_EQ(MessageCounter::mouse, (std::vector<M>{{WM_MOUSEMOVE, 2, static_cast<int>(at)},
                                                   {WM_LBUTTONDOWN, MK_LBUTTON, static_cast<int>(at)},
                                                   {WM_LBUTTONUP, 0, static_cast<int>(at)}}));
  DestroyWindow(chat);
  EXPECT_FALSE(desktop.Exists(id));
  EXPECT_EQ(desktop.WindowText(id), "");
}

TEST(Win32FollowLoop, DocksARealPanelFromItsWorkerAndStopsWithoutTheUiThreadPumping) {
  Win32Desktop desktop;
  settings::Options options;
  for (const auto& info : settings::AllOptions()) options.Set(info.option, false);
  options.Set(settings::Option::跟随QQ, true);
  options.Set(settings::Option::跟随到右边, true);
  const HWND panel = MakeWindow(L"JihePanelTest", L"霁禾客服助手", {900, 100, 1100, 600});
  const HWND chat = MakeWindow(L"TXGuiFoundation", L"客户测试", {150, 120, 750, 820});
  SetWindowPos(chat, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

  chat::FollowLoop loop;
  loop.Attach(desktop, options, IdOf(panel), [] { return CreateThreadWaiter(); });
  loop.StartFollowLoop();
  auto waiter = CreateThreadWaiter();
  RECT r{};
  for (int i = 0; i < 200; ++i) {  // the worker's moves are carried out by this thread's messages
    waiter->WaitPumping(10);
    GetWindowRect(panel, &r);
    if (r.left == 745) break;
  }
  EXPECT_EQ(r.left, 745);
  EXPECT_EQ(r.top, 128);
  EXPECT_EQ(loop.CurrentChatWindow(), IdOf(chat));

  // Move the chat window; stop at once, without pumping: the stop must not wait for this thread.
  MoveWindow(chat, 200, 150, 600, 700, TRUE);
  Sleep(400);
  loop.StopFollowLoop();
  GetWindowRect(panel, &r);
  const RECT afterStop = r;
  MoveWindow(chat, 300, 200, 600, 700, TRUE);
  waiter->WaitPumping(700);
  GetWindowRect(panel, &r);
  EXPECT_EQ(r.left, afterStop.left);  // no pass after the stop
  EXPECT_EQ(r.top, afterStop.top);
  DestroyWindow(chat);
  DestroyWindow(panel);
}

}  // namespace
}  // namespace jihe::platform
