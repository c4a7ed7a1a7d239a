#include "storage/store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>

#include "platform/utf16.h"
#endif

#include "fakes/temp_dir.h"
#include "platform/file_system.h"
#include "storage/gb18030.h"
#include "storage/ini_file.h"

namespace jihe::storage {
namespace {

using library::Group;
using library::GroupKind;

class StoreTest : public ::testing::Test {
 protected:
  StoreTest() : store_(DataFolder(dir_.str())) { EXPECT_TRUE(store_.folder().EnsureFolders()); }

  std::string Path(const std::string& relative) const { return dir_.Sub(relative); }
  std::string Read(const std::string& relative) const { return platform::ReadWholeFile(Path(relative)).value_or("<missing>"); }
  void Write(const std::string& relative, const std::string& utf8) const {
    ASSERT_TRUE(platform::WriteFileAtomically(Path(relative), EncodeGb18030(utf8)));
  }
  IniFile Conf() const { return IniFile::Load(Path("数据/conf.ini")); }
  IniFile Config() const { return IniFile::Load(Path("config.ini")); }

  static Workspace Loaded(Store& store) {
    Workspace ws;
    store.LoadAll(ws);
    return ws;
  }
  static std::vector<std::string> Names(const library::GroupStrip& strip) {
    std::vector<std::string> names;
    for (size_t i : strip.VisibleIndices()) names.push_back(strip.ListOfGroup(i)->name());
    return names;
  }

