// The guide that ships with the program: 使用教程 writes it into the Data folder and asks the shell
// to open it; 官方网址 opens the address config.ini names. The shell's handlers for .html pages and
// http addresses are, for the test, tools/open_recorder, which notes what it was asked to open.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "e2e/jihe_driver.h"
#include "platform/file_system.h"
#include "platform/utf16.h"
#include "storage/gb18030.h"

namespace jihe::e2e {
namespace {

// A default value of HKEY_CLASSES_ROOT replaced for the test and put back afterwards (the key is
// removed again when it was not there).
class ClassValue {
 public:
  ClassValue(std::wstring key, const std::wstring& value) : key_(std::move(key)) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
      existed_ = true;
      wchar_t buffer[1024] = {};
      DWORD size = sizeof buffer - sizeof(wchar_t);
      if (RegQueryValueExW(h, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS)
        old_ = buffer;
      RegCloseKey(h);
    }
    ok_ = Set(value);
  }
  ~ClassValue() {
    if (!existed_) RegDeleteTreeW(HKEY_CLASSES_ROOT, key_.c_str());
    else if (old_) Set(*old_);
  }
  bool ok() const { return ok_; }

 private:
  bool Set(const std::wstring& value) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
      return false;
    const LONG r = RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
  }
  std::wstring key_;
  bool existed_ = false;
  std::optional<std::wstring> old_;
  bool ok_ = false;
};

class GuideE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    log_ = std::wstring(temp) + L"jihe-opened-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    const std::wstring command = L"\"" + BuiltProgram(OPEN_RECORDER_EXE) + L"\" \"" + log_ + L"\" \"%1\"";
    for (const auto& [key, value] : {std::pair<std::wstring, std::wstring>{L".html", L"JiheGuideTest"},
                                     {L"JiheGuideTest\\shell\\open\\command", command},
                                     {L"http\\shell\\open\\command", command}}) {
      handlers_.push_back(std::make_unique<ClassValue>(key, value));
      if (!handlers_.back()->ok()) GTEST_SKIP() << "the shell's handlers cannot be set here";
    }
  }
  void TearDown() override {
    handlers_.clear();
    DeleteFileW(log_.c_str());
  }
  // What the handlers were asked to open, one line each.
  std::string Opened() const { return platform::ReadWholeFile(platform::Narrow(log_)).value_or(""); }

  TempFolder data_;
  std::wstring log_;
  std::vector<std::unique_ptr<ClassValue>> handlers_;
};

TEST_F(GuideE2e, TheGuideIsWrittenAndOpenedAndTheHomepageComesFromConfig) {
  Jihe jihe(data_.path());
  ASSERT_NE(jihe.WaitForPanel(), nullptr);
  const std::string guide = data_.Utf8(L"help\\使用教程.html");

  jihe.PostCommand(static_cast<UINT>(app::Command::Tutorial));
  ASSERT_TRUE(WaitFor([&] { return platform::ReadWholeFile(guide).has_value(); })) << guide;
  ASSERT_TRUE(WaitFor([&] { return Opened().find("使用教程.html") != std::string::npos; })) << Opened();
  EXPECT_NE(Opened().find(guide), std::string::npos) << Opened();
  const auto page = platform::ReadWholeFile(guide);
  ASSERT_TRUE(page);
  EXPECT_NE(page->find("{对方}"), std::string::npos);  // the program's own guide, variables and all
  for (const wchar_t* picture : {L"help\\panel.png", L"help\\variables.png"})
    EXPECT_TRUE(platform::ReadWholeFile(data_.Utf8(picture))) << platform::Narrow(picture);

  // Without [关于] 联系 the guide's contact page opens; with 官网 set, 官方网址 opens that address, and
  // the contact page names it.
  jihe.PostCommand(static_cast<UINT>(app::Command::Contact));
  ASSERT_TRUE(WaitFor([&] { return Opened().find("联系我们.html") != std::string::npos; })) << Opened();
  ASSERT_TRUE(platform::WriteFileAtomically(
      data_.Utf8(L"config.ini"),
      platform::ReadWholeFile(data_.Utf8(L"config.ini")).value_or("") +
          storage::EncodeGb18030("\r\n[关于]\r\n官网=http://it.example.cn/客服\r\n")));
  jihe.PostCommand(static_cast<UINT>(app::Command::Homepage));
  ASSERT_TRUE(WaitFor([&] { return Opened().find("http://it.example.cn/") != std::string::npos; })) << Opened();
  jihe.PostCommand(static_cast<UINT>(app::Command::Contact));
  EXPECT_TRUE(WaitFor([&] {
    const auto contact = platform::ReadWholeFile(data_.Utf8(L"help\\联系我们.html"));
    return contact && contact->find("官方网址：<a href=\"http://it.example.cn/客服\">") != std::string::npos;
  }));
}

}  // namespace
}  // namespace jihe::e2e
