#include "storage/team_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "chat/send_engine.h"
#include "fakes/hanging_share.h"
#include "fakes/temp_dir.h"
#include "storage/group_file.h"
#include "storage/store.h"

namespace jihe::storage {
namespace {

using library::Group;
using library::GroupKind;
using std::chrono::milliseconds;

// Within 20% of `period` either way.
bool Spread(milliseconds wait, milliseconds period) {
  return wait >= period * 4 / 5 && wait <= period * 6 / 5;
}

TEST(TeamPassesTest, AnOutageComesOnceItsEndIsMarkedAndPicturesFollowTheFolderRead) {
  testing::TempDir dir;
  const DataFolder own(dir.Sub("本机"));
  const std::string teamPath = dir.Sub("共享/团队短语");
  ASSERT_TRUE(DataFolder(teamPath).EnsureFolders());
  Store lead{DataFolder(teamPath)};
  Workspace ws;
  ws.library.phrases.slots() = {Group("甲", {"一"}), Group("乙", {"一"})};
  lead.SaveAll(ws);
  const library::TabRef ownTab{false, 0}, teamTab{true, 0};

  TeamPasses passes(teamPath, own);
  std::optional<TeamUpdate> update = passes.Pass();
  ASSERT_TRUE(update);
  EXPECT_EQ(update->status, TeamCheckStatus::Reloaded);
  EXPECT_FALSE(update->back);
  EXPECT_EQ(PictureFoldersOfTab(teamTab, own, update->content).img, DataFolder(teamPath).ImgFolder());
  EXPECT_EQ(PictureFoldersOfTab(ownTab, own, update->content).img, own.ImgFolder());
  EXPECT_TRUE(Spread(passes.NextWait(milliseconds(10'000)), milliseconds(10'000)));

  const auto away = testing::PathOf(teamPath + "-away");
  std::filesystem::rename(testing::PathOf(teamPath), away);
  update = passes.Pass();
  ASSERT_TRUE(update);
  EXPECT_EQ(update->status, TeamCheckStatus::Unreachable);
  EXPECT_TRUE(passes.out());
  EXPECT_EQ(PictureFoldersOfTab(teamTab, own, update->content).img, passes.library().CacheFolder().ImgFolder());
  EXPECT_FALSE(passes.Pass()) << "one message per outage";
  EXPECT_TRUE(passes.out());

  std::filesystem::rename(away, testing::PathOf(teamPath));
  update = passes.Pass();
  ASSERT_TRUE(update);
  EXPECT_EQ(update->status, TeamCheckStatus::Reloaded);
  EXPECT_TRUE(update->back);
  EXPECT_FALSE(passes.out());

  // A save under way (its conf.ini is there before the group file it names): the next look comes
  // soon, not a whole period later.
  const std::string groupFile = DataFolder(teamPath).GroupFile(GroupKind::Phrase, "甲");
  const std::string firstRows = *platform::ReadWholeFile(groupFile);
  ws.library.phrases.slots()[0] = Group("甲", {"二"});
  lead.SaveAll(ws);
  ASSERT_TRUE(platform::WriteFileAtomically(groupFile, firstRows));
  EXPECT_FALSE(passes.Pass());
  EXPECT_TRUE(Spread(passes.NextWait(milliseconds(10'000)), kTeamRetryAfterIncomplete));
  EXPECT_TRUE(Spread(passes.NextWait(milliseconds(200)), milliseconds(200)));
  ASSERT_TRUE(platform::WriteFileAtomically(groupFile, SerializeGroupFile({"二"})));
  update = passes.Pass();
  ASSERT_TRUE(update);
  EXPECT_FALSE(update->back);
  EXPECT_TRUE(Spread(passes.NextWait(milliseconds(10'000)), milliseconds(10'000)));
}

// The share lost a picture that a row names (the lead deleted it, or the share went away since the
// last check): the send takes the cache's copy, until it is gone from both.
TEST(TeamPassesTest, APictureGoneFromTheShareIsSentFromTheCache) {
  testing::TempDir dir;
  const DataFolder own(dir.Sub("本机")), team(dir.Sub("共享/团队短语"));
  ASSERT_TRUE(team.EnsureFolders());
  ASSERT_TRUE(platform::WriteFileAtomically(team.ImgFolder() + "收款码.png", "二维码"));
  Workspace ws;
  ws.library.phrases.slots() = {Group("付款", {"请扫码[img=收款码.pngimg]"})};
  Store(team).SaveAll(ws);
  TeamPasses passes(team.root(), own);
  std::optional<TeamUpdate> update = passes.Pass();
  ASSERT_TRUE(update && update->content);
  const auto sentFile = [&](std::string_view phrase, std::shared_ptr<platform::FileAccess> share) {
    TabPictureFolders folders = PictureFoldersOfTab({true, 0}, own, update->content);
    for (std::string* f : {&folders.img, &folders.spare})
      if (!f->empty()) f->pop_back();
    const std::string html = chat::PhraseHtml(phrase, folders.img, folders.spare, std::move(share));
    return chat::PictureFileOfAddress(html.substr(html.find('"') + 1, html.find('"', html.find('"') + 1) - html.find('"') - 1));
  };
  const auto sentPicture = [&] {
    const auto file = sentFile("[img=收款码.pngimg]", nullptr);
    return file ? platform::ReadWholeFile(*file) : std::nullopt;
  };
  EXPECT_EQ(sentPicture(), "二维码");
  // The share stops answering (its server went away since the last check): after a moment, not
  // the network's timeouts, the cache's copy goes, and the phrase's second picture asks no more.
  const auto hanging = std::make_shared<testing::HangingShare>(std::chrono::seconds(4));
  const auto start = std::chrono::steady_clock::now();
  const auto fromCache = sentFile("[img=收款码.pngimg][img=收款码.pngimg]", hanging);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  ASSERT_TRUE(fromCache);
  EXPECT_TRUE(fromCache->starts_with(passes.library().CacheFolder().ImgFolder())) << *fromCache;
  EXPECT_EQ(hanging->calls, 1);
  // Nor does the next send wait on it again.
  const auto again = std::chrono::steady_clock::now();
  EXPECT_TRUE(sentFile("[img=收款码.pngimg]", hanging));
  EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(500));
  EXPECT_EQ(hanging->calls, 1);
  ASSERT_TRUE(platform::RemoveFile(team.ImgFolder() + "收款码.png"));
  EXPECT_FALSE(passes.Pass());
  EXPECT_EQ(sentPicture(), "二维码") << "the cache's copy";
  ASSERT_TRUE(platform::RemoveFile(passes.library().CacheFolder().ImgFolder() + "收款码.png"));
  EXPECT_EQ(sentPicture(), std::nullopt);
}

// Five minutes of an outage on a virtual clock: the folder is tried once per wait, the wait grows
// to a minute and no further, and once the folder is back the period is the usual one again.
TEST(TeamPassesTest, AnOutageIsTriedLessOftenUpToOnceAMinute) {
  testing::TempDir dir;
  const std::string teamPath = dir.Sub("共享/团队短语");
  ASSERT_TRUE(DataFolder(teamPath).EnsureFolders());
  Store lead{DataFolder(teamPath)};
  Workspace ws;
  lead.SaveAll(ws);
  TeamPasses passes(teamPath, DataFolder(dir.Sub("本机")));
  ASSERT_TRUE(passes.Pass());
  const auto away = testing::PathOf(teamPath + "-away");
  std::filesystem::rename(testing::PathOf(teamPath), away);

  milliseconds clock{0}, longest{0};
  std::vector<milliseconds> waits;
  int tries = 0;
  while (clock < std::chrono::minutes(5)) {
    passes.Pass();
    ++tries;
    const milliseconds wait = passes.NextWait(milliseconds(10'000));
    waits.push_back(wait);
    longest = std::max(longest, wait);
    clock += wait;
  }
  EXPECT_LE(tries, 9) << "at a fixed 10 s it would be 30";
  EXPECT_LE(longest, kTeamLongestOutageWait);
  EXPECT_GE(longest, milliseconds(48'000));
  for (size_t i = 1; i < 3; ++i) EXPECT_GT(waits[i], waits[i - 1]) << i;

  std::filesystem::rename(away, testing::PathOf(teamPath));
  std::optional<TeamUpdate> update = passes.Pass();
  ASSERT_TRUE(update);
  EXPECT_TRUE(update->back);
  std::set<long long> spread;
  for (int agent = 0; agent < 20; ++agent) {
    const milliseconds wait = passes.NextWait(milliseconds(10'000));
    EXPECT_TRUE(Spread(wait, milliseconds(10'000))) << wait.count();
    spread.insert(wait.count() / 100);
  }
  EXPECT_GE(spread.size(), 10u) << "the agents' checks do not drift apart";
}

}  // namespace
}  // namespace jihe::storage