  testing::TempDir dir_;
  Store store_;
};

TEST_F(StoreTest, FirstStartShowsDesignStateAndFirstSaveWritesIt) {
  Workspace ws = Loaded(store_);
  EXPECT_EQ(Names(ws.library.phrases), std::vector<std::string>{"分组1"});
  EXPECT_EQ(ws.library.phrases.ListOfGroup(0)->rows().size(), 6u);
  EXPECT_EQ(Names(ws.library.commands), std::vector<std::string>{"默认"});
  EXPECT_EQ(ws.music, "默认声音");
  EXPECT_TRUE(ws.shake);
  EXPECT_FALSE(ws.geometry);
  EXPECT_FALSE(ws.schedule.on);

  ws.geometry = PanelGeometry{463, 279, 500, 200};
  store_.SaveAll(ws);
  const std::string phrases = DecodeGb18030(Read("数据/短语/分组1.txt"));
  EXPECT_EQ(std::count(phrases.begin(), phrases.end(), '\n'), 6);
  EXPECT_TRUE(phrases.starts_with("如何管理分组？┃"));
  EXPECT_EQ(DecodeGb18030(Read("数据/快捷/默认.txt")), "百度┃https://www.baidu.com/\r\n");
  const IniFile conf = Conf();
  EXPECT_EQ(conf.GetInt("主面板", "短语子夹数"), 1);
  EXPECT_EQ(conf.GetInt("主面板", "快捷子夹数"), 1);
  EXPECT_EQ(conf.GetString("短语子夹名", "0"), "分组1");
  EXPECT_EQ(conf.GetString("快捷子夹名", "0"), "默认");
  const IniFile config = Config();
  EXPECT_EQ(config.GetInt("大小", "高度"), 463);
  EXPECT_EQ(config.GetInt("大小", "左边"), 500);
  EXPECT_EQ(config.GetString("主面板", "music"), "默认声音");
  EXPECT_EQ(config.GetString("主面板", "抖动"), "真");
  EXPECT_EQ(config.GetString("主面板", "定时开关"), "假");
  EXPECT_EQ(config.Get("主面板", "定时项目"), "");
}

TEST_F(StoreTest, ConfigPresentWithoutKeysUsesTheAbsentKeyColumn) {
  struct Case {
    std::string config;
    std::string music;
    bool shake;
    std::optional<PanelGeometry> geometry;
  } cases[] = {
      {"[其他]\r\nx=1\r\n", "", false, std::nullopt},
      {"[主面板]\r\nmusic=D:\\铃声.mid\r\n抖动=真\r\n[大小]\r\n高度=0\r\n宽度=300\r\n左边=5\r\n顶边=6\r\n",
       "D:\\铃声.mid", true, std::nullopt},
      {"[大小]\r\n高度=600\r\n宽度=300\r\n左边=-5\r\n顶边=abc\r\n", "", false, PanelGeometry{600, 300, -5, 0}},
      {"[主面板]\r\n抖动=1\r\n", "", false, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.config);
    Write("config.ini", c.config);
    const Workspace ws = Loaded(store_);
    EXPECT_EQ(ws.music, c.music);
    EXPECT_EQ(ws.shake, c.shake);
    EXPECT_EQ(ws.geometry, c.geometry);
  }
}

TEST_F(StoreTest, ScheduleComesBackWithTimesAndTypesOnly) {
  Workspace ws = Loaded(store_);
  ws.schedule.items = {{"09:05", "定时提醒", "8日09:05已执行", "喝水"}, {"18:30", "定时关机", "", ""}};
  ws.schedule.on = true;
  store_.SaveAll(ws);
  EXPECT_EQ(Config().GetString("主面板", "定时项目"), "09:05--定时提醒[br]18:30--定时关机[br]");
  Store again{DataFolder(dir_.str())};
  const Workspace back = Loaded(again);
  ASSERT_EQ(back.schedule.items.size(), 2u);
  EXPECT_EQ(back.schedule.items[0], (schedule::TimedItem{"09:05", "定时提醒", "", ""}));
  EXPECT_TRUE(back.schedule.on);
}

TEST_F(StoreTest, KeptByteBeforeAMarkerIsWrittenOnceAndThenStaysPut) {
  // A lone lead byte at the end of a schedule type and before a line break inside a row.
  ASSERT_TRUE(platform::WriteFileAtomically(Path("config.ini"), EncodeGb18030("[主面板]\r\n定时项目=09:00--x") + "\x81\r\n"));
  ASSERT_TRUE(platform::WriteFileAtomically(Path("数据/conf.ini"), EncodeGb18030("[主面板]\r\n短语子夹数=1\r\n[短语子夹名]\r\n0=组\r\n")));
  ASSERT_TRUE(platform::WriteFileAtomically(Path("数据/短语/组.txt"), "a\xB6\r\nb\r\n"));
  Workspace ws = Loaded(store_);
  auto& rows = ws.library.phrases.ListOfGroup(0)->MutableRows();
  rows = {rows[0] + "\r\n" + rows[1]};
  store_.SaveAll(ws);
  for (int save = 0; save < 2; ++save) {
    Store again{DataFolder(dir_.str())};
    again.SaveAll(Loaded(again));
    EXPECT_EQ(Config().GetString("主面板", "定时项目"), "09:00--x[br]");
    EXPECT_EQ(Read("数据/短语/组.txt"), EncodeGb18030("a[换行]b\r\n"));
  }
}

TEST_F(StoreTest, DeletedAndRenamedGroupsLeaveTheirFilesAndStaleKeys) {
  Workspace ws = Loaded(store_);
  auto& strip = ws.library.phrases;
  strip.ListOfGroup(strip.CreateSlot("二"))->MutableRows() = {"b"};
  strip.ListOfGroup(strip.CreateSlot("三"))->MutableRows() = {"c"};
  store_.SaveAll(ws);

  strip.ListOfGroup(1)->MutableRows().clear();
  strip.ListOfGroup(1)->set_hidden(true);
  strip.ListOfGroup(0)->set_name("首组");
  store_.SaveAll(ws);

  const IniFile conf = Conf();
  EXPECT_EQ(conf.GetInt("主面板", "短语子夹数"), 2);
  EXPECT_EQ(conf.GetString("短语子夹名", "0"), "首组");
  EXPECT_EQ(conf.GetString("短语子夹名", "1"), "三");
  EXPECT_EQ(conf.GetString("短语子夹名", "2"), "三");  // stale key from the earlier save, ignored
  EXPECT_EQ(Read("数据/短语/二.txt"), "b\r\n");
  EXPECT_NE(Read("数据/短语/分组1.txt"), "<missing>");

  Store again{DataFolder(dir_.str())};
  const Workspace back = Loaded(again);
  EXPECT_EQ(Names(back.library.phrases), (std::vector<std::string>{"首组", "三"}));
  EXPECT_EQ(back.library.phrases.ListOfGroup(1)->rows(), std::vector<std::string>{"c"});
}

TEST_F(StoreTest, SameNameInBothKindsStaysApart) {
  Workspace ws = Loaded(store_);
  ws.library.phrases.ListOfGroup(0)->set_name("常用");
  ws.library.phrases.ListOfGroup(0)->MutableRows() = {"短语"};
  ws.library.commands.ListOfGroup(0)->set_name("常用");
  store_.SaveAll(ws);
  Store again{DataFolder(dir_.str())};
  const Workspace back = Loaded(again);
  EXPECT_EQ(back.library.phrases.ListOfGroup(0)->rows(), std::vector<std::string>{"短语"});
  EXPECT_EQ(back.library.commands.ListOfGroup(0)->rows(), std::vector<std::string>{"百度┃https://www.baidu.com/"});
}

TEST_F(StoreTest, StrangeNamesKeepTheirRowsAndStayInside) {
  const std::vector<std::string> names = {"..\\..\\逃出", "a/b", "问?", "CON", "Con.txt", "尾点.", "QQ", "qq",
                                          "<|>", "x:y"};
  Workspace ws = Loaded(store_);
  auto& strip = ws.library.phrases;
  strip.slots().clear();
  for (const auto& name : names) strip.ListOfGroup(strip.CreateSlot(name))->MutableRows() = {"行 " + name, "第二行"};
  EXPECT_EQ(store_.SaveAll(ws).failures, 0);

  Store again{DataFolder(dir_.str())};
  const Workspace back = Loaded(again);
  ASSERT_EQ(Names(back.library.phrases), names);
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(back.library.phrases.ListOfGroup(i)->rows(), (std::vector<std::string>{"行 " + names[i], "第二行"}));
  // Every file stayed in the phrase folder: nothing else appeared beside the Data folder.
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir_.path() / testing::PathOf("数据/短语"))) files += e.is_regular_file();
  EXPECT_EQ(files, names.size());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path().parent_path()), {}), 1);
}

