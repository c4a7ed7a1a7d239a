#include "library/row_rules.h"

#include <gtest/gtest.h>

namespace jihe::library {
namespace {

TEST(RowRulesTest, SplitAndBuild) {
  struct Case {
    const char* row;
    RowParts parts;
  } cases[] = {
      {"内容", {"", "内容"}},
      {"备注┃内容", {"备注", "内容"}},
      {"a┃b┃c", {"a", "c"}},  // remark before the first separator, content after the last
      {"┃x", {"", "x"}},
      {"x┃", {"x", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitRowForEdit(c.row), c.parts) << c.row;
  EXPECT_EQ(BuildRowText("", "只有内容"), "只有内容");
  EXPECT_EQ(BuildRowText(" 备注 ", " 内容 "), " 备注 ┃ 内容 ");  // nothing is trimmed
}

TEST(RowRulesTest, PreviewBalloonLines) {
  struct Case {
    const char* row;
    const char* preview;
  } cases[] = {
      {"abcdefghijklmn", "abcdefghijkl\r\nmn"},
      {"备注┃abcdefghijkl", "abcdefghijkl\r\n"},
      {"一二三四五六七八九十一二三", "一二三四五六七八九十一二\r\n三"},
      {"ab\r\ncd", "abcd"},
      {"x┃y┃第\r\n二行", "第二行"},
      {"a\nb", "a\nb"},  // a lone line feed is a character of its own
      {"😀😀😀😀😀😀😀😀😀😀😀😀😀", "😀😀😀😀😀😀😀😀😀😀😀😀\r\n😀"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PreviewBalloonText(c.row), c.preview) << c.row;
}

TEST(RowRulesTest, PreviewBalloonVariables) {
  using Spans = std::vector<std::pair<size_t, size_t>>;
  const struct {
    const char* row;
    Spans spans;  // of the balloon's text
  } cases[] = {
      {"{对方}您好{括号}", {{0, 8}}},
      {"备注┃abcdefghij{日期}", {{10, 14}, {16, 20}}},  // split by the line break
      {"abcdefghijk{对方}x", {{11, 12}, {14, 21}}},
      {"abcdefgh{对方}\r\n{时间}", {{8, 16}, {18, 26}}},  // ends at the line's end
  };
  for (const auto& c : cases) EXPECT_EQ(PreviewBalloon(c.row).variables, c.spans) << c.row;
}

TEST(RowRulesTest, DragLabelWidthCountsAnsiBytes) {
  EXPECT_EQ(DragLabelText("ab"), " ab");
  EXPECT_EQ(DragLabelWidth(" ab"), 21);
  EXPECT_EQ(DragLabelWidth(" 你好┃a"), 7 * (1 + 4 + 2 + 1));
}

TEST(RowRulesTest, MoveRow) {
  using Rows = std::vector<std::string>;
  struct Case {
    Rows rows;
    int from, to;
    Rows want;
    std::optional<size_t> selected;
  } cases[] = {
      {{"0", "1", "2", "3", "4"}, 0, 3, {"1", "2", "3", "0", "4"}, 3},
      {{"0", "1", "2", "3", "4"}, 3, 0, {"3", "0", "1", "2", "4"}, 0},
      {{"0", "1", "2"}, 0, -1, {"1", "2", "0"}, 2},   // dropped below the last row
      {{"0", "1", "2"}, 2, -1, {"0", "1", "2"}, 2},   // the last row onto the end
      {{"0", "1", "2"}, 1, 1, {"0", "1", "2"}, std::nullopt},
      {{"0", "1", "2"}, -1, 0, {"0", "1", "2"}, std::nullopt},  // no row selected
      {{"0"}, 0, -1, {"0"}, std::nullopt},                        // fewer than two rows
  };
  for (auto c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + "->" + std::to_string(c.to));
    EXPECT_EQ(MoveRow(c.rows, c.from, c.to), c.selected);
    EXPECT_EQ(c.rows, c.want);
  }
}

TEST(RowRulesTest, ChooserItems) {
  const std::string item = ChooserItemText("售后--问题", 3);
  EXPECT_EQ(item, "售后--问题" + std::string(19, ' ') + "--3");
  EXPECT_EQ(ChooserItemIndex(item), 3u);
  EXPECT_EQ(ChooserItemIndex(ChooserItemText("a", 12)), 12u);
  EXPECT_EQ(ChooserItemIndex("no index"), std::nullopt);
  EXPECT_EQ(ChooserItemIndex("x--"), std::nullopt);
}

TEST(RowRulesTest, PictureAndFileTokens) {
  EXPECT_EQ(FileNameOf("C:\\Users\\我\\Desktop\\报价.jpg"), "报价.jpg");
  EXPECT_EQ(AppendPictureToken("", "a.jpg"), "[img=a.jpgimg]");
  EXPECT_EQ(AppendPictureToken(AppendPictureToken("", "a.jpg"), "b.png"), "[img=a.jpgimg]\r\n[img=b.pngimg]");
  EXPECT_EQ(AppendPictureToken("您好", "a.gif"), "您好\r\n[img=a.gifimg]");

  struct Case {
    std::string content;
    std::optional<std::string> chosen;
    std::string want;
  } cases[] = {
      {"看附件", "D:\\资料\\价格.xls", "看附件《D:\\资料\\价格.xls》"},
      {"看附件《D:\\资料\\价格.xls》", "E:\\新.PDF", "看附件《E:\\新.PDF》"},
      {"看附件《D:\\资料\\价格.xls》", std::nullopt, "看附件"},  // canceling removes the old file
      {"看附件《D:\\资料\\说明.docx》", "E:\\b.txt", "看附件《D:\\资料\\说明.docx》《E:\\b.txt》"},
      {"无", std::nullopt, "无"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    EXPECT_EQ(ApplyFileChoice(c.content, FindFileToken(c.content), c.chosen), c.want);
  }
}

TEST(RowRulesTest, QuickCommandKinds) {
  struct Case {
    const char* content;
    LaunchKind kind;
  } cases[] = {
      {"https://www.baidu.com/", LaunchKind::Address},
      {"HTTPS://EXAMPLE.COM", LaunchKind::None},      // "http" is looked for as written
      {"D:\\www\\tool.exe", LaunchKind::Address},     // "www" anywhere makes an address
      {"C:\\Program Files\\QQ\\qq.exe", LaunchKind::Path},
      {"c:\\x", LaunchKind::Path},
      {"C:/Windows/notepad.exe", LaunchKind::None},
      {"notepad", LaunchKind::None},
      {"", LaunchKind::None},
  };
  for (const auto& c : cases) EXPECT_EQ(LaunchKindOf(c.content), c.kind) << c.content;
}

}  // namespace
}  // namespace jihe::library
