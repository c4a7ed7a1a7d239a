#include "cli/state_json.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <variant>

#include "fakes/temp_dir.h"
#include "platform/file_system.h"
#include "storage/store.h"

namespace jihe::cli {
namespace {

Json Parse(const std::string& text) {
  auto parsed = ParseJson(text);
  EXPECT_TRUE(std::holds_alternative<Json>(parsed)) << text;
  return std::holds_alternative<Json>(parsed) ? std::get<Json>(parsed) : Json{};
}

TEST(StateJsonTest, RoundTripsThroughTheDataFolder) {
  const std::string doc =
      R"({"phrase_groups":[{"name":"售后","rows":["备注┃第一行\r\n第二行","","😀 \"引号\" \\ \t"]},)"
      R"({"name":"a/b?","rows":["odd \udc81 byte"]}],)"
      R"("command_groups":[{"name":"默认","rows":["百度┃https://www.baidu.com/"]}],)"
      R"("schedule":[{"time":"09:05","type":"定时提醒"},{"time":"18:30","type":"定时关机"}],)"
      R"("schedule_on":true,"geometry":{"height":600,"width":300,"left":-8,"top":20},"music":"","shake":false,)"
      R"("options":{"跟随到左边":true,"跟随到右边":false,"跟随QQ":false,"跟随微信":true,"跟随旺旺":true,)"
      R"("跟随京东":false,"跟随陌陌":true,"跟随58":false,"跟随拼多多":true,"单击发送":true,"双击发送":false,)"
      R"("自动点发送":true,"显示预览":false,"鼠标停留":true,"开机自启":false,"智能隐藏":true,"恢复剪贴板":false,"搜索英文":false}})";
  storage::Workspace ws;
  ASSERT_EQ(WorkspaceFromJson(Parse(doc), ws), std::nullopt);

  testing::TempDir dir;
  storage::Store store{storage::DataFolder(dir.str())};
  ASSERT_TRUE(store.folder().EnsureFolders());
  ASSERT_EQ(store.SaveAll(ws).failures, 0);
  ASSERT_TRUE(store.SaveSettings(ws.options));

  storage::Store again{storage::DataFolder(dir.str())};
  storage::Workspace back;
  again.LoadSettings(back.options);
  again.LoadAll(back);
  EXPECT_EQ(WorkspaceToJson(back), doc);
}

TEST(StateJsonTest, EmptyKindsComeBackAsDesignGroups) {
  storage::Workspace ws;
  ASSERT_EQ(WorkspaceFromJson(Parse(R"({"phrase_groups":[],"command_groups":[],"geometry":null})"), ws), std::nullopt);
  testing::TempDir dir;
  storage::Store store{storage::DataFolder(dir.str())};
  ASSERT_TRUE(store.folder().EnsureFolders());
  store.SaveAll(ws);
  storage::Workspace back;
  storage::Store{storage::DataFolder(dir.str())}.LoadAll(back);
  storage::Workspace design;
  EXPECT_EQ(WorkspaceToJson(back), WorkspaceToJson(design));
}

TEST(StateJsonTest, RejectsMalformedOrMisshapenDocuments) {
  const char* bad[] = {
      "", "{", "[]", "{\"phrase_groups\":[{\"name\":1,\"rows\":[]}]}", "{\"phrase_groups\":{}}",
      "{\"shake\":\"真\"}", "{\"geometry\":{\"height\":1.5,\"width\":1,\"left\":1,\"top\":1}}",
      "{\"options\":{\"跟随QQ\":1}}", "{\"options\":{\"没有这个\":true}}", "{\"typo\":1}", "{} x",
      "{\"music\":\"\\uzzzz\"}", "{\"schedule\":[{\"time\":\"09:05\"}]}",
      // Texts a Data folder cannot hold as they are: GBK bytes, and surrogates that stand for no
      // byte the folder keeps (0x80 reads back as "€", 0x62 is "b").
      "{\"music\":\"\xC4\xAC\xC8\xCF\"}", "{\"music\":\"\xED\xB2\x81\"}", "{\"music\":\"\\udc80\"}",
      "{\"music\":\"\\udc62\"}", "{\"music\":\"\\ud83d\"}"};
  for (const char* text : bad) {
    auto parsed = ParseJson(text);
    storage::Workspace ws;
    const bool rejected = std::holds_alternative<JsonError>(parsed) ||
                          WorkspaceFromJson(std::get<Json>(parsed), ws).has_value();
    EXPECT_TRUE(rejected) << text;
  }
}

TEST(StateJsonTest, ReadsEscapesOfEveryForm) {
  const std::pair<const char*, std::string> cases[] = {
      {R"("\u00E9\u00e9\/")", "éé/"},
      {R"("\ud83d\ude00")", "😀"},
      {R"("\udc81\udcFF")", "\xED\xB2\x81\xED\xB3\xBF"},  // bytes kept from a damaged file
  };
  for (const auto& [text, want] : cases) {
    const Json json = Parse(text);
    ASSERT_TRUE(json.AsString()) << text;
    EXPECT_EQ(*json.AsString(), want) << text;
  }
}

