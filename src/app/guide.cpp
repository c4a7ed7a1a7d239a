#include "app/guide.h"

#include "platform/file_system.h"
#include "storage/ini_file.h"
#include "storage/text_split.h"

namespace jihe::app {

namespace {

std::string Linked(std::string_view value) {
  const std::string text = storage::EscapeHtml(value, true);
  if (!IsOpenableAddress(value)) return text;
  return "<a href=\"" + text + "\">" + text + "</a>";
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

AboutKeys LoadAboutKeys(const storage::DataFolder& folder) {
  const storage::IniFile config = storage::IniFile::Load(folder.ConfigIni());
  return {config.GetString("关于", "官网"), config.GetString("关于", "联系")};
}

bool IsOpenableAddress(std::string_view value) {
  for (std::string_view scheme : {"http://", "https://", "mailto:", "tel:"}) {
    if (StartsWithIgnoringCase(value, scheme) && value.size() > scheme.size()) return true;
  }
  return false;
}

std::string FillGuidePage(std::string_view html, const AboutKeys& keys) {
  std::string homepage = keys.homepage.empty() ? std::string() : "<p>官方网址：" + Linked(keys.homepage) + "</p>";
  std::string contact;
  if (!keys.contact.empty()) contact += "<p>联系方式：" + Linked(keys.contact) + "</p>";
  contact += homepage;
  if (contact.empty()) {
    contact =
        "<p>本软件由贵公司的 IT 或客服主管部署。使用中遇到问题，请先找为您安装本软件的同事。</p>"
        "<p>给 IT 同事：在数据文件夹的 config.ini 里加上 <code>[关于]</code> 一节，写上 <code>官网=</code> 和 "
        "<code>联系=</code>（网址、mailto: 邮箱或 tel: 电话），这一页和“官方网址”“联系我们”两个菜单就会用上它们。</p>";
  }
  return storage::ReplaceAll(storage::ReplaceAll(html, "{{官网段落}}", homepage), "{{联系段落}}", contact);
}

bool WriteGuide(const std::string& helpFolder, const std::vector<GuideFile>& files) {
  bool ok = platform::CreateDirectories(helpFolder);
  for (const GuideFile& file : files) {
    const std::string path = helpFolder + file.name;
    if (platform::ReadWholeFile(path) == file.bytes) continue;
    ok = platform::WriteFileAtomically(path, file.bytes) && ok;
  }
  return ok;
}

std::string HelpFolder(const storage::DataFolder& folder) {
  return folder.root() + "help" + platform::kPathSeparator;
}

}  // namespace jihe::app