TEST_F(StoreTest, EveryGroupKeepsItsOwnRowsWhateverTheNames) {
  // Three groups of one name, and a conf.ini that counts more groups than it names.
  Write("数据/conf.ini", "[主面板]\r\n短语子夹数=6\r\n[短语子夹名]\r\n0=同名\r\n1=同名\r\n2=同名\r\n");
  Workspace ws = Loaded(store_);
  ASSERT_EQ(Names(ws.library.phrases), (std::vector<std::string>{"同名", "同名", "同名", "", "", ""}));
  for (size_t i = 0; i < 6; ++i) ws.library.phrases.ListOfGroup(i)->MutableRows() = {std::to_string(i + 1)};
  EXPECT_EQ(store_.SaveAll(ws).failures, 0);
  Store again{DataFolder(dir_.str())};
  const Workspace back = Loaded(again);
  for (size_t i = 0; i < 6; ++i)
    EXPECT_EQ(back.library.phrases.ListOfGroup(i)->rows(), std::vector<std::string>{std::to_string(i + 1)}) << i;
}

TEST_F(StoreTest, LegacyFileOfAnEscapedNameStillLoads) {
  Write("数据/conf.ini", "[主面板]\r\n短语子夹数=1\r\n[短语子夹名]\r\n0=旧..组\r\n");
  Write("数据/短语/旧..组.txt", "老数据\r\n");
  Workspace ws = Loaded(store_);
  EXPECT_EQ(ws.library.phrases.ListOfGroup(0)->rows(), std::vector<std::string>{"老数据"});
  store_.SaveAll(ws);
  Store again{DataFolder(dir_.str())};
  EXPECT_EQ(Loaded(again).library.phrases.ListOfGroup(0)->rows(), std::vector<std::string>{"老数据"});
  EXPECT_EQ(Read("数据/短语/旧..组.txt"), EncodeGb18030("老数据\r\n"));  // left in place

  // Earlier versions gave the third group of a name the second one's file.
  Write("数据/conf.ini", "[主面板]\r\n短语子夹数=3\r\n[短语子夹名]\r\n0=QQ\r\n1=QQ\r\n2=QQ\r\n");
  Write("数据/短语/QQ.txt", "一\r\n");
  Write("数据/短语/..%51%51.txt", "三\r\n");
  const Workspace three = Loaded(store_);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(three.library.phrases.ListOfGroup(i)->rows(), std::vector<std::string>{i == 0 ? "一" : "三"}) << i;
}

