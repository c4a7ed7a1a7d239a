#include "chat/pattern_matcher.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>

#include "library/row_rules.h"

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

TEST(PatternMatcherTest, Syntax) {
  struct Case {
    const char* pattern;
    std::string subject;
    int count;
    std::string first;
    std::string group1;
  } cases[] = {
      {"a.*b", "a1b2b", 1, "a1b2b", ""},                          // greedy takes the most
      {"a(.*?)b", "a1b2b", 1, "a1b", "1"},                        // lazy the least
      {"(ab|a)(c?)", "abc", 1, "abc", "ab"},                      // alternatives in their order
      {"(a|ab)(c)", "abc", 1, "abc", "ab"},                       // ... unless the rest needs another
      {"《\\w:.*?\\.[a-zA-Z]{3}》", "《c:\\报价.XLSX》\r\n《D:\\a.TXT》", 1, "《D:\\a.TXT》", ""},
      {"x{2,3}?", "xxxx", 2, "xx", ""},
      {"\\bcat\\b", "concat cat", 1, "cat", ""},
      {"(?:\\d\\s)+", "1 2 3", 1, "1 2 ", ""},
      {"[^a-c\\d]+", "ab9xyzC", 1, "xyz", ""},                  // negated class, case ignored
      {"x*", "ab", 3, "", ""},                                    // empty matches move on
      {"a\\.b\\\\", "a.b\\ axb\\", 1, "a.b\\", ""},
      {"\\u4E00|[\\x41-\\x42]", "一b", 2, "一", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    PatternMatcher m;
    ASSERT_TRUE(m.CreateMatcher(c.pattern, c.subject));
    EXPECT_EQ(m.MatchCount(), c.count);
    EXPECT_EQ(m.MatchText(1), c.first);
    EXPECT_EQ(m.GroupText(1, 1), c.group1);
  }
  for (const char* bad : {"(a)\\1", "(?=a)", "a**", "[b-a]", "*a", "a)"}) {
    PatternMatcher m;
    EXPECT_FALSE(m.CreateMatcher(bad, "aa")) << bad;
  }
}

// Runs `work` on a thread with a 1 MB stack, the size of a Windows program's main thread.
void OnSmallStack(const std::function<void()>& work) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 1 << 20);
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&work)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

TEST(PatternMatcherTest, MegabyteLinesOnAOneMegabyteStack) {
  // The patterns the program runs, over a line of a megabyte: an unclosed picture element, a file
  // token that never closes, and the same closed.
  const std::string line(1 << 20, 'x');
  struct Case {
    const char* pattern;
    std::string subject;
    int count;
    size_t group1;
  } cases[] = {
      {"<img src=\".*?///(.*?)\">", "<IMG src=\"" + line, 0, 0},
      {"<img src=\".*?///(.*?)\">", "<IMG src=\"file:///" + line + "\">", 1, line.size()},
      {library::kFileTokenPattern, "《C:" + line, 0, 0},
      {library::kFileTokenPattern, "《C:" + line + ".txt》", 1, 0},
      {".:\\\\", line, 0, 0},
  };
  OnSmallStack([&] {
    for (const auto& c : cases) {
      PatternMatcher m;
      ASSERT_TRUE(m.CreateMatcher(c.pattern, c.subject));
      EXPECT_EQ(m.MatchCount(), c.count) << c.pattern;
      EXPECT_EQ(m.GroupText(1, 1).size(), c.group1) << c.pattern;
      EXPECT_EQ(m.ReplaceAll("").size(), c.count ? c.subject.size() - m.MatchText(1).size() : c.subject.size());
    }
  });
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
