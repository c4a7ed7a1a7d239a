#include "storage/team_library.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "fakes/temp_dir.h"
#include "library/team_groups.h"
#include "storage/gb18030.h"
#include "storage/group_file.h"
#include "storage/store.h"

namespace jihe::storage {
namespace {

using library::Group;
using library::GroupKind;
using Rows = std::vector<std::string>;

class TeamLibraryTest : public ::testing::Test {
 protected:
  TeamLibraryTest() : own_(dir_.Sub("本机")), team_(dir_.Sub("共享/团队短语")) {
    EXPECT_TRUE(own_.EnsureFolders());
    EXPECT_TRUE(DataFolder(team_).EnsureFolders());
  }

  // What the team lead's program does: one whole save of the team folder.
  void SaveTeam(std::vector<Group> phrases) {
    Workspace ws;
    ws.library.phrases.slots() = std::move(phrases);
    ws.library.commands.slots() = {Group("链接", {"官网┃https://example.com/"})};
    leadStore_.SaveAll(ws);
  }

  // Both folders emptied, then the team lead's first save of 甲 and 乙.
  void StartAfresh() {
    std::filesystem::remove_all(testing::PathOf(own_.root()));
    std::filesystem::remove_all(testing::PathOf(team_));
    ASSERT_TRUE(DataFolder(team_).EnsureFolders());
    SaveTeam({Group("甲", {"一"}), Group("乙", {"一"})});
  }

  // A copy as Explorer makes it, file by file.
  static void CopyFile(const std::string& from, const std::string& to) {
    ASSERT_TRUE(platform::WriteFileAtomically(to, platform::ReadWholeFile(from).value()));
  }

  static std::vector<std::pair<std::string, Rows>> Groups(const TeamContent& c) {
    std::vector<std::pair<std::string, Rows>> out;
    for (const Group& g : c.library.phrases.slots()) out.emplace_back(g.name(), g.rows());
    return out;
  }