#if !defined(_WIN32)
// The tool itself: a failed restore reports and leaves the folder as it was.
TEST(JiheDataToolTest, FailedRestoreChangesNothing) {
  testing::TempDir dir;
  const std::string tool = JIHE_DATA_TOOL;
  const std::string good = dir.Sub("good.json"), bad = dir.Sub("bad.json"), data = dir.Sub("数据夹");
  ASSERT_TRUE(platform::WriteFileAtomically(good, R"({"phrase_groups":[{"name":"组","rows":["一"]}]})"));
  ASSERT_EQ(std::system((tool + " restore '" + good + "' --data-dir '" + data + "'").c_str()), 0);
  const auto before = platform::ReadWholeFile(data + "/数据/短语/组.txt");
  const auto confBefore = platform::ReadWholeFile(data + "/数据/conf.ini");
  ASSERT_TRUE(before);
  // Truncated, and written in GBK.
  for (const char* text : {R"({"phrase_groups":[{"name":"组","rows":["二"]})", "{\"phrase_groups\":[{\"name\":\"\xD7\xE9\",\"rows\":[]}]}"}) {
    ASSERT_TRUE(platform::WriteFileAtomically(bad, text));
    const int status = std::system((tool + " restore '" + bad + "' --data-dir '" + data + "' 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1) << text;
    EXPECT_EQ(platform::ReadWholeFile(data + "/数据/短语/组.txt"), before);
    EXPECT_EQ(platform::ReadWholeFile(data + "/数据/conf.ini"), confBefore);
  }

  FILE* out = popen((tool + " dump --data-dir '" + data + "'").c_str(), "r");
  ASSERT_NE(out, nullptr);
  std::string json;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, out)) json.append(buf, n);
  EXPECT_EQ(pclose(out), 0);
  EXPECT_TRUE(json.starts_with(R"({"phrase_groups":[{"name":"组","rows":["一"]}],"command_groups":[{"name":"默认")")) << json;

  // A Data folder that is a file cannot be read.
  EXPECT_EQ(WEXITSTATUS(std::system((tool + " dump --data-dir '" + good + "' 2>/dev/null").c_str())), 1);
}

// Runs the tool through the shell; its standard output goes to `out`, its error output to `err`.
int RunTool(const std::string& args, std::string* out = nullptr, std::string* err = nullptr) {
  testing::TempDir logs("logs");
  const std::string outPath = logs.Sub("out"), errPath = logs.Sub("err");
  const int status = std::system((std::string(JIHE_DATA_TOOL) + " " + args + " >'" + outPath + "' 2>'" + errPath + "'").c_str());
  if (out) *out = platform::ReadWholeFile(outPath).value_or("");
  if (err) *err = platform::ReadWholeFile(errPath).value_or("");
  return WEXITSTATUS(status);
}

TEST(JiheDataToolTest, NamesComeBackExactlyOrAreRefused) {
  testing::TempDir dir;
  const std::string data = dir.Sub("数据夹"), doc = dir.Sub("doc.json");
  const std::string groups =
      R"([{"name":"售后 ","rows":["一"]},{"name":" 售后","rows":["二"]},{"name":"\"VIP\"","rows":["三"]},)"
      R"({"name":"'VIP'","rows":["四"]},{"name":";注释","rows":["五"]},{"name":"[主面板]","rows":["六"]}])";
  ASSERT_TRUE(platform::WriteFileAtomically(doc, R"({"phrase_groups":)" + groups + R"(,"music":" 铃声.wav "})"));
  ASSERT_EQ(RunTool("restore '" + doc + "' --data-dir '" + data + "'"), 0);
  std::string json;
  ASSERT_EQ(RunTool("dump --data-dir '" + data + "'", &json), 0);
  EXPECT_TRUE(json.starts_with(R"({"phrase_groups":)" + groups + ",")) << json;
  EXPECT_NE(json.find(R"("music":" 铃声.wav ")"), std::string::npos) << json;

  // A line break cannot be stored in an INI line: refused before anything is written.
  const std::string fresh = dir.Sub("新夹");
  for (const char* bad : {R"({"phrase_groups":[{"name":"a\r\n[主面板]","rows":[]}]})", R"({"music":"a\nb"})",
                          R"({"schedule":[{"time":"09:05\r","type":"定时提醒"}]})"}) {
    ASSERT_TRUE(platform::WriteFileAtomically(doc, bad));
    std::string err;
    EXPECT_EQ(RunTool("restore '" + doc + "' --data-dir '" + fresh + "'", nullptr, &err), 1) << bad;
    EXPECT_NE(err.find("line break"), std::string::npos) << err;
    EXPECT_FALSE(platform::DirectoryExists(fresh)) << bad;
  }
}

TEST(JiheDataToolTest, RestoreFailsWhenConfigIniCannotBeRead) {
  testing::TempDir dir;
  const std::string data = dir.Sub("数据夹"), doc = dir.Sub("doc.json");
  ASSERT_TRUE(platform::WriteFileAtomically(doc, R"({"music":"铃声"})"));
  ASSERT_EQ(RunTool("restore '" + doc + "' --data-dir '" + data + "'"), 0);
  // config.ini is there but cannot be read: the name leads to a folder.
  const auto config = testing::PathOf(data + "/config.ini");
  std::filesystem::rename(config, testing::PathOf(data + "/config.saved"));
  std::filesystem::create_directory(testing::PathOf(data + "/elsewhere"));
  std::filesystem::create_directory_symlink(testing::PathOf(data + "/elsewhere"), config);
  std::string err;
  EXPECT_EQ(RunTool("restore '" + doc + "' --data-dir '" + data + "'", nullptr, &err), 1);
  EXPECT_NE(err.find("config.ini"), std::string::npos) << err;
  EXPECT_TRUE(std::filesystem::is_symlink(config));
}
#endif

}  // namespace
}  // namespace jihe::cli
