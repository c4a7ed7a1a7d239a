#include "storage/team_session_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "fakes/hanging_share.h"
#include "fakes/temp_dir.h"
#include "storage/store.h"

namespace jihe::storage {
namespace {

using library::Group;
using std::chrono::milliseconds;

constexpr UINT kTeamMessage = WM_APP + 7;

class TeamSessionTest : public ::testing::Test {
 protected:
  TeamSessionTest() {
    window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    EXPECT_TRUE(window_);
    EXPECT_TRUE(DataFolder(team_).EnsureFolders());
  }
  ~TeamSessionTest() override { DestroyWindow(window_); }

  void SaveTeam(std::vector<std::string> rows) {
    Workspace ws;
    ws.library.phrases.slots() = {Group("问候", std::move(rows))};
    lead_.SaveAll(ws);
  }

  // The next update the window receives within `limitMs`; nothing when none comes.
  std::unique_ptr<TeamUpdate> NextUpdate(TeamSession& session, DWORD limitMs) {
    const ULONGLONG end = GetTickCount64() + limitMs;
    for (;;) {
      MSG msg;
      while (PeekMessageW(&msg, window_, kTeamMessage, kTeamMessage, PM_REMOVE)) {
        if (auto update = session.Take(msg.lParam)) return update;
      }
      const ULONGLONG now = GetTickCount64();
      if (now >= end) return nullptr;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)), QS_POSTMESSAGE);
    }
  }

  static std::vector<std::string> Rows(const TeamUpdate& update) {
    return update.content ? update.content->library.phrases.slots().at(0).rows() : std::vector<std::string>{};
  }

  testing::TempDir dir_;
  DataFolder own_{dir_.Sub("本机")};
  std::string team_ = dir_.Sub("共享/团队短语");
  Store lead_{DataFolder(team_)};
  HWND window_ = nullptr;
};

TEST_F(TeamSessionTest, ChangesAndAnOutageArriveAsPostedUpdatesAndStopEndsThem) {
  SaveTeam({"您好"});
  TeamSession session(window_, kTeamMessage, own_);
  session.SetPeriod(milliseconds(2000));
  EXPECT_FALSE(session.Start(team_)) << "no cache before the first load";
  auto update = NextUpdate(session, 10'000);
  ASSERT_TRUE(update);
  EXPECT_EQ(update->status, TeamCheckStatus::Reloaded);
  EXPECT_EQ(Rows(*update), std::vector<std::string>{"您好"});

  SaveTeam({"您好！", "再见"});
  update = NextUpdate(session, 10'000);
  ASSERT_TRUE(update);
  EXPECT_EQ(update->status, TeamCheckStatus::Reloaded);
  EXPECT_EQ(Rows(*update), (std::vector<std::string>{"您好！", "再见"}));

  const auto away = testing::PathOf(team_ + "-away");
  std::filesystem::rename(testing::PathOf(team_), away);
  update = NextUpdate(session, 10'000);
  ASSERT_TRUE(update);
  EXPECT_EQ(update->status, TeamCheckStatus::Unreachable);
  ASSERT_TRUE(update->content);
  EXPECT_TRUE(update->content->fromCache);
  EXPECT_EQ(Rows(*update), (std::vector<std::string>{"您好！", "再见"}));
  EXPECT_FALSE(NextUpdate(session, 4500)) << "one message per outage, not one per check";

  std::filesystem::rename(away, testing::PathOf(team_));
  update = NextUpdate(session, 10'000);
  ASSERT_TRUE(update);
  EXPECT_EQ(update->status, TeamCheckStatus::Reloaded);
  EXPECT_TRUE(update->back);
  EXPECT_FALSE(update->content->fromCache);

  // An update posted but not yet read when the session stops is freed with it, never shown.
  SaveTeam({"晚到的"});
  MSG msg{};
  const ULONGLONG end = GetTickCount64() + 10'000;
  while (!PeekMessageW(&msg, window_, kTeamMessage, kTeamMessage, PM_NOREMOVE) && GetTickCount64() < end) Sleep(20);
  ASSERT_EQ(msg.message, kTeamMessage);
  const ULONGLONG stopAt = GetTickCount64();
  session.Stop();
  EXPECT_LT(GetTickCount64() - stopAt, 1000u);
  SaveTeam({"停了以后"});
  EXPECT_FALSE(NextUpdate(session, 3000));

  // A new start hands over the cache at once: the last load.
  std::optional<TeamContent> cached = session.Start(team_);
  ASSERT_TRUE(cached);
  EXPECT_TRUE(cached->fromCache);
  EXPECT_EQ(cached->library.phrases.slots().at(0).rows(), std::vector<std::string>{"晚到的"});
  update = NextUpdate(session, 10'000);
  ASSERT_TRUE(update);
  EXPECT_EQ(Rows(*update), std::vector<std::string>{"停了以后"});
  EXPECT_FALSE(session.Start(""));
  EXPECT_FALSE(NextUpdate(session, 500));
}

TEST_F(TeamSessionTest, AHangingShareHoldsUpNeitherStopNorARestart) {
  SaveTeam({"您好"});
  auto share = std::make_shared<testing::HangingShare>(std::chrono::seconds(3));
  const auto timed = [](auto&& what) {
    const ULONGLONG start = GetTickCount64();
    what();
    return GetTickCount64() - start;
  };
  auto session = std::make_unique<TeamSession>(window_, kTeamMessage, own_, share);
  session->Start(team_);
  const ULONGLONG end = GetTickCount64() + 5000;
  while (share->calls == 0 && GetTickCount64() < end) Sleep(10);
  ASSERT_GT(share->calls, 0);
  // Closing the Settings window with another team folder stops the worker and starts a new one.
  EXPECT_LT(timed([&] { session->Start(team_ + "-另一个"); }), 1000u);
  while (share->calls < 2 && GetTickCount64() < end) Sleep(10);
  // The program's exit, while the new worker too waits on the share.
  EXPECT_LT(timed([&] { session.reset(); }), 1000u);

  // The workers end by themselves once the share answers, let go of it, and post nothing.
  const ULONGLONG ended = GetTickCount64() + 15'000;
  while (share.use_count() > 1 && GetTickCount64() < ended) Sleep(20);
  EXPECT_EQ(share.use_count(), 1);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, window_, kTeamMessage, kTeamMessage, PM_REMOVE));
  EXPECT_FALSE(platform::FileExists(TeamLibrary(team_, own_).CacheFolder().ConfIni())) << "no cache written after a stop";
}

}  // namespace
}  // namespace jihe::storage
