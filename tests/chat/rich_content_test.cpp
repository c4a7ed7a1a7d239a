// The formats written for a rich paste: the fragment read back into pieces, CF_HTML with offsets
// that point at its own parts, QQ's rich-edit text and the plain text.
#include "chat/rich_content.h"

#include <gtest/gtest.h>

namespace jihe::chat {
namespace {

using Kind = RichPiece::Kind;

#ifdef _WIN32
constexpr const char* kPicture = "C:\\霁禾客服助手配置请勿删除\\img\\a b.png";
constexpr const char* kPictureUrl = "file:///C:\\霁禾客服助手配置请勿删除\\img\\a b.png";
#else
constexpr const char* kPicture = "/data/霁禾/img/a b.png";
constexpr const char* kPictureUrl = "file:////data/霁禾/img/a b.png";
#endif

TEST(RichContent, ParsesTextBreaksAndPictures) {
  const std::string html = std::string("文字A<BR><IMG src=\"") + kPictureUrl + "\"><br/>价格<100 &amp; 5&lt;6>7<b>粗</b>";
  const std::vector<RichPiece> pieces = ParseFragment(html);
  ASSERT_EQ(pieces.size(), 5u);
  EXPECT_EQ(pieces[0], (RichPiece{Kind::Text, "文字A", ""}));
  EXPECT_EQ(pieces[1].kind, Kind::Break);
  EXPECT_EQ(pieces[2], (RichPiece{Kind::Picture, kPicture, kPictureUrl}));
  EXPECT_EQ(pieces[3].kind, Kind::Break);
  EXPECT_EQ(pieces[4], (RichPiece{Kind::Text, "价格<100 & 5<6>7粗", ""}));
  EXPECT_EQ(PlainTextOf(pieces), "文字A\r\n\r\n价格<100 & 5<6>7粗");
  EXPECT_NE(FragmentHtml(pieces).find("<BR>价格&lt;100 &amp; 5&lt;6&gt;7粗"), std::string::npos);
  EXPECT_EQ(SinglePicturePath(pieces), std::nullopt);
}

TEST(RichContent, PictureSources) {
  const std::string url = kPictureUrl;
  const struct {
    std::string html;
    std::optional<std::string> path;
  } cases[] = {
      {"<img SRC='" + url + "'> ", kPicture},
      {"<img alt='a\">b' src='" + url + "'>", kPicture},  // quotes of one kind hold the other and ">"
      {"<img src=" + FileUrlOf(kPicture) + " alt=x>", kPicture},
      {"<img src=\"http://x/a.png\">", std::nullopt},
      {"<img src=\"file:///\">", std::nullopt},  // names no file
  };
  for (const auto& c : cases) EXPECT_EQ(SinglePicturePath(ParseFragment(c.html)), c.path) << c.html;
}

TEST(RichContent, FileAddresses) {
  EXPECT_EQ(LocalPathOfFileUrl(kPictureUrl), kPicture);
  // What an address or an attribute would read otherwise is encoded, and comes back unchanged.
  for (const std::string& path : {std::string(kPicture), std::string(kPicture) + "截图%201#2&3?.png"}) {
    const std::string url = FileUrlOf(path);
    EXPECT_EQ(LocalPathOfFileUrl(url), path);
    EXPECT_EQ(url.find_first_of(" #&?", 8), std::string::npos) << url;
  }
  EXPECT_NE(FileUrlOf("截图%201.png").find("%25201"), std::string::npos);
  EXPECT_EQ(LocalPathOfFileUrl("http://example.com/a.png"), std::nullopt);

  // A team folder on a share: the server is the address's host, and reads back as the server.
  const std::string url = FileUrlOf("\\\\teamserver\\share\\团队短语\\img\\a b.png");
  EXPECT_EQ(url, "file://teamserver/share/团队短语/img/a%20b.png");
  EXPECT_EQ(FileUrlOf("\\\\?\\UNC\\teamserver\\share\\团队短语\\img\\a b.png"), url);
  EXPECT_EQ(FileUrlOf("\\\\?\\C:\\img\\a.png"), "file:///C:/img/a.png");
#ifdef _WIN32
  EXPECT_EQ(LocalPathOfFileUrl(url), "\\\\teamserver\\share\\团队短语\\img\\a b.png");
#else
  EXPECT_EQ(LocalPathOfFileUrl(url), "//teamserver/share/团队短语/img/a b.png");
#endif
}

TEST(RichContent, CfHtmlOffsetsPointAtItsParts) {
  const std::string fragment = FragmentHtml(ParseFragment(std::string("你好<BR><IMG src=\"") + kPictureUrl + "\">"));
  const std::string cf = CfHtml(fragment);
  auto offset = [&](const std::string& key) {
    const size_t at = cf.find(key + ":");
    EXPECT_NE(at, std::string::npos) << key;
    return std::stoul(cf.substr(at + key.size() + 1, 10));
  };
  const size_t startHtml = offset("StartHTML"), endHtml = offset("EndHTML");
  const size_t startFragment = offset("StartFragment"), endFragment = offset("EndFragment");
  EXPECT_EQ(cf.compare(startHtml, 6, "<html>"), 0);
  EXPECT_EQ(endHtml, cf.size());
  EXPECT_EQ(cf.substr(startFragment, endFragment - startFragment), fragment);
  EXPECT_EQ(cf.compare(startFragment - 20, 20, "<!--StartFragment-->"), 0);
  EXPECT_NE(fragment.find("<IMG src=\"file:///"), std::string::npos);
  EXPECT_EQ(fragment.find(' ', fragment.find("<IMG") + 5), std::string::npos);  // the space is %20
}

TEST(RichContent, QQRichEditElements) {
  const std::string qq =
      QQRichEditOf(ParseFragment(std::string("甲<BR>]]>乙<IMG src=\"") + kPictureUrl + "\">丙"));
  EXPECT_EQ(qq, std::string("<QQRichEditFormat><Info version=\"1001\"></Info>"
                            "<EditElement type=\"0\"><![CDATA[甲\r\n]]]]><![CDATA[>乙]]></EditElement>"
                            "<EditElement type=\"1\" filepath=\"") +
                    kPicture +
                    "\" shortcut=\"\"></EditElement>"
                    "<EditElement type=\"0\"><![CDATA[丙]]></EditElement></QQRichEditFormat>");
}

}  // namespace
}  // namespace jihe::chat
