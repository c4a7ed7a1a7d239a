#include "storage/data_folder.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "storage/group_file.h"
#include "storage/gb18030.h"
#include "storage/schedule_value.h"

namespace jihe::storage {
namespace {

TEST(DataFolderPathTest, TakesTheSystemDrive) {
  EXPECT_EQ(DataFolderPath("C:\\Windows\\system32"), "C:\\霁禾客服助手配置请勿删除\\");
  EXPECT_EQ(DataFolderPath("D:\\Windows\\system32\\"), "D:\\霁禾客服助手配置请勿删除\\");
}

TEST(GroupFileStemsTest, OrdinaryNamesKeepTheirFileNames) {
  const std::vector<std::string> names = {"分组1", "售后 问题", "a.b", "CONSOLE", "com10", "%41", "~x", ""};
  EXPECT_EQ(GroupFileStems(names), names);
}

TEST(GroupFileStemsTest, UnsafeNamesAreEscapedIntoTheFolder) {
  const std::vector<std::string> names = {
      "a\\b", "../../evil", "x/y", "c:d", "what?", "*", "\"q\"", "<>", "a|b", "tab\there", "ends.",
      "ends ", "CON", "con.txt", "Lpt1", "COM9", "lpt9", "COM¹", "lpt³.x", "nul .x", "CONIN$", "conout$.txt", "..", "a..b",
      std::string("bad\xED\xB2\x81")};
  const auto stems = GroupFileStems(names);
  std::set<std::string> folded;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& s = stems[i];
    SCOPED_TRACE(names[i] + " -> " + s);
    EXPECT_TRUE(s.starts_with(".."));
    EXPECT_EQ(s.find_first_of("\\/:*?\"<>|\t"), std::string::npos);
    EXPECT_NE(s.back(), '.');
    EXPECT_NE(s.back(), ' ');
    std::string f = s;
    for (char& c : f) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(folded.insert(f).second) << "two names share a file";
  }
}

TEST(GroupFileStemsTest, EveryGroupGetsAFileOfItsOwnAsWindowsComparesNames) {
  // Windows file names ignore case across the whole BMP; the group names do not. Names missing
  // from conf.ini are empty ones.
  const std::vector<std::vector<std::string>> cases = {
      {"QQ", "qq", "Qq", "QQ", "qq", "QQ"}, {"ＶＩＰ", "ｖｉｐ", "Ｖｉｐ"}, {"Ä", "ä", "Ä/", "ä/"},
      {"", "", "", ""},                     {"a/", "a/", "a/"},
  };
  for (const auto& names : cases) {
    const auto stems = GroupFileStems(names);
    std::set<std::string> folded;
    for (const std::string& s : stems) EXPECT_TRUE(folded.insert(FileNameCaseFold(s)).second) << s;
    // Stable: the same names in the same order give the same files at the next load.
    EXPECT_EQ(GroupFileStems(names), stems);
  }
  // The first and second group of a name keep the files that folders already use.
  EXPECT_EQ(GroupFileStems({"QQ", "qq", "QQ", "ä", "Ä"}),
            (std::vector<std::string>{"QQ", "..qq", "..%51%51", "ä", "..Ä"}));
  // The third of one name is numbered from 3, as folders of earlier versions have it.
  EXPECT_EQ(GroupFileStems({"QQ", "QQ", "QQ", "QQ"}),
            (std::vector<std::string>{"QQ", "..%51%51", "..%51%51%%3", "..%51%51%%4"}));
}

TEST(GroupFileStemsTest, CaseFoldCoversTheBmpOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"ｖｉｐ分组1", "ＶＩＰ分组1"}, {"äÿ", "ÄŸ"}, {"ſı", "SI"}, {"ǆ", "Ǆ"}, {"ß", "ß"},
      {"𐐨", "𐐨"},  // beyond the BMP: two UTF-16 units that no table maps
      {"a\xED\xB2\x81", "A\xED\xB2\x81"},
      // Just past a run of the table: "{" after a..z, "÷" after à..ö.
      {"{÷", "{÷"},
  };
  for (const auto& [name, folded] : cases) EXPECT_EQ(FileNameCaseFold(name), folded) << name;
}

