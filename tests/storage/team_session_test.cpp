#include "storage/team_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/temp_dir.h"
#include "storage/group_file.h"
#include "storage/store.h"

namespace jihe::storage {
namespace {

using library::Group;
using library::GroupKind;
using std::chrono::milliseconds;

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
  EXPECT_EQ(ImgFolderOfTab(teamTab, own, update->content), DataFolder(teamPath).ImgFolder());
  EXPECT_EQ(ImgFolderOfTab(ownTab, own, update->content), own.ImgFolder());
  EXPECT_EQ(passes.NextWait(milliseconds(10'000)), milliseconds(10'000));

  const auto away = testing::PathOf(teamPath + "-away");
  std::filesystem::rename(testing::PathOf(teamPath), away);
  update = passes.Pass();
  ASSERT_TRUE(update);
  EXPECT_EQ(update->status, TeamCheckStatus::Unreachable);
  EXPECT_TRUE(passes.out());
  EXPECT_EQ(ImgFolderOfTab(teamTab, own, update->content), passes.library().CacheFolder().ImgFolder());
  EXPECT_FALSE(passes.Pass()) << "one message per outage";
  EXPECT_TRUE(passes.out());

  std::filesystem::rename(away, testing::PathOf(teamPath));
  update = passes.Pass();
  ASSERT_TRUE(update);
  EXPECT_EQ(update->status, TeamCheckStatus::Reloaded);
  EXPECT_TRUE(update->back);
  EXPECT_FALSE(passes.out());

  // A save under way: the next look comes soon, not a whole period later.
  ASSERT_TRUE(platform::WriteFileAtomically(DataFolder(teamPath).GroupFile(GroupKind::Phrase, "甲"),
                                            SerializeGroupFile({"二"})));
  EXPECT_FALSE(passes.Pass());
  EXPECT_EQ(passes.NextWait(milliseconds(10'000)), kTeamRetryAfterIncomplete);
  EXPECT_EQ(passes.NextWait(milliseconds(200)), milliseconds(200));
  ws.library.phrases.slots()[0] = Group("甲", {"二"});
  lead.SaveAll(ws);
  update = passes.Pass();
  ASSERT_TRUE(update);
  EXPECT_FALSE(update->back);
  EXPECT_EQ(passes.NextWait(milliseconds(10'000)), milliseconds(10'000));
}

}  // namespace
}  // namespace jihe::storage
