#include "library/preview_window_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "fakes/temp_dir.h"
#include "library/preview_capture_win32.h"
#include "platform/com_scope_win32.h"
#include "platform/utf16.h"
#include "platform/window_win32.h"

namespace jihe::library {
namespace {

using jihe::testing::Bounds;
using jihe::testing::Pixels;
using platform::Scale;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kPlaceholderGrey = RGB(160, 160, 160);
constexpr COLORREF kRuleGrey = RGB(154, 154, 154);
constexpr COLORREF kLinkBlue = RGB(0, 0, 238);

// The first row that the grey of a rule crosses for most of the width, or -1.
int RuleRow(const Pixels& pixels) {
  for (int y = 0; y < pixels.height; ++y) {
    int count = 0;
    for (int x = 0; x < pixels.width; ++x) count += pixels.At(x, y) == kRuleGrey;
    if (count > pixels.width * 3 / 4) return y;
  }
  return -1;
}

HWND FindPreview() {
  HWND window = FindWindowW(kPreviewWindowClass, platform::Widen(kPreviewTitle).c_str());
  return window && IsWindowVisible(window) ? window : nullptr;
}

// Runs ShowPreview on this thread as the editor would, while `check` looks at the open window from
// another thread. Returns false when the preview did not open; an open preview that `check` leaves
// open is closed after a while, so a failing test cannot hang.
struct PreviewSession {
  bool opened = false;
  bool closedByCheck = false;
};
PreviewSession RunPreview(HWND waitingWindow, const std::string& content,
                          const storage::DataFolder& folder,
                          const std::function<void(HWND)>& check) {
  PreviewSession result;
  std::atomic<bool> returned{false};
  std::thread checker([&] {
    platform::ComScope com;
    HWND window = nullptr;
    for (int i = 0; i < 250 && !window && !returned; ++i, Sleep(20)) window = FindPreview();
    if (!window) return;
    result.opened = true;
    check(window);
    for (int i = 0; i < 250 && !returned; ++i) Sleep(20);
    result.closedByCheck = returned;
    if (!returned) PostMessageW(window, WM_CLOSE, 0, 0);
  });
  ShowPreview(waitingWindow, content, folder);
  returned = true;
  checker.join();
  return result;
}

// Polls the view's pixels on screen until `ready` holds for them.
Pixels WaitForView(HWND view, const std::function<bool(const Pixels&)>& ready) {
  Pixels pixels;
  for (int i = 0; i < 250; ++i, Sleep(20)) {
    RECT rc{};
    GetClientRect(view, &rc);
    MapWindowPoints(view, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    pixels = jihe::testing::CaptureScreen(rc);
    if (pixels.width > 0 && ready(pixels)) break;
  }
  return pixels;
}

struct Fixture {
  platform::ComScope com;
  jihe::testing::TempDir dir;
  storage::DataFolder folder{dir.str()};
  Fixture() {
    folder.EnsureFolders();
    const std::wstring img = platform::Widen(folder.ImgFolder());
    EXPECT_TRUE(jihe::testing::WriteSolidPng(img + L"红色.png", 40, 30, kRed));
    EXPECT_TRUE(jihe::testing::WriteSolidPng(img + L"wide.png", 800, 80, kBlue));
  }
};

TEST(PreviewWindowTest, ShowsTextAndPicturesAndEscCloses) {
  Fixture f;
  // The editor, which waits while the preview is open.
  HWND editor = CreateWindowExW(0, L"STATIC", L"编辑器", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  const std::string content =
      "第一行文字\r\n[img=红色.pngimg]\r\n[IMG=不存在.PNGIMG]\r\n[IMG=WIDE.PNGIMG]\r\n"
      "<b>粗体</b>《C:\\资料\\报价.doc》<hr><a href=\"http://x\">链接</a>";

  UINT dpi = 96;
  RECT outer{}, client{}, view{}, work{};
  DWORD style = 0, exStyle = 0;
  HWND owner = nullptr;
  bool editorDisabled = false;
  Bounds red, blue, grey, link;
  int textAbove = 0, textBelow = 0, viewWidth = 0, ruleRow = -1;
  const PreviewSession run = RunPreview(editor, content, f.folder, [&](HWND window) {
    dpi = platform::DpiOf(window);
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    owner = GetWindow(window, GW_OWNER);
    editorDisabled = !IsWindowEnabled(editor);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &mi);
    work = mi.rcWork;
    HWND viewWindow = FindWindowExW(window, nullptr, kPreviewViewClass, nullptr);
    if (!viewWindow) return;
    GetWindowRect(viewWindow, &view);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&view), 2);
    const Pixels pixels = WaitForView(viewWindow, [](const Pixels& p) {
      return jihe::testing::FindColour(p, kRed).count > 0 &&
             jihe::testing::FindColour(p, kBlue).count > 0;
    });
    viewWidth = pixels.width;
    red = jihe::testing::FindColour(pixels, kRed);
    blue = jihe::testing::FindColour(pixels, kBlue);
    grey = jihe::testing::FindColour(pixels, kPlaceholderGrey);
    ruleRow = RuleRow(pixels);
    link = jihe::testing::FindColour(pixels, kLinkBlue);
    textAbove = jihe::testing::DarkPixels(pixels, 0, red.top);
    textBelow = jihe::testing::DarkPixels(pixels, blue.bottom, pixels.height);
    SetForegroundWindow(window);
    jihe::testing::PressKey(VK_ESCAPE);
  });
  const bool editorEnabledAfter = IsWindowEnabled(editor);
  DestroyWindow(editor);

  ASSERT_TRUE(run.opened);
  EXPECT_TRUE(run.closedByCheck) << "Esc did not close the preview";
  EXPECT_TRUE(editorDisabled);
  EXPECT_TRUE(editorEnabledAfter);
  EXPECT_EQ(owner, nullptr);

