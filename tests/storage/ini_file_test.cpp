#include "storage/ini_file.h"

#include <gtest/gtest.h>

#include "fakes/temp_dir.h"
#include "platform/file_system.h"
#include "storage/gb18030.h"

namespace jihe::storage {
namespace {

IniFile FromUtf8(const std::string& text) { return IniFile::FromBytes(EncodeGb18030(text)); }

TEST(IniFileRead, FollowsPrivateProfileRules) {
  const IniFile ini = FromUtf8(
      "[主面板]\r\n"
      "  music =  C:\\声音\\a.wav  \r\n"
      "quoted=\"  keep inner blanks  \"\r\n"
      "single='x'\r\n"
      "half=\"open\r\n"
      "Dup=first\r\n"
      "dup=second\r\n"
      "noequals\r\n"
      "[ Size ]\n"
      "Height=463px\n"
      "neg=-5\n"
      "junk=abc\n"
      "[主面板]\r\n"
      "late=ignored\r\n");
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> want;
  } cases[] = {
      {"主面板", "music", "C:\\声音\\a.wav"},
      {"主面板", "MUSIC", "C:\\声音\\a.wav"},
      {"主面板", "quoted", "  keep inner blanks  "},
      {"主面板", "single", "x"},
      {"主面板", "half", "\"open"},
      {"主面板", "dup", "first"},
      {"主面板", "noequals", std::nullopt},
      {"主面板", "late", std::nullopt},  // only the first section of a name is read
      {"size", "height", "463px"},
      {"SIZE", "missing", std::nullopt},
      {"nosuch", "music", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini.Get(c.section, c.key), c.want) << c.section << "/" << c.key;
  }
  EXPECT_EQ(ini.GetInt("Size", "Height"), 463);
  EXPECT_EQ(ini.GetInt("Size", "neg"), -5);
  EXPECT_EQ(ini.GetInt("Size", "junk"), 0);
  EXPECT_EQ(ini.GetInt("Size", "missing"), 0);
}

// Hand-edited and damaged files read as the system's private-profile functions read them.
TEST(IniFileRead, DamagedLinesReadAsTheSystemReadsThem) {
  const IniFile ini = FromUtf8(
      "[s]\r"                   // a CR alone ends a line
      "a=1\r"
      "[broken\r\n"             // no "]": not a section header, so s goes on
      "b=2\r\n"
      "[t]x]junk\r\n"           // the name runs to the last "]"
      "c=3\r\n"
      "hidden\r\n"              // the key without "=" hides the later line of that key
      "hidden=4\r\n"
      "z=\x1a 5 \x1a\r\n"       // ^Z is a blank
      "\x1a[u]\x1a\r\n"
      "d=6\r\n");
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> want;
  } cases[] = {
      {"s", "a", "1"},        {"s", "b", "2"},          {"broken", "b", std::nullopt},
      {"t]x", "c", "3"},      {"t", "c", std::nullopt}, {"t]x", "hidden", std::nullopt},
      {"t]x", "z", "5"},      {"u", "d", "6"},
  };
  for (const auto& c : cases) EXPECT_EQ(ini.Get(c.section, c.key), c.want) << c.section << "/" << c.key;
  // A write replaces the line that hides the key.
  IniFile written = ini;
  ASSERT_TRUE(written.Set("t]x", "hidden", "5"));
  EXPECT_EQ(written.Get("t]x", "hidden"), "5");
  EXPECT_NE(written.ToBytes().find("hidden=5\r\nhidden=4\r\n"), std::string::npos);
}

TEST(IniFileRead, BooleansOnlyTrueForZhen) {
  const IniFile ini = FromUtf8("[s]\r\na=真\r\nb=假\r\nc=1\r\nd=true\r\ne= 真 \r\nf=真的\r\n");
  EXPECT_TRUE(ini.GetBool("s", "a"));
  EXPECT_TRUE(ini.GetBool("s", "e"));  // blanks are trimmed before the comparison
  for (const char* key : {"b", "c", "d", "f"}) EXPECT_FALSE(ini.GetBool("s", key, true)) << key;
  EXPECT_TRUE(ini.GetBool("s", "missing", true));
  EXPECT_FALSE(ini.GetBool("s", "missing", false));
}

TEST(IniFileRead, LongValuesAreCutAt10239Bytes) {
  // Two-byte characters: the cut may fall inside one, whose lead byte is then kept as it is.
  const std::string longAscii(12000, 'x');
  std::string longChinese;
  for (int i = 0; i < 6000; ++i) longChinese += "定";
  // "À" takes two bytes in UTF-8 and four in GB18030: the limit is in the file's bytes.
  std::string longLatin;
  for (int i = 0; i < 5000; ++i) longLatin += "À";
  const IniFile ini = FromUtf8("[s]\r\na=" + longAscii + "\r\nb=" + longChinese + "\r\nc=" +
                               std::string(kIniValueLimit, 'y') + "\r\nd=" + longLatin + "\r\n");
  EXPECT_EQ(ini.Get("s", "a")->size(), kIniValueLimit);
  EXPECT_EQ(EncodeGb18030(*ini.Get("s", "b")).size(), kIniValueLimit);
  EXPECT_EQ(ini.Get("s", "c")->size(), kIniValueLimit);
  EXPECT_EQ(EncodeGb18030(*ini.Get("s", "d")).size(), kIniValueLimit);
}

