// Our INI reading and writing against the system's private-profile functions.
#include <windows.h>

#include <gtest/gtest.h>

#include "fakes/temp_dir.h"
#include "platform/utf16.h"
#include "storage/gb18030.h"
#include "storage/ini_file.h"

namespace jihe::storage {
namespace {

std::optional<std::string> SystemRead(const std::string& path, const std::string& section, const std::string& key) {
  wchar_t buffer[10240];
  const std::wstring kAbsent = L"<absent>";
  GetPrivateProfileStringW(platform::Widen(section).c_str(), platform::Widen(key).c_str(), kAbsent.c_str(), buffer,
                           10240, platform::Widen(path).c_str());
  if (buffer == kAbsent) return std::nullopt;
  return platform::Narrow(buffer);
}

TEST(IniFileSystemTest, SystemReadsWhatWeReadAndWhatWeWrite) {
  testing::TempDir dir;
  const std::string path = dir.Sub("config.ini");
  IniFile ini = IniFile::FromBytes(EncodeGb18030(
      "[s]\ra=1\r[broken\r\nb=2\r\n[t]x]junk\r\nc=3\r\nhidden\r\nhidden=4\r\nz=\x1a 5 \x1a\r\n\x1a[u]\x1a\r\nd=6\r\n"));
  const std::string names[] = {"售后 ", " 售后", "\"VIP\"", "'VIP'", "\"", "x\x1a", "　全角", ";注释", "[主面板]", "a=b", ""};
  for (size_t i = 0; i < std::size(names); ++i) ASSERT_TRUE(ini.Set("短语子夹名", std::to_string(i), names[i]));
  ASSERT_TRUE(ini.Save(path));

  const std::pair<const char*, const char*> probes[] = {
      {"s", "a"}, {"s", "b"}, {"broken", "b"}, {"t]x", "c"}, {"t", "c"}, {"t]x", "hidden"}, {"t]x", "z"}, {"u", "d"}};
  for (const auto& [section, key] : probes) EXPECT_EQ(SystemRead(path, section, key), ini.Get(section, key)) << section << "/" << key;
  for (size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(SystemRead(path, "短语子夹名", std::to_string(i)), names[i]);
}

}  // namespace
}  // namespace jihe::storage
