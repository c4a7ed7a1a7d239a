#pragma once
// Where the preview's runs go in its view: lines filled from the left and wrapped at the view's
// width (between words, or between any two Chinese characters), each line as tall as its tallest
// item, its text of every size standing on one baseline and its pictures on the line's bottom
// edge, pictures scaled down to the width when wider, a placeholder box for a picture that cannot
// be shown, and a rule across the whole width on a line of its own.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/preview.h"

namespace jihe::library {

struct PixelSize {
  int width = 0;
  int height = 0;
  bool operator==(const PixelSize&) const = default;
};

// Text measurement of the view's fonts, in pixels.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  virtual int TextWidth(std::string_view utf8, const TextStyle& style) const = 0;
  // The height of a line of text in that style, and the part of it below the baseline.
  virtual int LineHeight(const TextStyle& style) const = 0;
  virtual int Descent(const TextStyle& style) const = 0;
};

// The size of the picture in a file, or nothing when it cannot be read.
using PictureSizeOf = std::function<std::optional<PixelSize>(const std::string& path)>;

struct PreviewLayoutOptions {
  int viewWidth = 0;
  int margin = 8;                    // around the content, on every side
  PixelSize placeholder = {28, 30};  // a picture that cannot be shown
  int ruleHeight = 16;               // the line of a rule, with the room above and below it
};

enum class ItemKind { Text, Picture, Placeholder, Rule };

struct PlacedItem {
  ItemKind kind = ItemKind::Text;
  int x = 0, y = 0, width = 0, height = 0;
  std::string text;         // Text
  TextStyle style;          // Text
  std::string picturePath;  // Picture
  bool operator==(const PlacedItem&) const = default;
};

struct PreviewLayout {
  std::vector<PlacedItem> items;
  int contentHeight = 0;  // margins included
};

PreviewLayout LayOutPreview(const std::vector<PreviewRun>& runs, const TextMeasure& measure,
                            const PictureSizeOf& pictureSize, const PreviewLayoutOptions& options);

// A picture at its own size, or scaled down with its proportions to `maxWidth` when wider.
PixelSize FitToWidth(PixelSize picture, int maxWidth);

// A child placed at `origin` inside a window, `inset` pixels smaller than the window's outer size
// in both directions, but never reaching past the window's client area, where it would be cut off.
struct ChildRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const ChildRect&) const = default;
};
ChildRect InsetChildRect(PixelSize outer, PixelSize client, int originX, int originY, int inset);

}  // namespace jihe::library
