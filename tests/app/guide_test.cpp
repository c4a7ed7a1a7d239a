// The guide's pages with config.ini's [关于] keys, and which values the shell may open.
#include "app/guide.h"

#include <gtest/gtest.h>

#include "fakes/temp_dir.h"
#include "platform/file_system.h"

namespace jihe::app {
namespace {

TEST(GuideTest, PagesSayTheKeysSafely) {
  const struct {
    AboutKeys keys;
    std::string contains;
    std::string lacks;
  } cases[] = {
      {{"", ""}, "config.ini", "联系方式"},
      {{"https://it.example.cn/?a=1&b=\"2\"", ""},
       "<p>官方网址：<a href=\"https://it.example.cn/?a=1&amp;b=&quot;2&quot;\">", "{{"},
      {{"", "mailto:it@example.cn"}, "<p>联系方式：<a href=\"mailto:it@example.cn\">", "官方网址"},
      // Not an address: said as text, never made a link.
      {{"", "电话 010-1234 <script>"}, "<p>联系方式：电话 010-1234 &lt;script&gt;</p>", "<a"},
      {{"", "javascript:alert(1)"}, "联系方式：javascript:alert(1)</p>", "<a"},
  };
  for (const auto& c : cases) {
    const std::string page = FillGuidePage("<body>{{联系段落}}</body>", c.keys);
    EXPECT_NE(page.find(c.contains), std::string::npos) << page;
    EXPECT_EQ(page.find(c.lacks), std::string::npos) << page;
  }
}

TEST(GuideTest, AGuideOfAnotherVersionIsWrittenAgain) {
  testing::TempDir data;
  const std::string help = data.Sub("help") + platform::kPathSeparator;
  ASSERT_TRUE(platform::CreateDirectories(help));
  ASSERT_TRUE(platform::WriteFileAtomically(help + "使用教程.html", "旧版本的教程"));
  EXPECT_TRUE(WriteGuide(help, {{"使用教程.html", "新教程"}, {"panel.png", "PNG"}}));
  EXPECT_EQ(platform::ReadWholeFile(help + "使用教程.html"), "新教程");
  EXPECT_EQ(platform::ReadWholeFile(help + "panel.png"), "PNG");
}

}  // namespace
}  // namespace jihe::app
