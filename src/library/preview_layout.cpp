#include "library/preview_layout.h"

#include <algorithm>
#include <cstdint>

namespace jihe::library {
namespace {

size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

uint32_t CodePointAt(std::string_view text, size_t i, size_t length) {
  const auto b = [&](size_t k) {
    return static_cast<uint32_t>(static_cast<unsigned char>(text[i + k]));
  };
  switch (length) {
    case 2:
      return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3:
      return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    case 4:
      return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    default:
      return b(0);
  }
}

// Chinese, Japanese and Korean text, its punctuation and full-width forms, emoji: a line may
// break before and after each such character.
bool BreaksAround(uint32_t cp) {
  return (cp >= 0x2E80 && cp <= 0xD7FF) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFFEF) || cp >= 0x1F000;
}

// The text cut into the pieces a line may break between: a word with the blanks after it, or one
// character that breaks around itself with the blanks after it.
std::vector<std::string_view> BreakPieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t start = 0, i = 0;
  bool inBlanks = false;
  while (i < text.size()) {
    const size_t length =
        std::min(Utf8Length(static_cast<unsigned char>(text[i])), text.size() - i);
    const uint32_t cp = CodePointAt(text, i, length);
    if (cp == ' ') {
      inBlanks = true;
    } else {
      if ((inBlanks || BreaksAround(cp)) && i > start) {
        pieces.push_back(text.substr(start, i - start));
        start = i;
      }
      inBlanks = false;
      if (BreaksAround(cp)) {
        i += length;
        while (i < text.size() && text[i] == ' ') ++i;
        pieces.push_back(text.substr(start, i - start));
        start = i;
        continue;
      }
    }
    i += length;
  }
  if (start < text.size()) pieces.push_back(text.substr(start));
  return pieces;
}

std::vector<std::string_view> Characters(std::string_view text) {
  std::vector<std::string_view> chars;
  for (size_t i = 0; i < text.size();) {
    const size_t length =
        std::min(Utf8Length(static_cast<unsigned char>(text[i])), text.size() - i);
    chars.push_back(text.substr(i, length));
    i += length;
  }
  return chars;
}

class LineFiller {
 public:
  LineFiller(const TextMeasure& measure, const PreviewLayoutOptions& options)
      : measure_(measure),
        left_(options.margin),
        width_(std::max(1, options.viewWidth - 2 * options.margin)),
        top_(options.margin) {}

  int width() const { return width_; }

  void Text(std::string_view text, const TextStyle& style) {
    for (std::string_view piece : BreakPieces(text)) {
      const int pieceWidth = measure_.TextWidth(piece, style);
      if (x_ + pieceWidth <= width_) {
        PlaceText(piece, pieceWidth, style);
        continue;
      }
      // A blank at the end of a line shows nothing: the piece fits without it.
      std::string_view trimmed = piece.substr(0, piece.find_last_not_of(' ') + 1);
      const int trimmedWidth = measure_.TextWidth(trimmed, style);
      if (x_ + trimmedWidth <= width_) {
        PlaceText(trimmed, trimmedWidth, style);
        EndLine();
        continue;
      }
      if (!items_.empty()) EndLine();
      if (trimmedWidth <= width_) {
        PlaceText(piece, pieceWidth, style);
        continue;
      }
      // A word wider than the whole line is cut between its characters.
      for (std::string_view ch : Characters(piece)) {
        const int w = measure_.TextWidth(ch, style);
        if (x_ + w > width_ && !items_.empty()) EndLine();
        PlaceText(ch, w, style);
      }
    }
  }

  void Box(ItemKind kind, PixelSize size, const std::string& path) {
    if (x_ + size.width > width_ && !items_.empty()) EndLine();
    PlacedItem item = Placed(kind, size.width, size.height);
    item.picturePath = path;
    items_.push_back(std::move(item));
    x_ += size.width;
  }

  void Rule(int height) {
    if (!items_.empty()) EndLine();
    done_.push_back(Placed(ItemKind::Rule, width_, height));
    done_.back().y = top_;
    top_ += height;
  }

