// The team library in the running panel, with a local folder standing in for the office share: its
// groups as tabs after the agent's own, a team picture sent, the refusal of every change, a change
// made by the team lead arriving while the panel runs, and the cache when the folder goes away.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "app/commands.h"
#include "e2e/jihe_driver.h"
#include "library/input_box_win32.h"
#include "library/team_groups.h"
#include "platform/file_system.h"
#include "platform/picture_win32.h"
#include "platform/utf16.h"
#include "storage/store.h"
#include "storage/team_library.h"

namespace jihe::e2e {
namespace {

constexpr int kPhraseStripId = 110;
constexpr int kPhraseListId = 120;
constexpr int kPhraseSearchId = 180;

class TeamLibraryE2e : public ::testing::Test {
 protected:
  // The agent has one own phrase group; the team folder has "公告" (two rows, the second a
  // picture of the team's img) and one command group.
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(platform::CreateDirectories(team_.Utf8(L"img")));
    const auto png = platform::EncodePng({3, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF0000FF, 0xFF000000, 0xFFFFFFFF}});
    ASSERT_TRUE(png);
    ASSERT_TRUE(platform::WriteFileAtomically(team_.Utf8(L"img\\t.png"), *png));
    SaveTeam({"欢迎┃您好，欢迎光临", "[img=t.pngimg]"});
    ASSERT_TRUE(WriteOptions(data_, {{"跟随旺旺", true}, {"自动点发送", true}, {"双击发送", true}}));
    ASSERT_TRUE(storage::SaveTeamFolderSetting(storage::DataFolder(data_.Utf8()), team_.Utf8()));
  }
  void TearDown() override { CoUninitialize(); }

  // What the team lead saves with the program or jihe-data: an ordinary Data folder.
  void SaveTeam(std::vector<std::string> rows) {
    storage::Store store{storage::DataFolder(team_.Utf8())};
    ASSERT_TRUE(store.folder().EnsureFolders());
    storage::Workspace ws;
    ws.library.phrases.slots() = {library::Group("公告", std::move(rows))};
    ws.library.commands.slots() = {library::Group("团队网址", {"https://example.com/"})};
    ASSERT_EQ(store.SaveAll(ws).failures, 0);
  }

  // The team folder by its network path, as team leads name it: ./dev maps \\\\teamserver\\share to
  // the prefix's drive C (Wine's dosdevices\\unc).
  std::string NetworkPathOfTeam() const {
    const std::wstring local = team_.path();
    if (local.size() < 3 || towupper(local[0]) != L'C' || local[1] != L':') return {};
    return platform::Narrow(L"\\\\teamserver\\share\\" + local.substr(3));
  }

  std::vector<std::string> Tabs(const Jihe& jihe) const {
    HWND strip = GetDlgItem(jihe.Panel(), kPhraseStripId);
    std::vector<std::string> tabs;
    for (int i = 0; i < TabCtrl_GetItemCount(strip); ++i) tabs.push_back(jihe.TabCaption(strip, i));
    return tabs;
  }

  TempFolder data_;
  TempFolder team_;
};