TEST_F(StoreTest, SaveWritesOnlyWhatChangedButAlwaysTheFullRewriteBytes) {
  // Undecodable bytes and a missing final line break in stored files.
  Write("数据/conf.ini", "[主面板]\r\n短语子夹数=3\r\n[短语子夹名]\r\n0=甲\r\n1=乙\r\n2=丙\r\n");
  ASSERT_TRUE(platform::WriteFileAtomically(Path("数据/短语/甲.txt"), "ok\x81\x20odd\r\n"));
  Write("数据/短语/乙.txt", "没有结尾换行");
  Write("数据/短语/丙.txt", "😀 emoji\r\n");
  Workspace ws = Loaded(store_);

  SaveReport first = store_.SaveAll(ws);
  // 乙 gains its final CR LF, the command group is new; 甲 and 丙 are already as a save writes them.
  EXPECT_EQ(first.filesWritten, 2);
  EXPECT_EQ(Read("数据/短语/甲.txt"), "ok\x81\x20odd\r\n");
  EXPECT_EQ(Read("数据/短语/乙.txt"), EncodeGb18030("没有结尾换行\r\n"));

  ws.library.phrases.ListOfGroup(2)->MutableRows().push_back("新");
  EXPECT_EQ(store_.SaveAll(ws).filesWritten, 1);
  EXPECT_EQ(store_.SaveAll(ws).filesWritten, 0);

  // A file changed behind our back is written again.
  Write("数据/短语/甲.txt", "别人改的\r\n");
  EXPECT_EQ(store_.SaveAll(ws).filesWritten, 1);
  EXPECT_EQ(Read("数据/短语/甲.txt"), "ok\x81\x20odd\r\n");

  // The same workspace saved by a fresh store (a full rewrite) gives the same bytes everywhere.
  testing::TempDir other;
  Store full{DataFolder(other.str())};
  ASSERT_TRUE(full.folder().EnsureFolders());
  full.SaveAll(ws);
  for (const char* f : {"数据/短语/甲.txt", "数据/短语/乙.txt", "数据/短语/丙.txt", "数据/快捷/默认.txt", "数据/conf.ini"})
    EXPECT_EQ(Read(f), platform::ReadWholeFile(other.Sub(f)).value_or("<missing>")) << f;
  EXPECT_EQ(DecodeGb18030(Read("数据/短语/丙.txt")), "😀 emoji\r\n新\r\n");
}

TEST_F(StoreTest, SettingsLoadAndSave) {
  settings::Options options;
  store_.LoadSettings(options);  // no config.ini: every option keeps its design state
  for (const auto& info : settings::AllOptions())
    EXPECT_EQ(options.Get(info.option), settings::Options().Get(info.option)) << info.key;

  Write("config.ini", "[选择框]\r\n跟随QQ=1\r\n自动点发送=真\r\n[单选框]\r\n单击发送=真\r\n跟随到左边=假\r\n");
  store_.LoadSettings(options);
  EXPECT_FALSE(options.Get(settings::Option::跟随QQ));        // anything but 真 is off
  EXPECT_TRUE(options.Get(settings::Option::跟随微信));       // missing key keeps its state
  EXPECT_TRUE(options.Get(settings::Option::自动点发送));
  EXPECT_TRUE(options.Get(settings::Option::单击发送));
  EXPECT_FALSE(options.Get(settings::Option::双击发送));      // its radio partner went off
  EXPECT_TRUE(options.Get(settings::Option::跟随到右边));

  options.Set(settings::Option::双击发送, true);
  options.Set(settings::Option::跟随QQ, true);
  options.SetInterval("800");
  options.SetHotkey({settings::kModCtrl | settings::kModShift, 'Q'});
  ASSERT_TRUE(store_.SaveSettings(options));
  EXPECT_EQ(Config().GetString("热键", "呼出"), "Ctrl+Shift+Q");
  const IniFile config = Config();
  EXPECT_EQ(config.GetString("选择框", "跟随QQ"), "真");
  EXPECT_EQ(config.GetString("单选框", "双击发送"), "真");
  EXPECT_EQ(config.GetString("单选框", "单击发送"), "假");
  int keys = 0;
  for (const auto& info : settings::AllOptions()) keys += config.Get(info.section, info.key).has_value();
  EXPECT_EQ(keys, static_cast<int>(settings::kOptionCount));
  settings::Options reloaded;
  store_.LoadSettings(reloaded);
  EXPECT_EQ(reloaded.Interval(), "400");  // the interval is never stored
  EXPECT_EQ(reloaded.Hotkey(), (settings::Hotkey{settings::kModCtrl | settings::kModShift, 'Q'}));

  Write("config.ini", "[热键]\r\n呼出=Q\r\n");  // unreadable: the combination in use stays
  store_.LoadSettings(reloaded);
  EXPECT_EQ(reloaded.Hotkey(), (settings::Hotkey{settings::kModCtrl | settings::kModShift, 'Q'}));
}

}  // namespace
}  // namespace jihe::storage

