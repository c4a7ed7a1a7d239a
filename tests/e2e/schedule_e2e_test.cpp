// The daily schedule of jihe.exe driven through its page: rows added with the time picker, the
// type box, the content box and the add button; the switch; the Reminder popup that opens, shakes
// and is silenced by a click; and a timed shutdown, whose command line the program started with
// --record-commands writes to a file instead of running it, after which the program saves and ends.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <utility>

#include "e2e/jihe_driver.h"
#include "platform/file_system.h"
#include "platform/utf16.h"
#include "schedule/reminder_popup_win32.h"
#include "storage/ini_file.h"

namespace jihe::e2e {
namespace {

using platform::Widen;
using SteadyClock = std::chrono::steady_clock;

// The controls of the page "其他工具", by the ids the panel gives them.
constexpr int kTopTabsId = 100, kToolsTabId = 150, kScheduleFrameId = 151, kSoundBoxId = 157, kScheduleSwitchId = 152, kTimePickerId = 153, kTypeBoxId = 154, kAddButtonId = 155,
              kContentBoxId = 156, kScheduleListId = 161;

std::string MinuteStamp(int hour, int minute) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", hour, minute);
  return text;
}

void SetText(HWND hwnd, const std::string& text) {
  const std::wstring wide = Widen(text);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG, 5000, &result);
}

POINT TopLeft(HWND hwnd) {
  const RECT rc = RectOf(hwnd);
  return {rc.left, rc.top};
}

class ScheduleE2e : public ::testing::Test {
 protected:
  TempFolder data_;
};