TEST_F(TeamLibraryE2e, TeamTabsSendRefuseChangesAndFollowTheTeamFolder) {
  const std::string network = NetworkPathOfTeam();
  ASSERT_TRUE(platform::FileExists(network + "\\数据\\conf.ini"))
      << "\\\\teamserver\\share does not lead to drive C: " << network;
  ASSERT_TRUE(storage::SaveTeamFolderSetting(storage::DataFolder(data_.Utf8()), network));
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  const std::vector<std::string> withTeam{"分组1", "团队·公告"};
  ASSERT_TRUE(WaitFor([&] { return Tabs(jihe) == withTeam; })) << "the team tab does not show";
  HWND strip = GetDlgItem(panel, kPhraseStripId);
  HWND list = GetDlgItem(panel, kPhraseListId);
  ASSERT_TRUE(ClickTab(jihe.process(), strip, 1));
  ASSERT_TRUE(WaitFor([&] { return ListView_GetItemCount(list) == 2; }));

  {
    // The picture token resolves in the team folder's img, on the share.
    FakeChat wangwang(data_, "StandardFrame", "阿里旺旺 - 客户丙", {340, 60, 560, 600});
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(panel) && RectOf(panel).left == wangwang.rect().right - 5; }));
    ASSERT_TRUE(SelectListRow(jihe.process(), list, 1));
    jihe.PostCommand(static_cast<UINT>(app::Command::SendThisPhrase));
    const auto events = wangwang.WaitForEvents(1);
    ASSERT_GE(events.size(), 1u);
    EXPECT_EQ(events[0].Field("picture"), "3x2");

    // The team lead deletes the picture: the copy that the cache keeps goes out. (A send asked for
    // while the last one still gives the clipboard back is not taken: asked again until it is.)
    ASSERT_TRUE(platform::RemoveFile(team_.Utf8(L"img\\t.png")));
    const size_t before = wangwang.Events().size();
    for (int i = 0; i < 10 && wangwang.Events().size() == before; ++i) {
      jihe.PostCommand(static_cast<UINT>(app::Command::SendThisPhrase));
      WaitFor([&] { return wangwang.Events().size() > before; }, 1000);
    }
    const auto again = wangwang.WaitForEvents(before + 1);
    ASSERT_GT(again.size(), before);
    EXPECT_EQ(again[before].Field("picture"), "3x2");
  }

  // Rows and the group itself refuse every change.
  ASSERT_TRUE(SelectListRow(jihe.process(), list, 0));
  for (app::Command change : {app::Command::EditPhrase, app::Command::DeletePhrase, app::Command::PhraseDragSort,
                              app::Command::RenameGroup, app::Command::DeleteGroup}) {
    jihe.PostCommand(static_cast<UINT>(change));
    ExpectMessage(jihe, library::kTeamReadOnly);
  }
  EXPECT_EQ(ListView_GetItemCount(list), 2);

  // The search finds team phrases, under their tab's caption, and they stay read-only there.
  HWND search = GetDlgItem(panel, kPhraseSearchId);
  SendMessageW(search, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"huanying"));
  ASSERT_TRUE(WaitFor([&] { return ListView_GetItemCount(list) == 1; }));
  EXPECT_EQ(ListCellText(jihe.process(), list, 0, 0), "团队·公告 · 欢迎┃您好，欢迎光临");
  jihe.PostCommand(static_cast<UINT>(app::Command::DeletePhrase));
  ExpectMessage(jihe, library::kTeamReadOnly);
  SendMessageW(search, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  ASSERT_TRUE(WaitFor([&] { return ListView_GetItemCount(list) == 2; }));

  // The agent's save leaves the team's groups out of the agent's Data folder.
  SendMessageW(panel, WM_COMMAND, static_cast<WPARAM>(app::Command::SaveConfig), 0);
  EXPECT_FALSE(platform::FileExists(data_.Utf8(L"数据\\短语\\公告.txt")));

  // The team lead changes the second row: it shows while the first stays selected.
  SaveTeam({"欢迎┃您好，欢迎光临", "新的活动已开始"});
  EXPECT_TRUE(WaitFor([&] { return ListCellText(jihe.process(), list, 1, 0) == "新的活动已开始"; }, 12000));
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 0);
  EXPECT_EQ(TabCtrl_GetCurSel(strip), 1);

  // A new group is the agent's own, whichever tab is shown: it goes after the own groups.
  jihe.PostCommand(static_cast<UINT>(app::Command::AddGroup));
  HWND box = jihe.WaitForWindowTitled("添加分组");
  ASSERT_NE(box, nullptr) << "adding a group was refused on the team tab";
  SendMessageW(GetDlgItem(box, library::kInputBoxEditId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"新组"));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  const std::vector<std::string> added{"分组1", "新组", "团队·公告"};
  EXPECT_TRUE(WaitFor([&] { return Tabs(jihe) == added; }));
}