namespace jihe::storage {
namespace {

// Makes a file that is there but cannot be read: on Windows another handle holds it without
// sharing reads (as an editor or a scanner may); elsewhere the name leads to a folder.
class UnreadableFile {
 public:
  explicit UnreadableFile(std::string path) : path_(std::move(path)) {
#ifdef _WIN32
    handle_ = CreateFileW(platform::Widen(path_).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(handle_, INVALID_HANDLE_VALUE);
#else
    const auto p = testing::PathOf(path_);
    saved_ = testing::PathOf(path_ + ".saved");
    std::filesystem::rename(p, saved_);
    std::filesystem::create_directory(testing::PathOf(path_ + ".folder"));
    std::filesystem::create_directory_symlink(testing::PathOf(path_ + ".folder"), p);
#endif
  }
  ~UnreadableFile() { Release(); }
  void Release() {
#ifdef _WIN32
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
#else
    if (saved_.empty()) return;
    std::filesystem::remove(testing::PathOf(path_));
    std::filesystem::rename(saved_, testing::PathOf(path_));
    saved_.clear();
#endif
  }

 private:
  std::string path_;
#ifdef _WIN32
  HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
  std::filesystem::path saved_;
#endif
};

TEST(StoreSaveTest, LeavesWhatItCannotReadAndReportsWhatItCannotWrite) {
  struct Case {
    const char* name;
    const char* unreadable;  // a file that is there but cannot be read during the save
    bool heldForAMoment;     // ... only until the save's first pause
    const char* unwritable;  // a folder where the save puts its temporary file
    int failures;
    bool settingsKept;
    bool settingsSaved;
  } cases[] = {
      {"config.ini unreadable", "config.ini", false, nullptr, 0, true, false},
      {"config.ini held for a moment", "config.ini", true, nullptr, 0, false, true},
      {"conf.ini unreadable", "数据/conf.ini", false, nullptr, 1, false, true},
      {"conf.ini cannot be written", nullptr, false, "数据/conf.ini.jihe-tmp", 1, false, true},
      {"config.ini cannot be written", nullptr, false, "config.ini.jihe-tmp", 1, false, false},
  };
  const std::string foreign = EncodeGb18030("[其他]\r\n外来=保留\r\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    Store store{DataFolder(dir.str())};
    ASSERT_TRUE(store.folder().EnsureFolders());
    for (const char* f : {"config.ini", "数据/conf.ini"}) ASSERT_TRUE(platform::WriteFileAtomically(dir.Sub(f), foreign));
    Workspace ws;
    store.LoadAll(ws);
    ws.music = "铃声";

    std::optional<UnreadableFile> unreadable;
    if (c.unreadable) unreadable.emplace(dir.Sub(c.unreadable));
    if (c.unwritable) std::filesystem::create_directory(dir.path() / testing::PathOf(c.unwritable));
    std::chrono::milliseconds paused{0};
    store.SetRetryPause([&](std::chrono::milliseconds ms) {
      if (c.heldForAMoment) unreadable->Release();
      paused += ms;
    });

    const SaveReport report = store.SaveAll(ws);
    EXPECT_EQ(report.failures, c.failures);
    EXPECT_EQ(report.settingsKept, c.settingsKept);
    if (c.unreadable && !c.heldForAMoment) {
      EXPECT_GE(paused.count(), 150);  // tried again for a while, but not for long
      EXPECT_LE(paused.count(), 350);
    }
    EXPECT_EQ(store.SaveSettings(ws.options), c.settingsSaved);
    EXPECT_TRUE(platform::FileExists(dir.Sub("数据/短语/分组1.txt")));  // the groups are saved whatever happens

    if (unreadable) unreadable->Release();
    // Nothing that was stored is lost, and what could be written was.
    for (const char* f : {"config.ini", "数据/conf.ini"})
      EXPECT_EQ(IniFile::Load(dir.Sub(f)).Get("其他", "外来"), "保留") << f;
    const IniFile config = IniFile::Load(dir.Sub("config.ini"));
    const bool configWritten = c.settingsSaved;
    EXPECT_EQ(config.Get("主面板", "music"), configWritten ? std::optional<std::string>("铃声") : std::nullopt);
    EXPECT_EQ(config.Get("选择框", "跟随QQ").has_value(), configWritten);
  }
}

TEST_F(StoreTest, DamagedGroupCountsDoNotRunAway) {
  struct Case {
    const char* conf;
    std::vector<std::string> names;
  } cases[] = {
      // A name missing inside the count is an empty name.
      {"[主面板]\r\n短语子夹数=3\r\n[短语子夹名]\r\n0=甲\r\n2=丙\r\n", {"甲", "", "丙"}},
      {"[主面板]\r\n短语子夹数=2000000000\r\n[短语子夹名]\r\n0=甲\r\n1=乙\r\n", {"甲", "乙"}},
      {"[主面板]\r\n短语子夹数=2000000000\r\n", {"分组1"}},
      {"[主面板]\r\n短语子夹数=-4\r\n[短语子夹名]\r\n0=甲\r\n", {"分组1"}},
      {"[主面板]\r\n短语子夹数=1\r\n[短语子夹名]\r\n0=首\r\n0=次\r\n", {"首"}},
      {"[主面板]\r\n短语子夹数=1\r\n[短语子夹名]\r\n0\r\n0=次\r\n", {""}},  // a key without "=" hides the next
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.conf);
    Write("数据/conf.ini", c.conf);
    Workspace ws;
    store_.LoadAll(ws);
    EXPECT_EQ(Names(ws.library.phrases), c.names);
  }
}

}  // namespace
}  // namespace jihe::storage