TEST(IniFileRead, LeadingNumber) {
  struct Case {
    const char* text;
    int want;
  } cases[] = {{"279", 279},        {"-5", -5},   {"  42abc", 42}, {"+7", 7},
               {"abc", 0},          {"", 0},      {"-", 0},        {"99999999999", 2147483647},
               {"-99999999999", -2147483647 - 1}, {"3.9", 3}};
  for (const auto& c : cases) EXPECT_EQ(LeadingNumber(c.text), c.want) << c.text;
}

TEST(IniFileWrite, ReplacesInPlaceAndKeepsOtherLines) {
  IniFile ini = FromUtf8("; 注释\r\n[大小]\r\nHeight = 1\r\n\r\n[主面板]\nmusic=a\n\n\n[其他]\r\nx=1");
  ini.Set("大小", "高度", "463");       // new key: after the section's last line that is not blank
  ini.Set("大小", "height", "500");     // existing key, other case: replaced in place
  ini.Set("主面板", "music", "默认声音");
  ini.Set("其他", "y", "2");           // the last line had no line break
  ini.Set("新节", "k", "v");           // new section at the end
  const std::string want =
      "; 注释\r\n[大小]\r\nheight=500\r\n高度=463\r\n\r\n[主面板]\nmusic=默认声音\n\n\n[其他]\r\nx=1\r\ny=2\r\n"
      "[新节]\r\nk=v\r\n";
  EXPECT_EQ(ini.ToBytes(), EncodeGb18030(want));
}

TEST(IniFileWrite, ValuesComeBackExactlyAsWritten) {
  struct Case {
    std::string value;
    const char* line;  // the line written, when it is not simply k=value
  } cases[] = {
      {"售后", nullptr},     {"售后 ", "k=\"售后 \""},      {" 售后", "k=\" 售后\""},
      {"\"VIP\"", "k=\"\"VIP\"\""}, {"'VIP'", "k=\"'VIP'\""},  {"\"", nullptr},
      {"'", nullptr},        {"\"VIP'", nullptr},           {"\"\"", "k=\"\"\"\""},
      {"x\x1a", "k=\"x\x1a\""}, {"\t", "k=\"\t\""},          {"", nullptr},
      {"　全角", "k=\"　全角\""},  {";注释", nullptr},            {"[主面板]", nullptr},
      {"a=b", nullptr},      {"C:\\铃声 .wav", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    IniFile ini = FromUtf8("[主面板]\r\nk=old\r\n");
    ASSERT_TRUE(ini.Set("主面板", "k", c.value));
    EXPECT_EQ(ini.Get("主面板", "k"), c.value);
    EXPECT_EQ(IniFile::FromBytes(ini.ToBytes()).Get("主面板", "k"), c.value);
    EXPECT_EQ(DecodeGb18030(ini.ToBytes()), "[主面板]\r\n" + (c.line ? std::string(c.line) : "k=" + c.value) + "\r\n");
  }
  // No line can hold a line break: such a write is refused and changes nothing.
  IniFile ini = FromUtf8("[主面板]\r\nk=old\r\n");
  const std::string before = ini.ToBytes();
  for (const char* value : {"a\r\n[主面板]\r\nk=new", "a\rb", "a\nb"}) EXPECT_FALSE(ini.Set("主面板", "k", value));
  EXPECT_FALSE(ini.Set("主面板", "k\n", "v"));
  EXPECT_FALSE(ini.Set("主面板", "a=b", "v"));
  EXPECT_FALSE(ini.Set("主\r面板", "k", "v"));
  EXPECT_EQ(ini.ToBytes(), before);
}

TEST(IniFileWrite, SaveIsReadBackAndKeepsUndecodableBytes) {
  testing::TempDir dir;
  const std::string path = dir.Sub("config.ini");
  // 0x81 0x20 is not GB18030; the line it is on must come back byte for byte.
  const std::string original = std::string("[a]\r\nodd=\x81 x\r\n") + EncodeGb18030("名=霁禾😀\r\n");
  ASSERT_TRUE(platform::WriteFileAtomically(path, original));
  IniFile ini = IniFile::Load(path);
  ASSERT_TRUE(ini.Exists());
  EXPECT_EQ(*ini.Get("a", "名"), "霁禾😀");
  ini.SetInt("b", "n", -5);
  ASSERT_TRUE(ini.Save(path));
  EXPECT_EQ(*platform::ReadWholeFile(path), original + "[b]\r\nn=-5\r\n");
  EXPECT_FALSE(IniFile::Load(dir.Sub("missing.ini")).Exists());
}

}  // namespace
}  // namespace jihe::storage
