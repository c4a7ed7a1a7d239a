#include "library/preview.h"

#include <gtest/gtest.h>

namespace jihe::library {
namespace {

constexpr char kImg[] = "C:\\霁禾客服助手配置请勿删除\\img\\";

TEST(PreviewTest, HtmlOfTheEditorContent) {
  struct Case {
    const char* content;
    std::string html;
  } cases[] = {
      {"第一行\r\n第二行", "第一行<BR>第二行"},
      {"[img=a.pngimg]", std::string("<IMG src=\"file:///") + kImg + "a.png\">"},
      {"[IMG=A.PNGIMG]", std::string("<IMG src=\"file:///") + kImg + "A.PNG\">"},
      {"[Img=b.gifiMg]\r\n", std::string("<IMG src=\"file:///") + kImg + "b.gif\"><BR>"},
      {"见《C:\\资料\\报价.doc》", "见《C:\\资料\\报价.doc》"},
      {"<b>粗</b> & 1 < 2", "<b>粗</b> & 1 < 2"},  // nothing is escaped
      {"a\nb\rc", "a\nb\rc"},                      // only the pair is a line break
      {"\r\n\r\n", "<BR><BR>"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PreviewHtml(c.content, kImg), c.html) << c.content;
}

PreviewRun Text(std::string text, TextStyle style = {}) {
  PreviewRun run;
  run.text = std::move(text);
  run.style = style;
  return run;
}
PreviewRun Break() {
  PreviewRun run;
  run.kind = RunKind::LineBreak;
  return run;
}
PreviewRun Picture(std::string source, std::string path) {
  PreviewRun run;
  run.kind = RunKind::Picture;
  run.source = std::move(source);
  run.picturePath = std::move(path);
  return run;
}

TEST(PreviewTest, RunsOfTheEditorContent) {
  const std::string img = kImg;
  const std::string src = "file:///" + img;
  const TextStyle bold{true, false, false};
  const TextStyle boldItalic{true, true, false};
  const TextStyle underline{false, false, true};
  struct Case {
    const char* content;
    std::vector<PreviewRun> runs;
  } cases[] = {
      {"第一行\r\n第二行", {Text("第一行"), Break(), Text("第二行")}},
      {"[IMG=红.PNGIMG]\r\n下面", {Picture(src + "红.PNG", img + "红.PNG"), Break(), Text("下面")}},
      {"文件《C:\\a\\b.txt》", {Text("文件《C:\\a\\b.txt》")}},
      {"<b>粗<i>斜</i></b><U>线</U>",
       {Text("粗", bold), Text("斜", boldItalic), Text("线", underline)}},
      {"<strong>x</strong><em>y</em>", {Text("x", bold), Text("y", TextStyle{false, true, false})}},
      {"</b>多余的结束", {Text("多余的结束")}},
      // Markup the preview does not draw shows as it was typed.
      {"<font color=red>红</font>", {Text("<font color=red>红</font>")}},
      {"1 < 2 <3 <b", {Text("1 < 2 <3 <b")}},
      {"a&amp;b &lt;b&gt; &#x4E2D;&#25991; &bogus;", {Text("a&b <b> 中文 &bogus;")}},
      // Blanks: one per run, none at a line's start or end.
      {"  a \t  b  \r\n  c", {Text("a b"), Break(), Text("c")}},
      {"a\nb", {Text("a b")}},
      {"x<br/>y<BR >z", {Text("x"), Break(), Text("y"), Break(), Text("z")}},
  };
  for (const auto& c : cases) EXPECT_EQ(PreviewRuns(c.content, img), c.runs) << c.content;
}

// A picture is read only from a file directly inside the img folder; anything else shows as a
// missing picture without the file being touched.
TEST(PreviewTest, PicturesStayInsideTheImgFolder) {
  const std::string img = kImg;
  struct Case {
    const char* content;
    std::string path;
  } cases[] = {
      {"[img=ok.pngimg]", img + "ok.png"},
      {"[img=带 空格.jpgimg]", img + "带 空格.jpg"},
      {"[img=..\\..\\Windows\\win.iniimg]", ""},
      {"[img=../secret.pngimg]", ""},
      {"[img=sub\\a.pngimg]", ""},
      {"[img=..img]", ""},
      {"[img=img]", ""},
      {"[img=D:\\a.pngimg]", ""},
      {"<img src=\"file:///D:\\other\\a.png\">", ""},
      {"<img src=\"http://example.com/a.png\">", ""},
      {"<img alt=x>", ""},
  };
  for (const auto& c : cases) {
    auto runs = PreviewRuns(c.content, img);
    ASSERT_EQ(runs.size(), 1u) << c.content;
    EXPECT_EQ(runs[0].kind, RunKind::Picture) << c.content;
    EXPECT_EQ(runs[0].picturePath, c.path) << c.content;
  }
}

}  // namespace
}  // namespace jihe::library