namespace jihe::storage {
namespace {

TEST(StoreSaveTest, AllOrNothingLeavesTheFolderAsItWasWhenAFileCannotBeWritten) {
  testing::TempDir dir;
  Store store{DataFolder(dir.str())};
  ASSERT_TRUE(store.folder().EnsureFolders());
  Workspace ws;
  ws.library.phrases.slots() = {{"问候", {"您好"}}};
  ASSERT_EQ(store.SaveAll(ws).failures, 0);
  auto bytesOf = [&](const std::string& relative) { return platform::ReadWholeFile(dir.Sub(relative)).value_or("<missing>"); };
  const std::string conf = bytesOf("数据/conf.ini"), group = bytesOf("数据/短语/问候.txt");

  ws.library.phrases.slots()[0].MutableRows().push_back("新的一行");
  ws.library.phrases.slots().push_back({"新组", {"a"}});
  ws.library.phrases.slots().push_back({"坏组", {"b"}});
  // A folder where the file should go: its temporary file is written, but cannot take its place.
  // conf.ini, written last, blocked the same way, takes back the group files written before it.
  for (const char* where : {"数据/conf.ini.jihe-tmp", "数据/短语/坏组.txt"}) {
    const auto blocker = dir.path() / testing::PathOf(where);
    std::filesystem::create_directory(blocker);
    const SaveReport report = store.SaveAllOrNothing(ws);
    EXPECT_GT(report.failures, 0) << where;
    EXPECT_FALSE(report.notUndone) << where;
    EXPECT_EQ(bytesOf("数据/conf.ini"), conf) << where;
    EXPECT_EQ(bytesOf("数据/短语/问候.txt"), group) << where;
    EXPECT_FALSE(platform::FileExists(dir.Sub("数据/短语/新组.txt"))) << where;
    if (std::string_view(where).ends_with(".jihe-tmp")) std::filesystem::remove(blocker);
  }
  const auto blocked = dir.path() / testing::PathOf("数据/短语/坏组.txt");
  // A write that fails at the last step (an export onto a folder) takes its temporary file away.
  EXPECT_FALSE(platform::WriteFileAtomically(testing::Utf8Of(blocked), "x"));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
    EXPECT_NE(entry.path().extension(), ".jihe-tmp") << entry.path();

  // Once the way is free, the same save goes through whole.
  std::filesystem::remove(blocked);
  EXPECT_EQ(store.SaveAllOrNothing(ws).failures, 0);
  Workspace loaded;
  store.LoadAll(loaded);
  EXPECT_EQ(loaded.library.phrases.slots().size(), 3u);
  EXPECT_EQ(loaded.library.phrases.slots()[0].rows(), (std::vector<std::string>{"您好", "新的一行"}));
}

}  // namespace
}  // namespace jihe::storage