// Six own groups and five team groups overflow the narrow panel's strip: its arrows lie clear of
// the "≡" button, and the eleventh tab is reached with the mouse alone.
TEST_F(TeamLibraryE2e, TheEleventhTabIsReachedByMouse) {
  {
    storage::Store team{storage::DataFolder(team_.Utf8())};
    storage::Workspace ws;
    ws.library.phrases.slots().clear();
    for (int i = 1; i <= 5; ++i)
      ws.library.phrases.slots().push_back(library::Group("资料" + std::to_string(i), std::vector<std::string>(i, "行")));
    ws.library.commands.slots() = {library::Group("团队网址", {"https://example.com/"})};
    ASSERT_EQ(team.SaveAll(ws).failures, 0);
    storage::Store own{storage::DataFolder(data_.Utf8())};
    ASSERT_TRUE(own.folder().EnsureFolders());
    storage::Workspace mine;
    mine.library.phrases.slots().clear();
    for (int i = 1; i <= 6; ++i) mine.library.phrases.slots().push_back(library::Group("分组" + std::to_string(i), {}));
    mine.library.commands.slots() = {library::Group("默认", {})};
    ASSERT_EQ(own.SaveAll(mine).failures, 0);
    ASSERT_TRUE(storage::SaveTeamFolderSetting(own.folder(), team_.Utf8()));
  }
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  HWND strip = GetDlgItem(panel, kPhraseStripId);
  HWND list = GetDlgItem(panel, kPhraseListId);
  ASSERT_TRUE(WaitFor([&] { return TabCtrl_GetItemCount(strip) == 11; }));
  HWND arrows = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (arrows = FindWindowExW(strip, nullptr, UPDOWN_CLASSW, nullptr)) && IsWindowVisible(arrows); }));

  // What lies under a point of the screen is what a click there reaches.
  const auto clickAt = [](POINT screen) {
    HWND under = WindowFromPoint(screen);
    POINT client = screen;
    ScreenToClient(under, &client);
    PostClick(under, client);
    return under;
  };
  RemoteMemory remote(jihe.process(), sizeof(RECT));
  const auto lastTab = [&] {
    RECT rc{};
    SendMessageW(strip, TCM_GETITEMRECT, 10, remote.lparam());
    remote.Read(&rc, sizeof rc);
    MapWindowPoints(strip, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
  };
  for (int step = 0; step < 12 && lastTab().left + 8 > RectOf(arrows).left; ++step) {
    const RECT a = RectOf(arrows);
    const LONG before = lastTab().left;
    // The arrow that scrolls right: the right half of the pair.
    ASSERT_EQ(clickAt({a.right - (a.right - a.left) / 4, (a.top + a.bottom) / 2}), arrows) << "the arrows are covered";
    ASSERT_TRUE(WaitFor([&] { return lastTab().left != before; }, 3000)) << "the strip did not scroll";
  }
  const RECT tab = lastTab();
  const LONG right = std::min(tab.right, RectOf(arrows).left);
  ASSERT_GT(right - tab.left, 8) << "the last tab stays under the arrows";
  ASSERT_EQ(clickAt({(tab.left + right) / 2, (tab.top + tab.bottom) / 2}), strip);
  EXPECT_TRUE(WaitFor([&] { return TabCtrl_GetCurSel(strip) == 10 && ListView_GetItemCount(list) == 5; }));
}

TEST_F(TeamLibraryE2e, AFolderGoneAwayLeavesTheCachedGroupsAndOneBalloon) {
  Jihe jihe(data_.path());
  HWND panel = jihe.WaitForPanel();
  ASSERT_NE(panel, nullptr);
  const std::vector<std::string> withTeam{"分组1", "团队·公告"};
  ASSERT_TRUE(WaitFor([&] { return Tabs(jihe) == withTeam; }));
  const auto visibleBalloons = [] {
    int n = 0;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
      if (IsWindowVisible(w) && ClassOf(w) == TOOLTIPS_CLASSW) ++n;
    return n;
  };
  ASSERT_TRUE(HoldsFor([&] { return visibleBalloons() == 0; }, 300));

  // A reload during a search searches again and keeps the selected result by its text, though a
  // new row now stands before it.
  HWND search = GetDlgItem(panel, kPhraseSearchId);
  HWND list = GetDlgItem(panel, kPhraseListId);
  SendMessageW(search, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"huanying"));
  ASSERT_TRUE(WaitFor([&] { return ListView_GetItemCount(list) == 1; }));
  SaveTeam({"欢迎新客┃新人礼包", "欢迎┃您好，欢迎光临"});
  ASSERT_TRUE(WaitFor([&] { return ListView_GetItemCount(list) == 2; }, 12000));
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 1);
  // The selected row changed: nothing is selected, so Enter sends no other phrase.
  SaveTeam({"欢迎新客┃新人礼包", "欢迎┃您好，欢迎光临！"});
  ASSERT_TRUE(WaitFor([&] { return ListView_GetNextItem(list, -1, LVNI_SELECTED) != 1; }, 12000));
  EXPECT_EQ(ListView_GetItemCount(list), 2);
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), -1);
  SendMessageW(search, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));

  const std::wstring away = team_.path() + L"_away";
  ASSERT_TRUE(MoveFileW(team_.path().c_str(), away.c_str()));
  // A folder renamed away may send no notification: the 10 s check finds it, and the tray shows a
  // balloon about 2 s after it is asked for.
  EXPECT_TRUE(WaitFor([&] { return visibleBalloons() > 0; }, 16000)) << "no balloon for the outage";
  EXPECT_EQ(Tabs(jihe), withTeam) << "the cached groups stay";
  ASSERT_TRUE(MoveFileW(away.c_str(), team_.path().c_str()));
}

}  // namespace
}  // namespace jihe::e2e
