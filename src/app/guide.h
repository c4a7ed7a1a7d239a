#pragma once
// The guide that ships inside the program: 使用教程, 关于 and 联系我们 as pages with their pictures,
// written into the Data folder's help folder for the system's browser. A company's IT names its own
// site and contact in config.ini ([关于] 官网, [关于] 联系); the menu items open those, and the
// pages say them too.
#include <string>
#include <string_view>
#include <vector>

#include "storage/data_folder.h"

namespace jihe::app {

inline constexpr std::string_view kGuidePage = "使用教程.html";
inline constexpr std::string_view kAboutPage = "关于.html";
inline constexpr std::string_view kContactPage = "联系我们.html";

struct AboutKeys {
  std::string homepage;  // [关于] 官网
  std::string contact;   // [关于] 联系
};
AboutKeys LoadAboutKeys(const storage::DataFolder& folder);

struct GuideFile {
  std::string name;  // inside the help folder
  std::string bytes;
};

// The pages as they are written: the about and contact pages with the keys filled in, as HTML text.
std::string FillGuidePage(std::string_view html, const AboutKeys& keys);

// Writes each file that is missing from `helpFolder` or differs from the program's (a guide from
// another version, or one written before the keys changed); false when one could not be written.
bool WriteGuide(const std::string& helpFolder, const std::vector<GuideFile>& files);

// Whether a key's value is an address the shell may open (http, https, mailto, tel); anything else
// (a phone number written as text) is shown on the page instead.
bool IsOpenableAddress(std::string_view value);

std::string HelpFolder(const storage::DataFolder& folder);

}  // namespace jihe::app