TEST_F(ScheduleE2e, ReminderShakesUntilClickedThenTheShutdownRowEndsTheProgram) {
  const std::wstring commands = data_.path() + L"\\命令.txt";
  Jihe jihe(data_.path(), L"--record-commands \"" + commands + L"\"");
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  HWND switchBox = GetDlgItem(panel, kScheduleSwitchId), picker = GetDlgItem(panel, kTimePickerId),
       typeBox = GetDlgItem(panel, kTypeBoxId), addButton = GetDlgItem(panel, kAddButtonId),
       contentBox = GetDlgItem(panel, kContentBoxId), list = GetDlgItem(panel, kScheduleListId);
  ASSERT_TRUE(switchBox && picker && typeBox && addButton && contentBox && list);
  ASSERT_TRUE(ClickTab(jihe.process(), GetDlgItem(panel, kTopTabsId), 2));
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(addButton) && IsWindowVisible(list); }));

  // The refusals: switching on an empty list, adding a reminder without content.
  PostMessageW(switchBox, BM_CLICK, 0, 0);
  ExpectMessage(jihe, "列表中没有设置定时项目！");
  EXPECT_EQ(Button_GetCheck(switchBox), BST_UNCHECKED);
  EXPECT_EQ(Text(contentBox), "请输入定时提醒内容");
  PostMessageW(addButton, BM_CLICK, 0, 0);
  ExpectMessage(jihe, "请在下方输入框设置好提醒内容！");
  EXPECT_EQ(ListView_GetItemCount(list), 0);

  // A reminder for this minute and a shutdown for the next. Switching on checks the current minute
  // at once; far enough from its end that the check still falls inside it.
  SYSTEMTIME now{};
  ASSERT_TRUE(WaitFor([&] {
    GetLocalTime(&now);
    return now.wSecond < 50;
  }, 12000));
  const int hour = now.wHour, minute = now.wMinute;
  const int nextHour = minute == 59 ? (hour + 1) % 24 : hour, nextMinute = (minute + 1) % 60;
  const std::string reminderText = "下午三点回访客户\r\n记得发优惠券";
  ASSERT_TRUE(SetPickerTime(jihe.process(), picker, hour, minute));
  SetText(contentBox, reminderText);
  PostMessageW(addButton, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return ListView_GetItemCount(list) == 1; }));

  const RECT reminderLayout = RectOf(list);
  SendMessageW(typeBox, CB_SETCURSEL, 1, 0);
  PostControlCommand(typeBox, CBN_SELCHANGE);
  ASSERT_TRUE(WaitFor([&] { return RectOf(list).top != reminderLayout.top; }));
  const RECT shutdownLayout = RectOf(list);
  EXPECT_EQ(shutdownLayout.bottom - shutdownLayout.top, 262) << "the shutdown layout's list covers the content box";
  EXPECT_EQ(reminderLayout.bottom - reminderLayout.top, 171);
  EXPECT_EQ(reminderLayout.top - shutdownLayout.top, 139 - 48);
  ASSERT_TRUE(SetPickerTime(jihe.process(), picker, nextHour, nextMinute));
  PostMessageW(addButton, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return ListView_GetItemCount(list) == 2; }));
  EXPECT_EQ(ListCellText(jihe.process(), list, 0, 0), MinuteStamp(hour, minute));
  EXPECT_EQ(ListCellText(jihe.process(), list, 0, 1), "定时提醒");
  EXPECT_EQ(ListCellText(jihe.process(), list, 1, 0), MinuteStamp(nextHour, nextMinute));
  EXPECT_EQ(ListCellText(jihe.process(), list, 1, 1), "定时关机");

  PostMessageW(switchBox, BM_CLICK, 0, 0);
  HWND popup = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    popup = TopLevelOf(jihe, schedule::kReminderPopupClass);
    return popup && IsWindowVisible(popup);
  }, 5000)) << "no Reminder popup";
  const auto openedAt = SteadyClock::now();
  const POINT origin = TopLeft(popup);
  EXPECT_EQ(Button_GetCheck(switchBox), BST_CHECKED);

  // The popup: its title, size, place and the reminder's text.
  EXPECT_EQ(Text(popup), "定时提醒");
  const RECT rc = RectOf(popup);
  EXPECT_EQ(rc.right - rc.left, 351);
  EXPECT_EQ(rc.bottom - rc.top, 202);
  EXPECT_LE(std::abs(origin.x - (GetSystemMetrics(SM_CXSCREEN) - 351) / 2), 1);
  EXPECT_LE(std::abs(origin.y - (GetSystemMetrics(SM_CYSCREEN) - 202) / 2), 1);
  EXPECT_TRUE(IsTopmostWindow(popup));
  EXPECT_EQ(GetWindow(popup, GW_OWNER), nullptr);
  HWND textBox = ChildByClass(popup, WC_EDITW, true);
  ASSERT_NE(textBox, nullptr);
  EXPECT_EQ(Text(textBox), reminderText);
  EXPECT_EQ(ListCellText(jihe.process(), list, 0, 2), std::to_string(now.wDay) + "日" + MinuteStamp(hour, minute) + "已执行");
  EXPECT_EQ(ListCellText(jihe.process(), list, 1, 2), "");

  // The shake: after a while at rest, 3-pixel steps up, left, down and right of where it opened.
  const std::set<std::pair<int, int>> steps = {{0, -3}, {-3, 0}, {0, 3}, {3, 0}};
  std::set<std::pair<int, int>> seen, strays;
  double firstMoveMs = -1;
  for (auto deadline = openedAt + std::chrono::seconds(5); SteadyClock::now() < deadline && seen.size() < 4;) {
    const POINT at = TopLeft(popup);
    const std::pair<int, int> offset{at.x - origin.x, at.y - origin.y};
    if (offset != std::pair<int, int>{0, 0}) {
      if (firstMoveMs < 0) firstMoveMs = std::chrono::duration<double, std::milli>(SteadyClock::now() - openedAt).count();
      (steps.count(offset) ? seen : strays).insert(offset);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 4, QS_ALLINPUT);
  }
  EXPECT_EQ(seen, steps);
  EXPECT_TRUE(strays.empty()) << strays.size() << " positions that are no step of the shake";
  EXPECT_GE(firstMoveMs, 600) << "the shake begins 800 ms after the popup opened";

  // A click on the text stops it at the end of the running round, where it began.
  PostMessageW(textBox, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  PostMessageW(textBox, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  auto restingSince = SteadyClock::now();
  const bool rested = WaitFor([&] {
    const POINT at = TopLeft(popup);
    if (at.x != origin.x || at.y != origin.y) restingSince = SteadyClock::now();
    return SteadyClock::now() - restingSince > std::chrono::milliseconds(1000);
  }, 5000);
  EXPECT_TRUE(rested) << "still shaking after the click";
  EXPECT_TRUE(HoldsFor([&] {
    const POINT at = TopLeft(popup);
    return at.x == origin.x && at.y == origin.y;
  }, 1000)) << "moved again after resting";
  EXPECT_TRUE(IsWindowVisible(popup)) << "the click leaves the popup open";

  // The next minute: the shutdown command is started (recorded here), and a second later the
  // program closes with its save.
  const std::string commandsFile = platform::Narrow(commands);
  ASSERT_TRUE(WaitFor([&] { return platform::FileExists(commandsFile); }, 75000)) << "no shutdown";
  const auto startedAt = SteadyClock::now();
  DWORD code = 1;
  ASSERT_TRUE(jihe.WaitForExit(10000, &code));
  const double graceMs = std::chrono::duration<double, std::milli>(SteadyClock::now() - startedAt).count();
  EXPECT_EQ(code, 0u);
  EXPECT_GE(graceMs, 700) << "the program closes about a second after starting the command";
  EXPECT_EQ(platform::ReadWholeFile(commandsFile).value_or(""),
            "\"" + platform::SystemDirectory() + "\\shutdown.exe\" -s -f -t 60\r\n");
  storage::IniFile config = storage::IniFile::Load(data_.Utf8(L"config.ini"));
  EXPECT_EQ(config.GetString("主面板", "定时项目"),
            MinuteStamp(hour, minute) + "--定时提醒[br]" + MinuteStamp(nextHour, nextMinute) + "--定时关机[br]");
  EXPECT_EQ(config.GetString("主面板", "定时开关"), "真");
}

// The page's frame is drawn over its tab control; the content box keeps what the agent types, also
// through a resize; the sound box takes typing, so it can be emptied for the built-in sound.
TEST_F(ScheduleE2e, FrameShowsAndTheBoxesTakeTyping) {
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  HWND contentBox = GetDlgItem(panel, kContentBoxId), soundBox = GetDlgItem(panel, kSoundBoxId);
  ASSERT_TRUE(ClickTab(jihe.process(), GetDlgItem(panel, kTopTabsId), 2));
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(contentBox) != FALSE; }));

  const std::vector<HWND> zOrder = Children(panel);
  const auto place = [&](HWND h) { return std::find(zOrder.begin(), zOrder.end(), h) - zOrder.begin(); };
  EXPECT_LT(place(GetDlgItem(panel, kScheduleFrameId)), place(GetDlgItem(panel, kToolsTabId)))
      << "the frame lies above the tab control, which would clip it";

  PostClick(contentBox, {20, 10});
  ASSERT_TRUE(WaitFor([&] { return Text(contentBox).empty(); })) << "the placeholder leaves with the focus";
  const RECT rc = RectOf(panel);
  SetWindowPos(panel, nullptr, 0, 0, rc.right - rc.left + 30, rc.bottom - rc.top + 30,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(HoldsFor([&] { return Text(contentBox).empty(); }, 500)) << Text(contentBox);
  // The frame's left border is on screen after the resize: a dark pixel in nearly every row.
  const RECT frame = RectOf(GetDlgItem(panel, kScheduleFrameId));
  HDC screen = GetDC(nullptr);
  int rowsWithLine = 0, rows = 0;
  for (int y = frame.top + 20; y < frame.bottom - 10; y += 4, ++rows) {
    for (int x = frame.left; x < frame.left + 4; ++x) {
      const COLORREF c = GetPixel(screen, x, y);
      if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 200) {
        ++rowsWithLine;
        break;
      }
    }
  }
  ReleaseDC(nullptr, screen);
  EXPECT_GT(rowsWithLine, rows * 9 / 10) << "the frame's border is drawn";
  PostMessageW(contentBox, WM_CHAR, L'喝', 0);
  EXPECT_TRUE(WaitFor([&] { return Text(contentBox) == "喝"; })) << Text(contentBox);

  EXPECT_EQ(Text(soundBox), "默认声音");
  SendMessageW(soundBox, EM_SETSEL, 0, -1);
  PostMessageW(soundBox, WM_CHAR, VK_BACK, 0);
  ASSERT_TRUE(WaitFor([&] { return Text(soundBox).empty(); })) << "the sound box takes typing";
  jihe.ClickMenu("保存配置");
  EXPECT_TRUE(WaitFor([&] {
    return storage::IniFile::Load(data_.Utf8(L"config.ini")).GetString("主面板", "music", "?").empty();
  })) << "the empty box stands for the built-in sound";
}

}  // namespace
}  // namespace jihe::e2e
