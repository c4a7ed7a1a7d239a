#include "chat/pattern_matcher.h"

#include <gtest/gtest.h>

namespace jihe::chat {
namespace {

TEST(PatternMatcherTest, FindsPictureElementsInOrder) {
  // The picture element pattern of a send, over a fragment with two pictures and upper-case tags.
  const std::string fragment =
      "您好<BR><IMG src=\"C:\\霁禾\\img\\一.jpg\"><BR>价格表<img src=\"C:\\霁禾\\img\\b.PNG\">谢谢";
  PatternMatcher m;
  ASSERT_TRUE(m.CreateMatcher("<img src=\"(.*?)\">", fragment));
  ASSERT_EQ(m.MatchCount(), 2);
  EXPECT_EQ(m.MatchText(1), "<IMG src=\"C:\\霁禾\\img\\一.jpg\">");
  EXPECT_EQ(m.GroupText(1, 1), "C:\\霁禾\\img\\一.jpg");
  EXPECT_EQ(m.GroupText(2, 1), "C:\\霁禾\\img\\b.PNG");
  EXPECT_EQ(m.ReplaceAll("[图]"), "您好<BR>[图]<BR>价格表[图]谢谢");
}

TEST(PatternMatcherTest, Settings) {
  struct Case {
    const char* pattern;
    std::string subject;
    int count;
    std::string first;
  } cases[] = {
      {"abc", "xABCx abc", 2, "ABC"},                     // letter case ignored
      {"^\\d+$", "12\r\n34\nx", 2, "12"},                 // ^ and $ at every line
      {"a.b", "a\nb a\rb a-b", 1, "a-b"},                 // "." never crosses a line break
      {"《(.+?)》", "文件《D:\\报价.xls》和《E:\\b》", 2, "《D:\\报价.xls》"},
      {"[《》]", "《》", 2, "《"},                          // classes hold characters, not bytes
      {"x", "", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    PatternMatcher m;
    ASSERT_TRUE(m.CreateMatcher(c.pattern, c.subject));
    EXPECT_EQ(m.MatchCount(), c.count);
    EXPECT_EQ(m.MatchText(1), c.first);
  }
}

TEST(PatternMatcherTest, OutOfRangeAndBadPatterns) {
  PatternMatcher m;
  ASSERT_TRUE(m.CreateMatcher("(a)|(b)", "b"));
  EXPECT_EQ(m.GroupText(1, 1), "");  // group that took no part
  EXPECT_EQ(m.GroupText(1, 2), "b");
  EXPECT_EQ(m.GroupText(1, 3), "");
  EXPECT_EQ(m.MatchText(0), "");
  EXPECT_EQ(m.MatchText(2), "");
  EXPECT_EQ(m.GroupText(2, 1), "");

  ASSERT_TRUE(m.CreateMatcher("z", "no match here 😀"));
  EXPECT_EQ(m.MatchCount(), 0);
  EXPECT_EQ(m.ReplaceAll("y"), "no match here 😀");

  EXPECT_FALSE(m.CreateMatcher("(unclosed", "text"));
  EXPECT_EQ(m.MatchCount(), 0);
  EXPECT_EQ(m.ReplaceAll("y"), "text");
}

TEST(PatternMatcherTest, ReplacementReferences) {
  PatternMatcher m;
  ASSERT_TRUE(m.CreateMatcher("\\[img=(.*?)img\\]", "a[IMG=x.jpgimg]b[img=图.pngimg]"));
  EXPECT_EQ(m.ReplaceAll("<img src=\"$1\">"), "a<img src=\"x.jpg\">b<img src=\"图.png\">");
  EXPECT_EQ(m.ReplaceAll("$$"), "a$b$");
}

}  // namespace
}  // namespace jihe::chat
