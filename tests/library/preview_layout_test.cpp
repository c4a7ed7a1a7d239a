#include "library/preview_layout.h"

#include <gtest/gtest.h>

#include <map>

namespace jihe::library {
namespace {

// At the page's size: 10 pixels per character (bold ones 12), lines 20 high, 4 of them below the
// baseline; all in proportion at other sizes.
class FixedMeasure : public TextMeasure {
 public:
  int TextWidth(std::string_view utf8, const TextStyle& style) const override {
    int chars = 0;
    for (char c : utf8) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return chars * (style.bold ? 12 : 10) * style.pixels / kDefaultTextPixels;
  }
  int LineHeight(const TextStyle& style) const override {
    return 20 * style.pixels / kDefaultTextPixels;
  }
  int Descent(const TextStyle& style) const override { return style.pixels / 4; }
};

PreviewLayout LayOut(std::string_view content, int viewWidth,
                     std::map<std::string, PixelSize> pictures = {}) {
  PreviewLayoutOptions options;
  options.viewWidth = viewWidth;
  options.margin = 5;
  options.placeholder = {28, 30};
  const std::string img = "/data/img/";
  return LayOutPreview(
      PreviewRuns(content, img), FixedMeasure(),
      [&](const std::string& path) -> std::optional<PixelSize> {
        auto it = pictures.find(path.substr(img.size()));
        if (it == pictures.end()) return std::nullopt;
        return it->second;
      },
      options);
}

struct Box {
  ItemKind kind;
  int x, y, width, height;
  std::string text;
  bool operator==(const Box&) const = default;
  friend void PrintTo(const Box& b, std::ostream* os) {
    *os << "{" << static_cast<int>(b.kind) << " " << b.x << "," << b.y << " " << b.width << "x"
        << b.height << " '" << b.text << "'}";
  }
};

std::vector<Box> Boxes(const PreviewLayout& layout) {
  std::vector<Box> boxes;
  for (const auto& item : layout.items)
    boxes.push_back({item.kind, item.x, item.y, item.width, item.height, item.text});
  return boxes;
}

TEST(PreviewLayoutTest, Placement) {
  using K = ItemKind;
  struct Case {
    const char* name;
    const char* content;
    int viewWidth;
    std::map<std::string, PixelSize> pictures;
    std::vector<Box> boxes;
    int contentHeight;
  } cases[] = {
      {"two lines",
       "ab\r\ncd",
       200,
       {},
       {{K::Text, 5, 5, 20, 20, "ab"}, {K::Text, 5, 25, 20, 20, "cd"}},
       50},
      {"an empty line between",
       "a\r\n\r\nb",
       200,
       {},
       {{K::Text, 5, 5, 10, 20, "a"}, {K::Text, 5, 45, 10, 20, "b"}},
       70},
      {"a final line break adds no line", "a\r\n", 200, {}, {{K::Text, 5, 5, 10, 20, "a"}}, 30},
      {"words wrap between words",
       "aaa bbb ccc",
       5 + 80 + 5,
       {},
       {{K::Text, 5, 5, 70, 20, "aaa bbb"}, {K::Text, 5, 25, 30, 20, "ccc"}},
       50},
      {"Chinese wraps between characters",
       "一二三四五",
       5 + 30 + 5,
       {},
       {{K::Text, 5, 5, 30, 20, "一二三"}, {K::Text, 5, 25, 20, 20, "四五"}},
       50},
      {"a word wider than the line is cut",
       "abcdefg",
       5 + 30 + 5,
       {},
       {{K::Text, 5, 5, 30, 20, "abc"},
        {K::Text, 5, 25, 30, 20, "def"},
        {K::Text, 5, 45, 10, 20, "g"}},
       70},
      {"text stands on the bottom of a tall picture",
       "ab[img=p.pngimg]",
       200,
       {{"p.png", {40, 50}}},
       {{K::Text, 5, 35, 20, 20, "ab"}, {K::Picture, 25, 5, 40, 50, ""}},
       60},
      {"a wide picture is scaled to the width",
       "[img=w.pngimg]",
       5 + 100 + 5,
       {{"w.png", {400, 80}}},
       {{K::Picture, 5, 5, 100, 20, ""}},
       30},
      {"a picture that does not fit goes to the next line",
       "abcdef[img=p.pngimg]",
       5 + 80 + 5,
       {{"p.png", {40, 10}}},
       {{K::Text, 5, 5, 60, 20, "abcdef"}, {K::Picture, 5, 25, 40, 10, ""}},
       40},
      {"a missing picture is a placeholder",
       "[img=gone.pngimg]",
       200,
       {},
       {{K::Placeholder, 5, 5, 28, 30, ""}},
       40},
      {"a picture outside the img folder is never asked for",
       "[img=..\\p.pngimg]",
       200,
       {{"..\\p.png", {40, 50}}},
       {{K::Placeholder, 5, 5, 28, 30, ""}},
       40},
      {"styles split the text",
       "a<b>b</b>c",
       200,
       {},
       {{K::Text, 5, 5, 10, 20, "a"}, {K::Text, 15, 5, 12, 20, "b"}, {K::Text, 27, 5, 10, 20, "c"}},
       30},
      {"text of two sizes stands on one baseline",
       "a<font size=6>B</font>",
       200,
       {},
       {{K::Text, 5, 21, 10, 20, "a"}, {K::Text, 15, 5, 20, 40, "B"}},
       50},
      {"a rule has the whole width on a line of its own",
       "a<hr>b",
       200,
       {},
       {{K::Text, 5, 5, 10, 20, "a"}, {K::Rule, 5, 25, 190, 16, ""}, {K::Text, 5, 41, 10, 20, "b"}},
       66},
      {"nothing", "", 200, {}, {}, 10},
  };
  for (const auto& c : cases) {
    const PreviewLayout layout = LayOut(c.content, c.viewWidth, c.pictures);
    EXPECT_EQ(Boxes(layout), c.boxes) << c.name;
    EXPECT_EQ(layout.contentHeight, c.contentHeight) << c.name;
  }
}

TEST(PreviewLayoutTest, PictureKeepsItsPathAndFits) {
  const PreviewLayout layout = LayOut("[IMG=P.PNGIMG]", 60, {{"P.PNG", {10, 10}}});
  ASSERT_EQ(layout.items.size(), 1u);
  EXPECT_EQ(layout.items[0].picturePath, "/data/img/P.PNG");

  EXPECT_EQ(FitToWidth({50, 20}, 100), (PixelSize{50, 20}));
  EXPECT_EQ(FitToWidth({300, 150}, 100), (PixelSize{100, 50}));
  EXPECT_EQ(FitToWidth({10000, 1}, 100), (PixelSize{100, 1}));  // never thinner than a pixel
}

TEST(PreviewLayoutTest, ChildStaysInsideTheClientArea) {
  // A window with wide borders: the client area is the limit.
  EXPECT_EQ(InsetChildRect({383, 326}, {367, 287}, 0, 0, 10), (ChildRect{0, 0, 367, 287}));
  // Thin borders: the inset is the limit.
  EXPECT_EQ(InsetChildRect({962, 630}, {956, 605}, 1, 1, 30), (ChildRect{1, 1, 932, 600}));
  EXPECT_EQ(InsetChildRect({962, 630}, {956, 593}, 1, 1, 30), (ChildRect{1, 1, 932, 592}));
  EXPECT_EQ(InsetChildRect({20, 20}, {0, 0}, 1, 1, 30), (ChildRect{1, 1, 0, 0}));  // minimised
}

}  // namespace
}  // namespace jihe::library
