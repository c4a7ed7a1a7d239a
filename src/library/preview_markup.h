#pragma once
// The values inside the preview's markup, read as a browser reads them: character references,
// colours, font sizes and the declarations of a style attribute.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "library/preview.h"

namespace jihe::library {

struct Reference {
  std::string utf8;  // empty: the reference stands for nothing that can be shown
  size_t length = 0;
};

// The character reference at the start of `text` ("&amp;", "&#20013;", "&#x4E2D;"). An unknown
// name is no reference. A number that names no character (0, a surrogate, a control, beyond
// U+10FFFF) is read whole and stands for nothing. The few names browsers also take without their
// ";" are read so, except inside an attribute value when a letter, digit or "=" follows.
std::optional<Reference> ReadReference(std::string_view text, bool inAttribute);

// An attribute value with its references decoded.
std::string DecodeAttribute(std::string_view value);

// A colour as 0xRRGGBB: a name ("red", "DarkBlue"), "#rgb", "#rrggbb", those six digits without
// the "#", or "rgb(r, g, b)".
std::optional<uint32_t> ReadColour(std::string_view value);

// The size in pixels of <font size="...">: 1 to 7, or relative to 3 with a sign ("+2", "-1").
std::optional<int> LegacyFontPixels(std::string_view value);

// What an element changes in the style of the text inside it; what it leaves alone is unset.
struct StyleChange {
  std::optional<bool> bold, italic, underline, strike;
  std::optional<uint32_t> colour;
  std::optional<int> pixels;    // a size of its own
  std::optional<double> scale;  // a size relative to the text around it (em, %, larger)
  std::optional<std::string> faces;

  TextStyle AppliedTo(TextStyle outer) const;
};

// The declarations of a style attribute that the preview draws (color, font-size, font-weight,
// font-style, font-family, text-decoration); others and values it cannot read are left out.
void ReadStyleAttribute(std::string_view css, StyleChange& change);

// A font-family list in the form TextStyle keeps: names without quotes, separated by ",".
std::string FaceList(std::string_view families);

}  // namespace jihe::library