  testing::TempDir dir_;
  DataFolder own_;
  std::string team_;
  Store leadStore_{DataFolder(team_)};
};

TEST_F(TeamLibraryTest, FolderSettingSurvivesTheAgentsSave) {
  const std::string path = "\\\\server\\share\\团队短语";
  ASSERT_TRUE(SaveTeamFolderSetting(own_, path));
  Store store(own_);
  Workspace ws;
  store.LoadAll(ws);
  store.SaveAll(ws);
  EXPECT_EQ(LoadTeamFolderSetting(own_), path);
  ASSERT_TRUE(SaveTeamFolderSetting(own_, ""));
  EXPECT_EQ(LoadTeamFolderSetting(own_), "");
}

TEST_F(TeamLibraryTest, SeesChangedNewAndDeletedGroups) {
  SaveTeam({Group("问候", {"您好"}), Group("售后", {"退货┃七天"})});
  TeamLibrary lib(team_, own_);
  TeamCheck first = lib.Check();
  ASSERT_EQ(first.status, TeamCheckStatus::Reloaded);
  // Only the team's groups: no design group is made up for it.
  EXPECT_EQ(Groups(*first.content), (std::vector<std::pair<std::string, Rows>>{{"问候", {"您好"}}, {"售后", {"退货┃七天"}}}));
  EXPECT_EQ(first.content->library.commands.slots().size(), 1u);
  EXPECT_EQ(lib.Check().status, TeamCheckStatus::Unchanged);

  const struct {
    const char* what;
    std::vector<Group> state;
  } changes[] = {
      {"a changed row", {Group("问候", {"您好！"}), Group("售后", {"退货┃七天"})}},
      {"a new group", {Group("问候", {"您好！"}), Group("售后", {"退货┃七天"}), Group("物流", {"已发货"})}},
      {"a deleted group", {Group("问候", {"您好！"}), Group("物流", {"已发货"})}},
  };
  for (const auto& change : changes) {
    SaveTeam(change.state);
    TeamCheck check = lib.Check();
    ASSERT_EQ(check.status, TeamCheckStatus::Reloaded) << change.what;
    std::vector<std::pair<std::string, Rows>> expected;
    for (const Group& g : change.state) expected.emplace_back(g.name(), g.rows());
    EXPECT_EQ(Groups(*check.content), expected) << change.what;
    EXPECT_EQ(lib.Check().status, TeamCheckStatus::Unchanged) << change.what;
  }
}

TEST_F(TeamLibraryTest, UnreachableFolderShowsTheCacheOnceThenComesBack) {
  SaveTeam({Group("问候", {"您好 [img=logo.pngimg]"})});
  ASSERT_TRUE(platform::WriteFileAtomically(DataFolder(team_).ImgFolder() + "logo.png", "PNG"));
  TeamLibrary lib(team_, own_);
  EXPECT_FALSE(lib.LoadCache());
  ASSERT_EQ(lib.Check().status, TeamCheckStatus::Reloaded);

  const auto away = testing::PathOf(team_ + "-away");
  std::filesystem::rename(testing::PathOf(team_), away);
  TeamCheck check = lib.Check();
  ASSERT_EQ(check.status, TeamCheckStatus::Unreachable);
  ASSERT_TRUE(check.content);
  EXPECT_TRUE(check.content->fromCache);
  EXPECT_EQ(Groups(*check.content), (std::vector<std::pair<std::string, Rows>>{{"问候", {"您好 [img=logo.pngimg]"}}}));
  EXPECT_EQ(platform::ReadWholeFile(check.content->folder.ImgFolder() + "logo.png"), "PNG");
  EXPECT_EQ(lib.Check().status, TeamCheckStatus::Unchanged) << "the agent is told once";

  // A fresh start while the share is away loads the cache without touching the network.
  EXPECT_EQ(Groups(*TeamLibrary(team_, own_).LoadCache()), Groups(*check.content));

  std::filesystem::rename(away, testing::PathOf(team_));
  check = lib.Check();
  ASSERT_EQ(check.status, TeamCheckStatus::Reloaded);
  EXPECT_FALSE(check.content->fromCache);
}

TEST_F(TeamLibraryTest, TheCacheStandsInOnlyForTheFolderItWasReadFrom) {
  SaveTeam({Group("问候", {"您好"})});
  ASSERT_EQ(TeamLibrary(team_, own_).Check().status, TeamCheckStatus::Reloaded);
  EXPECT_TRUE(TeamLibrary(team_, own_).LoadCache());

  // Another team folder is set and cannot be reached: the first team's groups are not shown for it.
  const std::string otherPath = dir_.Sub("共享/别的团队");
  TeamLibrary other(otherPath, own_);
  EXPECT_FALSE(other.LoadCache());
  TeamCheck check = other.Check();
  EXPECT_EQ(check.status, TeamCheckStatus::Unreachable);
  EXPECT_FALSE(check.content);

  // Once the other folder is read, the cache holds no picture of the first team.
  const std::string kept = TeamLibrary(team_, own_).CacheFolder().ImgFolder() + "收款码.png";
  ASSERT_TRUE(platform::WriteFileAtomically(kept, "上一个团队的收款码"));
  ASSERT_TRUE(DataFolder(otherPath).EnsureFolders());
  Store(DataFolder(otherPath)).SaveAll(Workspace{});
  ASSERT_EQ(TeamLibrary(otherPath, own_).Check().status, TeamCheckStatus::Reloaded);
  EXPECT_FALSE(platform::FileExists(kept)) << "a cache of another team keeps no picture of the old one";
}

TEST_F(TeamLibraryTest, ASaveInProgressIsReadAgainNeverHalfLoaded) {
  SaveTeam({Group("甲", {"一"}), Group("乙", {"一"})});
  auto now = std::chrono::steady_clock::now();
  auto share = std::make_shared<platform::CountingFileAccess>(platform::SystemFileAccess());
  TeamLibrary lib(team_, own_, share);
  lib.SetClock([&now] { return now; });
  ASSERT_EQ(lib.Check().status, TeamCheckStatus::Reloaded);
  const DataFolder team(team_);

  // The lead's save has replaced 甲 but not yet 乙 or conf.ini: conf.ini, written last, still
  // stands for the folder that was taken, and nothing half is loaded.
  ASSERT_TRUE(platform::WriteFileAtomically(team.GroupFile(GroupKind::Phrase, "甲"), SerializeGroupFile({"二"})));
  EXPECT_EQ(lib.Check().status, TeamCheckStatus::Unchanged);
  EXPECT_EQ(lib.Check().status, TeamCheckStatus::Unchanged);
  SaveTeam({Group("甲", {"二"}), Group("乙", {"二"})});
  TeamCheck check = lib.Check();
  ASSERT_EQ(check.status, TeamCheckStatus::Reloaded);
  EXPECT_EQ(Groups(*check.content), (std::vector<std::pair<std::string, Rows>>{{"甲", {"二"}}, {"乙", {"二"}}}));

  // A copy that brings conf.ini before its group files: read again, and taken once they match.
  const auto copy = [&](const std::string& from, const std::string& to) { CopyFile(from, to); };
  const DataFolder side(dir_.Sub("别处"));
  ASSERT_TRUE(side.EnsureFolders());
  Store sideStore{side};
  Workspace ws;
  ws.library.commands.slots() = {Group("链接", {"官网┃https://example.com/"})};
  ws.library.phrases.slots() = {Group("甲", {"三"}), Group("乙", {"三"})};
  sideStore.SaveAll(ws);
  copy(side.ConfIni(), team.ConfIni());
  for (const char* stem : {"甲", "乙"}) {  // a read of a file that has just been written is not trusted
    std::filesystem::last_write_time(testing::PathOf(team.GroupFile(GroupKind::Phrase, stem)),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  }
  EXPECT_EQ(lib.Check().status, TeamCheckStatus::Incomplete);
  share->Reset();
  EXPECT_EQ(lib.Check().status, TeamCheckStatus::Incomplete);
  EXPECT_EQ(share->counts().bytesRead, 0u) << "what did not move since is not read again";
  copy(side.GroupFile(GroupKind::Phrase, "甲"), team.GroupFile(GroupKind::Phrase, "甲"));
  EXPECT_EQ(lib.Check().status, TeamCheckStatus::Incomplete);
  copy(side.GroupFile(GroupKind::Phrase, "乙"), team.GroupFile(GroupKind::Phrase, "乙"));
  check = lib.Check();
  ASSERT_EQ(check.status, TeamCheckStatus::Reloaded);
  EXPECT_EQ(Groups(*check.content), (std::vector<std::pair<std::string, Rows>>{{"甲", {"三"}}, {"乙", {"三"}}}));

  // A listed file missing: read again; once the folder stood still for the rest period, taken as
  // it is (an empty group).
  ws.library.phrases.slots() = {Group("甲", {"三"}), Group("乙", {"四"})};
  sideStore.SaveAll(ws);
  copy(side.ConfIni(), team.ConfIni());
  std::filesystem::remove(testing::PathOf(team.GroupFile(GroupKind::Phrase, "乙")));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(lib.Check().status, TeamCheckStatus::Incomplete) << i;
  now += kTeamRestPeriod;
  check = lib.Check();
  ASSERT_EQ(check.status, TeamCheckStatus::Reloaded);
  EXPECT_EQ(Groups(*check.content), (std::vector<std::pair<std::string, Rows>>{{"甲", {"三"}}, {"乙", {}}}));
}

// What each check asks of the share, counted as its server would, and the pictures that follow
// by their stamps.
TEST_F(TeamLibraryTest, AQuietCheckCostsTwoRequestsAndPicturesFollowTheirStamps) {
  const DataFolder team(team_);
  const std::string picture(1000, 'a');
  const auto putPicture = [&](const std::string& name, const std::string& bytes, int hoursLater) {
    const std::string path = team.ImgFolder() + name;
    ASSERT_TRUE(platform::WriteFileAtomically(path, bytes));
    std::filesystem::last_write_time(testing::PathOf(path),
                                     std::filesystem::file_time_type::clock::now() + std::chrono::hours(hoursLater));
  };
  putPicture("a.png", picture, 0);
  putPicture("b.png", picture, 0);
  putPicture("a..b.png", picture, 0);
  SaveTeam({Group("甲", {"[img=a.pngimg]", "[img=B.PNGimg]", "[img=a..b.pngimg]"}), Group("乙", {"一"})});
  auto share = std::make_shared<platform::CountingFileAccess>(platform::SystemFileAccess());
  TeamLibrary lib(team_, own_, share);
  ASSERT_EQ(lib.Check().status, TeamCheckStatus::Reloaded);
  ASSERT_EQ(lib.Check().status, TeamCheckStatus::Unchanged);
  const DataFolder cache = lib.CacheFolder();
  EXPECT_EQ(platform::ReadWholeFile(cache.ImgFolder() + "B.PNG"), picture) << "found whatever its letter case";
  EXPECT_EQ(platform::ReadWholeFile(cache.ImgFolder() + "a..b.png"), picture) << "\"..\" inside a name leads nowhere";

  share->Reset();
  EXPECT_EQ(lib.Check().status, TeamCheckStatus::Unchanged);
  EXPECT_EQ(share->counts().requests, 2u) << "conf.ini's stamp and one listing of img";
  EXPECT_EQ(share->counts().bytesRead, 0u);

  // One row of one group: conf.ini and that group file are read, nothing else.
  SaveTeam({Group("甲", {"[img=a.pngimg]", "[img=B.PNGimg]", "[img=a..b.pngimg]"}), Group("乙", {"二"})});
  share->Reset();
  ASSERT_EQ(lib.Check().status, TeamCheckStatus::Reloaded);
  EXPECT_EQ(share->counts().bytesRead, platform::StampOf(team.ConfIni())->size +
                                           platform::StampOf(team.GroupFile(GroupKind::Phrase, "乙"))->size);

  // A picture replaced by one of the same size, no row changed: in the cache at the next check,
  // and only it is read. One gone from the share keeps its copy.
  lib.Check();
  const std::string replaced(1000, 'b');
  putPicture("a.png", replaced, 1);
  std::filesystem::remove(testing::PathOf(team.ImgFolder() + "b.png"));
  share->Reset();
  EXPECT_EQ(lib.Check().status, TeamCheckStatus::Unchanged);
  EXPECT_EQ(share->counts().bytesRead, replaced.size());
  EXPECT_EQ(platform::ReadWholeFile(cache.ImgFolder() + "a.png"), replaced);
  EXPECT_EQ(platform::ReadWholeFile(cache.ImgFolder() + "B.PNG"), picture);
  lib.Check();

  // A new start knows what its copies were made from and copies nothing again.
  TeamLibrary again(team_, own_, share);
  ASSERT_TRUE(again.LoadCache());
  share->Reset();
  ASSERT_EQ(again.Check().status, TeamCheckStatus::Reloaded);
  EXPECT_EQ(share->counts().bytesRead, platform::StampOf(team.ConfIni())->size) << "the group files came from the cache";
}

// A state taken as it is after the rest period is watched until its doubtful files are whole.
TEST_F(TeamLibraryTest, AStateTakenAsItIsPicksUpItsFilesOnceTheyAreWhole) {
  const DataFolder team(team_);
  const std::string file = team.GroupFile(GroupKind::Phrase, "甲");
  std::filesystem::file_time_type tick;
  const struct {
    const char* what;
    std::function<void()> plant, mend;
    Rows taken, after;  // 甲 as taken after the rest period, and once mended
  } cases[] = {
      {"a group file that arrives late",
       [&] {
         const std::string rows = *platform::ReadWholeFile(file);
         SaveTeam({Group("甲", {"新的付款码"}), Group("乙", {"一"})});
         ASSERT_TRUE(platform::WriteFileAtomically(file + ".later", *platform::ReadWholeFile(file)));
         std::filesystem::remove(testing::PathOf(file));
       },
       [&] { std::filesystem::rename(testing::PathOf(file + ".later"), testing::PathOf(file)); }, {}, {"新的付款码"}},
      {"a group file that cannot be read",
       [&] {
         SaveTeam({Group("甲", {"二"}), Group("乙", {"一"})});
         std::filesystem::remove(testing::PathOf(file));
         std::filesystem::create_directory(testing::PathOf(file));
       },
       [&] {
         std::filesystem::remove(testing::PathOf(file));
         ASSERT_TRUE(platform::WriteFileAtomically(file, SerializeGroupFile({"二"})));
       },
       {"一"}, {"二"}},
      {"a group file replaced within the clock's tick",
       [&] {
         const std::string rows = *platform::ReadWholeFile(file);
         SaveTeam({Group("甲", {"二"}), Group("乙", {"一"})});
         ASSERT_TRUE(platform::WriteFileAtomically(file, rows));
         tick = std::filesystem::last_write_time(testing::PathOf(file));
       },
       [&] {
         ASSERT_TRUE(platform::WriteFileAtomically(file, SerializeGroupFile({"二"})));
         std::filesystem::last_write_time(testing::PathOf(file), tick);
       },
       {"一"}, {"二"}},
  };
  for (const auto& c : cases) {
    ASSERT_NO_FATAL_FAILURE(StartAfresh());
    auto now = std::chrono::steady_clock::now();
    TeamLibrary lib(team_, own_);
    lib.SetClock([&now] { return now; });
    ASSERT_EQ(lib.Check().status, TeamCheckStatus::Reloaded) << c.what;
    lib.Check();
    c.plant();
    EXPECT_EQ(lib.Check().status, TeamCheckStatus::Incomplete) << c.what;
    now += kTeamRestPeriod;
    TeamCheck check = lib.Check();
    ASSERT_EQ(check.status, TeamCheckStatus::Reloaded) << c.what;
    EXPECT_EQ(Groups(*check.content)[0].second, c.taken) << c.what;
    EXPECT_EQ(lib.Check().status, TeamCheckStatus::Unchanged) << c.what;
    c.mend();
    std::optional<TeamContent> shown;
    for (int i = 0; i < 3; ++i) {
      if (TeamCheck again = lib.Check(); again.content) shown = std::move(again.content);
    }
    ASSERT_TRUE(shown) << c.what;
    EXPECT_EQ(Groups(*shown)[0].second, c.after) << c.what;
    EXPECT_EQ(Groups(*TeamLibrary(team_, own_).LoadCache())[0].second, c.after) << c.what;
  }
}

TEST_F(TeamLibraryTest, NothingEmptyOrHalfCopiedReplacesTheGoodLibrary) {
  const DataFolder team(team_);
  const std::vector<std::pair<std::string, Rows>> good{{"甲", {"一"}}, {"乙", {"一"}}};
  // The same groups with other rows, in a folder of its own: its conf.ini names files that the
  // team folder holds, but with check values that none of them matches.
  const std::string other = dir_.Sub("别处");
  ASSERT_TRUE(DataFolder(other).EnsureFolders());
  {
    Store otherStore{DataFolder(other)};
    Workspace ws;
    ws.library.commands.slots() = {Group("链接", {"官网┃https://example.com/"})};
    ws.library.phrases.slots() = {Group("甲", {"二"}), Group("乙", {"二"})};
    otherStore.SaveAll(ws);
  }
  enum class Then { Taken, Unreachable };
  const struct {
    const char* what;
    std::function<void()> plant;
    Then after30s;
    std::vector<std::pair<std::string, Rows>> taken;
  } cases[] = {
      {"an empty conf.ini", [&] { ASSERT_TRUE(platform::WriteFileAtomically(team.ConfIni(), "")); }, Then::Taken, {}},
      {"a conf.ini that cannot be read",
       [&] {
         std::filesystem::remove(testing::PathOf(team.ConfIni()));
         std::filesystem::create_directory(testing::PathOf(team.ConfIni()));
       },
       Then::Unreachable, good},
      {"a conf.ini that names no groups",
       [&] { ASSERT_TRUE(platform::WriteFileAtomically(team.ConfIni(), "[主面板]\r\n短语子夹数=0\r\n")); },
       Then::Taken, {}},
      {"check values that match no group file",
       [&] { CopyFile(DataFolder(other).ConfIni(), team.ConfIni()); },
       Then::Taken, good},
      {"no conf.ini at all", [&] { std::filesystem::remove(testing::PathOf(team.ConfIni())); }, Then::Unreachable,
       good},
  };
  for (const auto& c : cases) {
    ASSERT_NO_FATAL_FAILURE(StartAfresh());
    auto now = std::chrono::steady_clock::now();
    TeamLibrary lib(team_, own_);
    lib.SetClock([&now] { return now; });
    ASSERT_EQ(lib.Check().status, TeamCheckStatus::Reloaded) << c.what;
    ASSERT_EQ(lib.Check().status, TeamCheckStatus::Unchanged) << c.what;

    c.plant();
    TeamCheck check = lib.Check();
    if (c.after30s == Then::Unreachable && c.taken == good && check.status == TeamCheckStatus::Unreachable) {
      // A folder without conf.ini is no library: the cache stands in at once.
      ASSERT_TRUE(check.content) << c.what;
      EXPECT_EQ(Groups(*check.content), good) << c.what;
    } else {
      EXPECT_EQ(check.status, TeamCheckStatus::Incomplete) << c.what;
      now += std::chrono::seconds(29);
      EXPECT_EQ(lib.Check().status, TeamCheckStatus::Incomplete) << c.what;
      EXPECT_EQ(Groups(*TeamLibrary(team_, own_).LoadCache()), good) << c.what << ": the cache stays";
      now += std::chrono::seconds(2);
      check = lib.Check();
      EXPECT_EQ(check.status, c.after30s == Then::Taken ? TeamCheckStatus::Reloaded : TeamCheckStatus::Unreachable)
          << c.what;
      if (c.after30s == Then::Taken) {
        ASSERT_TRUE(check.content) << c.what;
        EXPECT_EQ(Groups(*check.content), c.taken) << c.what;
        EXPECT_EQ(Groups(*TeamLibrary(team_, own_).LoadCache()), c.taken) << c.what;
        continue;
      }
    }
    ASSERT_TRUE(check.content) << c.what;
    EXPECT_TRUE(check.content->fromCache) << c.what;
    EXPECT_EQ(Groups(*TeamLibrary(team_, own_).LoadCache()), good) << c.what << ": the cache stays";
  }
}

TEST_F(TeamLibraryTest, TheCacheIsTheSameFoldersHoweverItsPathIsWritten) {
  SaveTeam({Group("问候", {"您好"})});
  ASSERT_EQ(TeamLibrary(team_, own_).Check().status, TeamCheckStatus::Reloaded);
  std::string swapped = team_, upper = team_;
  for (char& c : swapped) c = c == '/' ? '\\' : c == '\\' ? '/' : c;
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  for (const std::string& spelling : {team_ + platform::kPathSeparator, team_ + "//", swapped, upper, "\\\\?\\" + team_})
    EXPECT_TRUE(TeamLibrary(spelling, own_).LoadCache()) << spelling;
  EXPECT_FALSE(TeamLibrary(team_ + "2", own_).LoadCache());
}

// The cache is written file by file, conf.ini last; at the next start only a cache whose files are
// the ones its conf.ini names stands in.
TEST_F(TeamLibraryTest, AHalfWrittenCacheIsNeverTakenWhole) {
  const std::vector<std::pair<std::string, Rows>> good{{"甲", {"一"}}, {"乙", {"一"}}};
  const auto blockNewGroup = [&](const DataFolder& cache) {
    ASSERT_TRUE(std::filesystem::create_directory(testing::PathOf(cache.GroupFile(GroupKind::Phrase, "丙"))));
    SaveTeam({Group("甲", {"一"}), Group("乙", {"一"}), Group("丙", {"新"})});
  };
  const struct {
    const char* what;
    std::function<void(const DataFolder& cache)> plant, mend;
    std::optional<std::vector<std::pair<std::string, Rows>>> loaded;
  } cases[] = {
      {"a group file lost to a power cut",
       [&](const DataFolder& cache) {
         ASSERT_TRUE(platform::WriteFileAtomically(cache.GroupFile(GroupKind::Phrase, "乙"), ""));
       },
       nullptr, std::nullopt},
      {"a group file the cache could not write", blockNewGroup, nullptr, good},
      {"a failed write, made again once it can be",
       blockNewGroup,
       [&](const DataFolder& cache) {
         std::filesystem::remove(testing::PathOf(cache.GroupFile(GroupKind::Phrase, "丙")));
       },
       std::vector<std::pair<std::string, Rows>>{{"甲", {"一"}}, {"乙", {"一"}}, {"丙", {"新"}}}},
  };
  for (const auto& c : cases) {
    ASSERT_NO_FATAL_FAILURE(StartAfresh());
    TeamLibrary lib(team_, own_);
    ASSERT_EQ(lib.Check().status, TeamCheckStatus::Reloaded) << c.what;
    c.plant(lib.CacheFolder());
    lib.Check();
    if (c.mend) {
      c.mend(lib.CacheFolder());
      lib.Check();
    }
    const std::optional<TeamContent> cached = TeamLibrary(team_, own_).LoadCache();
    EXPECT_EQ(cached ? std::optional(Groups(*cached)) : std::nullopt, c.loaded) << c.what;
    EXPECT_FALSE(platform::FileExists(lib.CacheFolder().GroupFile(GroupKind::Phrase, "丙") + ".jihe-tmp")) << c.what;
  }
}

TEST_F(TeamLibraryTest, ACacheWriteMadeAgainKeepsThePicturesCopiedMeanwhile) {
  const std::string picture(1000, 'p');
  ASSERT_TRUE(platform::WriteFileAtomically(DataFolder(team_).ImgFolder() + "p.png", picture));
  SaveTeam({Group("甲", {"[img=p.pngimg]"})});
  auto share = std::make_shared<platform::CountingFileAccess>(platform::SystemFileAccess());
  TeamLibrary lib(team_, own_, share);
  const DataFolder cache = lib.CacheFolder();
  ASSERT_TRUE(cache.EnsureFolders());
  const auto blocked = testing::PathOf(cache.GroupFile(GroupKind::Phrase, "甲"));
  ASSERT_TRUE(std::filesystem::create_directory(blocked));
  ASSERT_EQ(lib.Check().status, TeamCheckStatus::Reloaded);
  lib.Check();  // reads conf.ini once more
  share->Reset();
  lib.Check();
  EXPECT_EQ(platform::ReadWholeFile(cache.ImgFolder() + "p.png"), picture);
  EXPECT_EQ(share->counts().bytesRead, 0u) << "the picture was copied again";
  EXPECT_FALSE(TeamLibrary(team_, own_).LoadCache());
  std::filesystem::remove(blocked);
  lib.Check();
  ASSERT_TRUE(TeamLibrary(team_, own_).LoadCache());
  EXPECT_EQ(Groups(*TeamLibrary(team_, own_).LoadCache()), (std::vector<std::pair<std::string, Rows>>{{"甲", {"[img=p.pngimg]"}}}));
}

// Closing the cache's gate waits for the one file being written, not for the whole cache; what a
// closed gate cut short is not taken at the next start.
TEST_F(TeamLibraryTest, ClosingTheCacheWaitsForOneFileNotTheWholeWrite) {
  // Enough files that the write is still under way when Close comes; each costs more under Wine.
  constexpr int kGroups = platform::kPathSeparator == '\\' ? 300 : 1000;
  const DataFolder team(team_);
  std::string conf = "[主面板]\r\n短语子夹数=" + std::to_string(kGroups) + "\r\n快捷子夹数=0\r\n[短语子夹名]\r\n";
  std::string checks = "[短语子夹校验]\r\n";
  for (int g = 0; g < kGroups; ++g) {
    const std::string name = "组" + std::to_string(g), bytes = SerializeGroupFile({"行" + std::to_string(g)});
    ASSERT_TRUE(platform::ReplaceFileUnflushed(team.GroupFile(GroupKind::Phrase, name), bytes));
    conf += std::to_string(g) + "=" + name + "\r\n";
    checks += std::to_string(g) + "=" + GroupFileCheck(bytes) + "\r\n";
  }
  ASSERT_TRUE(platform::WriteFileAtomically(team.ConfIni(), EncodeGb18030(conf + checks)));

  const DataFolder cache = TeamLibrary(team_, own_).CacheFolder();
  const auto written = [&] {
    size_t n = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(testing::PathOf(cache.GroupFolder(GroupKind::Phrase)), ec))
      n += e.path().extension() == ".txt";
    return n;
  };
  // A busy machine may hold this thread back until the whole write is done: then once more.
  size_t atClose = kGroups;
  for (int attempt = 0; attempt < 3 && atClose == static_cast<size_t>(kGroups); ++attempt) {
    std::filesystem::remove_all(testing::PathOf(cache.root()));
    TeamLibrary lib(team_, own_);
    std::thread worker([&] { lib.Check(); });
    while (!platform::FileExists(cache.GroupFile(GroupKind::Phrase, "组0"))) std::this_thread::yield();
    lib.cacheGate()->Close();
    atClose = written();
    worker.join();
    EXPECT_EQ(written(), atClose) << "written after Close";
  }
  EXPECT_LT(atClose, static_cast<size_t>(kGroups)) << "Close waited for the whole cache";
  EXPECT_FALSE(TeamLibrary(team_, own_).LoadCache());
}

TEST(TeamGroupsTest, TeamTabsFollowOwnOnesAndRefuseChanges) {
  library::GroupStrip own, team;
  own.slots() = {Group("问候", {}), Group("已删", {})};
  own.slots()[1].set_hidden(true);
  team.slots() = {Group("问候", {}), Group("售后", {})};
  const struct {
    size_t position;
    std::optional<std::string> caption;
    bool refused;
  } cases[] = {{0, "问候", false}, {1, "已删", false}, {2, "团队·问候", true}, {3, "团队·售后", true}, {4, std::nullopt, false}};
  for (const auto& c : cases) {
    const auto tab = library::TabAt(own, team, c.position);
    ASSERT_EQ(tab.has_value(), c.caption.has_value()) << c.position;
    if (!tab) continue;
    EXPECT_EQ(library::TabCaption(own, team, *tab), *c.caption);
    EXPECT_EQ(library::PositionOf(own, *tab), c.position);
    EXPECT_EQ(library::ChangeRefusal(*tab), c.refused ? std::optional<std::string>(library::kTeamReadOnly) : std::nullopt);
  }
}

TEST(TeamGroupsTest, ReloadKeepsTheSelectionWhereItStillExists) {
  library::GroupStrip team;
  team.slots() = {Group("新组", {"甲"}), Group("售后", {"新行", "乙", "丙", "乙"}), Group("售后", {"丁"})};
  const struct {
    const char* group;
    std::optional<size_t> row;
    const char* text;
    std::optional<size_t> keptGroup, keptRow;
  } cases[] = {
      {"售后", 1, "乙", 1, 1},           // the row moved down: found by its text
      {"售后", 3, "乙", 1, 3},           // of two equal rows, the one nearest its old place
      {"售后", 0, "已删除的行", 1, std::nullopt},
      {"售后", std::nullopt, "", 1, std::nullopt},
      {"不见了", 0, "甲", std::nullopt, std::nullopt},
      {"售后", 0, "丁", 2, 0},           // in the second group of that name
  };
  for (const auto& c : cases) {
    const auto kept = library::KeepSelection(team, c.group, c.row, c.text);
    EXPECT_EQ(kept.group, c.keptGroup) << c.group << c.text;
    EXPECT_EQ(kept.row, c.keptRow) << c.group << c.text;
  }
}

}  // namespace
}  // namespace jihe::storage