TEST(GroupFileStemsTest, LegacyStemOnlyForNamesThatStayInTheFolder) {
  EXPECT_EQ(LegacyGroupFileStem("a..b"), "a..b");
  EXPECT_EQ(LegacyGroupFileStem("ends."), "ends.");
  for (const char* bad : {"..", "../x", "a\\b", "CON", "x:y", ""}) EXPECT_EQ(LegacyGroupFileStem(bad), std::nullopt) << bad;
}

TEST(GroupFileTest, ParsesLinesAndMarkers) {
  struct Case {
    std::string file;  // UTF-8, encoded before parsing
    std::vector<std::string> rows;
    bool canonical;
  } cases[] = {
      {"", {}, true},
      {"a\r\nb\r\n", {"a", "b"}, true},
      {"a\r\nb", {"a", "b"}, false},  // no final CR LF: same rows
      {"a\r\n\r\nb\r\n", {"a", "", "b"}, true},
      {"\r\n", {""}, true},
      {"一[换行]二[换行]三\r\n", {"一\r\n二\r\n三"}, true},
      {"备注┃内容\nstill one\r\n", {"备注┃内容\nstill one"}, true},
      {"[换行][换行]\r\n", {"\r\n\r\n"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string bytes = EncodeGb18030(c.file);
    const ParsedGroupFile parsed = ParseGroupFile(bytes);
    EXPECT_EQ(parsed.rows, c.rows);
    EXPECT_EQ(parsed.canonical, c.canonical);
    if (c.canonical) {
      EXPECT_EQ(SerializeGroupFile(parsed.rows), bytes);
    }
  }
}

TEST(GroupFileTest, MarkerTypedByTheUserComesBackAsALineBreak) {
  EXPECT_EQ(ParseGroupFile(SerializeGroupFile({"a[换行]b"})).rows, std::vector<std::string>{"a\r\nb"});
}

TEST(ScheduleValueTest, ParsesAndBuilds) {
  using Items = std::vector<schedule::TimedItem>;
  const Items two = {{"09:05", "定时提醒", "", ""}, {"18:30", "定时关机", "", ""}};
  EXPECT_EQ(BuildScheduleValue(two), "09:05--定时提醒[br]18:30--定时关机[br]");
  EXPECT_EQ(BuildScheduleValue({}), "");
  struct Case {
    const char* value;
    Items want;
  } cases[] = {
      {"09:05--定时提醒[br]18:30--定时关机[br]", two},
      {"09:05--定时提醒[br]18:30--定时关机", two},
      {"", {}},
      {"[br][br]", {}},
      {"09:05--定时提醒--x[br]10:00[br]10:01--[br]--x[br]", {{"", "x", "", ""}}},
      {"12:00--未知类型[br]", {{"12:00", "未知类型", "", ""}}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseScheduleValue(c.value), c.want) << c.value;
}

}  // namespace
}  // namespace jihe::storage

namespace jihe::storage {
namespace {

TEST(DataFolderHoldTest, OneHolderPerFolderHoweverItIsSpelt) {
  const std::string name = DataFolderHoldName("C:\\Users\\客服\\霁禾数据");
  for (const char* same : {"c:\\users\\客服\\霁禾数据", "C:/Users/客服/霁禾数据/", "C:\\USERS\\客服\\霁禾数据\\\\"})
    EXPECT_EQ(DataFolderHoldName(same), name) << same;
  for (const char* other : {"C:\\Users\\客服\\霁禾数据2", "D:\\Users\\客服\\霁禾数据", "C:\\Users\\客服"})
    EXPECT_NE(DataFolderHoldName(other), name) << other;
  EXPECT_EQ(name.find('\\'), std::string::npos);

  const DataFolder folder(testing::TempDir() + "jihe-hold-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  // Another thread, since a Windows mutex lets its own thread in again.
  auto heldElsewhere = [&] {
    bool got = false;
    std::thread([&] { got = folder.Hold(50) != nullptr; }).join();
    return got;
  };
  auto first = folder.Hold(0);
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(heldElsewhere());
  first.reset();
  EXPECT_TRUE(heldElsewhere());
}

}  // namespace
}  // namespace jihe::storage