  // The window: design size at this DPI, centred, resizable with a close box only, on top.
  EXPECT_EQ(outer.right - outer.left, Scale(383, dpi));
  EXPECT_EQ(outer.bottom - outer.top, Scale(326, dpi));
  EXPECT_NEAR((outer.left + outer.right) / 2, (work.left + work.right) / 2, 1);
  EXPECT_NEAR((outer.top + outer.bottom) / 2, (work.top + work.bottom) / 2, 1);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);

  // The view: 10 pixels less than the window, never past its client area.
  EXPECT_EQ(view.left, 0);
  EXPECT_EQ(view.top, 0);
  EXPECT_EQ(view.right, std::min<LONG>(outer.right - outer.left - Scale(10, dpi), client.right));
  EXPECT_EQ(view.bottom, std::min<LONG>(outer.bottom - outer.top - Scale(10, dpi), client.bottom));

  // The red picture at its own size, below the first line of text.
  EXPECT_EQ(red.width(), Scale(40, dpi));
  EXPECT_EQ(red.height(), Scale(30, dpi));
  EXPECT_GT(textAbove, 0) << "no text above the picture";
  // The missing picture is a grey box between the two pictures.
  EXPECT_GT(grey.count, 0);
  EXPECT_GE(grey.top, red.bottom);
  EXPECT_LE(grey.bottom, blue.top);
  // The wide picture is scaled down to the view's width with its proportions.
  EXPECT_LE(blue.right, viewWidth);
  EXPECT_GT(blue.width(), viewWidth / 2);
  EXPECT_NEAR(blue.height(), blue.width() / 10, 1);
  // The last line (bold text and the file token as text) below it.
  EXPECT_GT(textBelow, 0) << "no text below the pictures";
  // A rule across the view below that, and under it the link in its own colour, underlined.
  EXPECT_GE(ruleRow, blue.bottom);
  EXPECT_GT(link.count, 0);
  EXPECT_GT(link.top, ruleRow);
}

TEST(PreviewWindowTest, LongContentScrolls) {
  Fixture f;
  std::string content;
  for (int i = 1; i <= 60; ++i) content += "第" + std::to_string(i) + "行\r\n";
  content += "[img=红色.pngimg]";

  SCROLLINFO before{}, after{};
  before.cbSize = after.cbSize = sizeof before;
  before.fMask = after.fMask = SIF_ALL;
  bool redBefore = true, redAfter = false;
  const PreviewSession run = RunPreview(nullptr, content, f.folder, [&](HWND window) {
    HWND viewWindow = FindWindowExW(window, nullptr, kPreviewViewClass, nullptr);
    if (!viewWindow) return;
    // Painted: text shows at the top.
    WaitForView(viewWindow,
                [](const Pixels& p) { return jihe::testing::DarkPixels(p, 0, p.height) > 0; });
    GetScrollInfo(viewWindow, SB_VERT, &before);
    redBefore =
        jihe::testing::FindColour(WaitForView(viewWindow, [](const Pixels&) { return true; }), kRed)
            .count > 0;
    SetForegroundWindow(window);
    jihe::testing::PressKey(VK_END);
    const Pixels end = WaitForView(
        viewWindow, [](const Pixels& p) { return jihe::testing::FindColour(p, kRed).count > 0; });
    redAfter = jihe::testing::FindColour(end, kRed).count > 0;
    GetScrollInfo(viewWindow, SB_VERT, &after);
    jihe::testing::PressKey(VK_ESCAPE);
  });
  ASSERT_TRUE(run.opened);
  EXPECT_TRUE(run.closedByCheck);
  EXPECT_GT(before.nMax + 1, static_cast<int>(before.nPage)) << "no scroll range";
  EXPECT_EQ(before.nPos, 0);
  EXPECT_FALSE(redBefore) << "the picture at the end should start out of view";
  EXPECT_TRUE(redAfter) << "End did not scroll to the picture";
  EXPECT_EQ(after.nPos, after.nMax + 1 - static_cast<int>(after.nPage));
}

// Not a test: writes the preview with its pictures to $JIHE_SHOTS_DIR\preview.png.
TEST(DISABLED_Shots, Preview) {
  const std::wstring shots = jihe::testing::ShotsFolder();
  if (shots.empty()) GTEST_SKIP() << "JIHE_SHOTS_DIR is not set";
  Fixture f;
  const std::string content =
      "您好，欢迎光临<font color=red size=5>本店</font>！<!-- 备注不显示 -->\r\n"
      "下面是<b>本周特价</b>商品图片：[img=红色.pngimg][img=已删除的图片.pngimg]\r\n"
      "[img=wide.pngimg]\r\n"
      "<span style=\"color:#008000; font-size:20px\">满99元包邮</span>，<s>原价199</s> "
      "<i>现价99</i>&nbsp;&lt;限时&gt;<hr>"
      "<a href=\"http://shop\">进店看看</a> <font face='SimSun' color=\"#336699\" size=2>"
      "详情见《C:\\资料\\价目表.xls》</font><unknown>";
  bool saved = false;
  const PreviewSession run = RunPreview(nullptr, content, f.folder, [&](HWND window) {
    HWND viewWindow = FindWindowExW(window, nullptr, kPreviewViewClass, nullptr);
    WaitForView(viewWindow,
                [](const Pixels& p) { return jihe::testing::FindColour(p, kBlue).count > 0; });
    saved = jihe::testing::SavePng(
        shots + L"preview.png", jihe::testing::CaptureScreen(jihe::testing::ScreenRectOf(window)));
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  EXPECT_TRUE(run.opened);
  EXPECT_TRUE(saved);
}

}  // namespace
}  // namespace jihe::library
