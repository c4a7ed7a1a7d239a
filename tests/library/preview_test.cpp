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
PreviewRun Rule() {
  PreviewRun run;
  run.kind = RunKind::Rule;
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
  const TextStyle bold{.bold = true};
  const TextStyle boldItalic{.bold = true, .italic = true};
  const TextStyle underline{.underline = true};
  struct Case {
    const char* content;
    std::vector<PreviewRun> runs;
  } cases[] = {
      {"第一行\r\n第二行", {Text("第一行"), Break(), Text("第二行")}},
      {"[IMG=红.PNGIMG]\r\n下面", {Picture(src + "红.PNG", img + "红.PNG"), Break(), Text("下面")}},
      {"文件《C:\\a\\b.txt》", {Text("文件《C:\\a\\b.txt》")}},
      {"<b>粗<i>斜</i></b><U>线</U>",
       {Text("粗", bold), Text("斜", boldItalic), Text("线", underline)}},
      {"<strong>x</strong><em>y</em>", {Text("x", bold), Text("y", TextStyle{.italic = true})}},
      {"</b>多余的结束", {Text("多余的结束")}},
      {"1 < 2 <3 <b", {Text("1 < 2 <3 <b")}},
      {"a&amp;b &lt;b&gt; &#x4E2D;&#25991; &bogus;", {Text("a&b <b> 中文 &bogus;")}},
      // Blanks: one per run, none at a line's start or end.
      {"  a \t  b  \r\n  c", {Text("a b"), Break(), Text("c")}},
      {"a\nb", {Text("a b")}},
      {"x<br/>y<BR >z", {Text("x"), Break(), Text("y"), Break(), Text("z")}},
      // A variable shows as its name in a colour, even inside markup; other braces are text.
      {"<b>{对方}</b>您好{括号}｛输入:<单号>[img=x｝", {Text("{对方}", TextStyle{.bold = true, .colour = kVariableColour}),
        Text("您好{括号}"), Text("｛输入:<单号>[img=x｝", TextStyle{.colour = kVariableColour})}},
  };
  for (const auto& c : cases) EXPECT_EQ(PreviewRuns(c.content, img), c.runs) << c.content;
}

TEST(PreviewTest, MarkupAsABrowserShowsIt) {
  constexpr uint32_t kRed = 0xFF0000;
  struct Case {
    const char* content;
    std::vector<PreviewRun> runs;
  } cases[] = {
      // Unknown tags, comments and the contents of style and script show nothing.
      {"a<foo x=1>b</foo><!-- 注释 -->c<!DOCTYPE html><?xml?></ 3>d<o:p></o:p>", {Text("abcd")}},
      {"a<style>p{color:red}</style><script>x<y</script>b<title>t</title>c", {Text("abc")}},
      {"a<!-- 没有结束 <b>b</b>", {Text("a")}},
      // A "<" that starts no tag is text; a tag left open at the end shows as typed.
      {"a < b <3 <中", {Text("a < b <3 <中")}},
      {"<b>粗 <font color=\"red>x", {Text("粗 <font color=\"red>x", {.bold = true})}},
      {"&nbsp;&lt;&gt;&amp;&quot;&#20013;&#x6587; &unknown; &#99999999999; &#0; &#x110000; "
       "&copy2024 &#128;a&#10;b",
       {Text("\xC2\xA0<>&\"中文 &unknown; ©2024 €a b")}},
      {"<font color=red size=5 face='Arial, \"Times New Roman\"'>x</font>y",
       {Text("x", {.colour = kRed, .pixels = 24, .faces = "Arial,Times New Roman"}), Text("y")}},
      {"<font color=\"#0f0\">a</font><font color=#0000FF>b</font><font color=bogus>c</font>",
       {Text("a", {.colour = 0x00FF00}), Text("b", {.colour = 0x0000FF}), Text("c")}},
      {"<font size=7>a<font size=-1>b<font size=\"+9\">c</font></font></font><font size=0>d",
       {Text("a", {.pixels = 48}), Text("b", {.pixels = 13}), Text("c", {.pixels = 48}),
        Text("d", {.pixels = 10})}},
      {"<span style=\"color:#336699; font-size:20px; font-weight:bold\">a</span>"
       "<span style='FONT-SIZE: 15pt;font-style:italic;text-decoration:underline line-through'>b"
       "</span><span style=\"font-size:150%;color:rgb(255, 0, 0)\">c</span>",
       {Text("a", {.bold = true, .colour = 0x336699, .pixels = 20}),
        Text("b", {.italic = true, .underline = true, .strike = true, .pixels = 20}),
        Text("c", {.colour = kRed, .pixels = 24})}},
      {"<font color=red>a<font color=blue>b</font>c</font>",
       {Text("a", {.colour = kRed}), Text("b", {.colour = 0x0000FF}), Text("c", {.colour = kRed})}},
      {"<b>a<i>b</b>c</i>d",
       {Text("a", {.bold = true}), Text("b", {.bold = true, .italic = true}),
        Text("c", {.italic = true}), Text("d")}},
      {"<a href=\"http://x\">链接</a> <a name=x>锚</a><s>a</s><strike>b</strike>",
       {Text("链接", {.underline = true, .colour = 0x0000EE}), Text(" 锚"),
        Text("ab", {.strike = true})}},
      // Blocks stand on lines of their own; formatting goes on across them, spans do not.
      {"a<p>b</p>c<div>d<div>e</div></div>f<hr>g",
       {Text("a"), Break(), Text("b"), Break(), Text("c"), Break(), Text("d"), Break(), Text("e"),
        Break(), Text("f"), Break(), Rule(), Text("g")}},
      {"<font color=red>a<p>b",
       {Text("a", {.colour = kRed}), Break(), Text("b", {.colour = kRed})}},
      {"<div><span style=color:red>a</div>b", {Text("a", {.colour = kRed}), Break(), Text("b")}},
      {"<p style=\"color:red\">a<p>b", {Text("a", {.colour = kRed}), Break(), Text("b")}},
      {"<h1>标题</h1>正文", {Text("标题", {.bold = true, .pixels = 32}), Break(), Text("正文")}},
  };
  for (const auto& c : cases) EXPECT_EQ(PreviewRuns(c.content, kImg), c.runs) << c.content;
}

// A phrase of a megabyte of markup that never ends what it starts, or tags that never close,
// is read in one pass without growing the stack.
TEST(PreviewTest, HugeMarkupIsReadInOnePass) {
  std::string nested;
  for (int i = 0; i < 60000; ++i) nested += "<font color=red><i>";
  nested += "x";
  for (int i = 0; i < 60000; ++i) nested += "</font>";
  nested += "y";
  auto runs = PreviewRuns(nested, kImg);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], Text("x", {.italic = true, .colour = 0xFF0000}));
  EXPECT_EQ(runs[1], Text("y", {.italic = true}));

  std::string unclosed;
  for (int i = 0; i < 300000; ++i) unclosed += "<a\"";
  runs = PreviewRuns(unclosed, kImg);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].text, unclosed);
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
      {"<img src='file:///C:\\霁禾客服助手配置请勿删除\\img\\单引号.png'>", img + "单引号.png"},
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