  void EndLine() {
    // Blanks at the end of a line show nothing.
    if (!items_.empty() && items_.back().kind == ItemKind::Text) {
      PlacedItem& last = items_.back();
      const size_t end = last.text.find_last_not_of(' ');
      if (end + 1 < last.text.size()) {
        last.text.erase(end + 1);
        last.width = measure_.TextWidth(last.text, last.style);
        if (last.text.empty()) items_.pop_back();
      }
    }
    // Text of every size stands on one baseline, as low as the deepest descent allows.
    int ascent = 0, descent = 0, height = 0;
    for (const PlacedItem& item : items_) {
      if (item.kind == ItemKind::Text) {
        const int below = measure_.Descent(item.style);
        ascent = std::max(ascent, item.height - below);
        descent = std::max(descent, below);
      } else {
        height = std::max(height, item.height);
      }
    }
    height = std::max(height, ascent + descent);
    if (items_.empty()) height = measure_.LineHeight(TextStyle{});  // one empty line of text
    const int baseline = top_ + height - descent;
    for (PlacedItem& item : items_) {
      item.y = item.kind == ItemKind::Text ? baseline - (item.height - measure_.Descent(item.style))
                                           : top_ + height - item.height;
      done_.push_back(std::move(item));
    }
    items_.clear();
    top_ += height;
    x_ = 0;
  }

  PreviewLayout Finish(int margin) {
    // A line break at the very end starts no visible line.
    if (!items_.empty()) EndLine();
    return {std::move(done_), top_ + margin};
  }

 private:
  PlacedItem Placed(ItemKind kind, int width, int height) const {
    PlacedItem item;
    item.kind = kind;
    item.x = left_ + x_;
    item.width = width;
    item.height = height;
    return item;
  }
  void PlaceText(std::string_view text, int width, const TextStyle& style) {
    if (!items_.empty() && items_.back().kind == ItemKind::Text && items_.back().style == style) {
      items_.back().text += text;
      items_.back().width += width;
    } else {
      PlacedItem item = Placed(ItemKind::Text, width, measure_.LineHeight(style));
      item.text = std::string(text);
      item.style = style;
      items_.push_back(std::move(item));
    }
    x_ += width;
  }

  const TextMeasure& measure_;
  const int left_;
  const int width_;
  int top_;
  int x_ = 0;
  std::vector<PlacedItem> items_;  // the open line
  std::vector<PlacedItem> done_;
};

}  // namespace

PixelSize FitToWidth(PixelSize picture, int maxWidth) {
  if (picture.width <= maxWidth || picture.width <= 0) return picture;
  const int64_t height = static_cast<int64_t>(picture.height) * maxWidth / picture.width;
  return {maxWidth, static_cast<int>(std::max<int64_t>(1, height))};
}

PreviewLayout LayOutPreview(const std::vector<PreviewRun>& runs, const TextMeasure& measure,
                            const PictureSizeOf& pictureSize, const PreviewLayoutOptions& options) {
  LineFiller filler(measure, options);
  for (const PreviewRun& run : runs) {
    switch (run.kind) {
      case RunKind::Text:
        filler.Text(run.text, run.style);
        break;
      case RunKind::LineBreak:
        filler.EndLine();
        break;
      case RunKind::Picture: {
        std::optional<PixelSize> size;
        if (!run.picturePath.empty() && pictureSize) size = pictureSize(run.picturePath);
        if (size && size->width > 0 && size->height > 0)
          filler.Box(ItemKind::Picture, FitToWidth(*size, filler.width()), run.picturePath);
        else
          filler.Box(ItemKind::Placeholder, FitToWidth(options.placeholder, filler.width()), {});
        break;
      }
      case RunKind::Rule:
        filler.Rule(options.ruleHeight);
        break;
    }
  }
  return filler.Finish(options.margin);
}

ChildRect InsetChildRect(PixelSize outer, PixelSize client, int originX, int originY, int inset) {
  const int width = std::min(outer.width - inset, client.width - originX);
  const int height = std::min(outer.height - inset, client.height - originY);
  return {originX, originY, std::max(0, width), std::max(0, height)};
}

}  // namespace jihe::library
