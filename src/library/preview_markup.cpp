#include "library/preview_markup.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace jihe::library {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

int HexDigit(char c) {
  if (IsAsciiDigit(c)) return c - '0';
  c = LowerAscii(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

struct NamedReference {
  std::string_view name;
  uint32_t cp;
  bool withoutSemicolon;  // browsers still read it when the ";" is missing
};

// The references a phrase is likely to hold. Names are case-sensitive, as in HTML.
constexpr NamedReference kNamedReferences[] = {
    {"amp", '&', true},       {"lt", '<', true},         {"gt", '>', true},
    {"quot", '"', true},      {"AMP", '&', true},        {"LT", '<', true},
    {"GT", '>', true},        {"QUOT", '"', true},       {"apos", '\'', false},
    {"nbsp", 0xA0, true},     {"copy", 0xA9, true},      {"reg", 0xAE, true},
    {"trade", 0x2122, false}, {"yen", 0xA5, true},       {"euro", 0x20AC, false},
    {"cent", 0xA2, true},     {"pound", 0xA3, true},     {"sect", 0xA7, true},
    {"deg", 0xB0, true},      {"plusmn", 0xB1, true},    {"times", 0xD7, true},
    {"divide", 0xF7, true},   {"middot", 0xB7, true},    {"laquo", 0xAB, true},
    {"raquo", 0xBB, true},    {"hellip", 0x2026, false}, {"mdash", 0x2014, false},
    {"ndash", 0x2013, false}, {"lsquo", 0x2018, false},  {"rsquo", 0x2019, false},
    {"ldquo", 0x201C, false}, {"rdquo", 0x201D, false},  {"bull", 0x2022, false},
    {"larr", 0x2190, false},  {"rarr", 0x2192, false},   {"uarr", 0x2191, false},
    {"darr", 0x2193, false},  {"hearts", 0x2665, false}, {"star", 0x2606, false},
    {"ensp", 0x2002, false},  {"emsp", 0x2003, false},   {"thinsp", 0x2009, false},
};

// What browsers show for the numbers 0x80 to 0x9F, which old pages meant as windows-1252.
constexpr uint16_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::optional<Reference> ReadNumericReference(std::string_view text) {
  const bool hex = text.size() > 2 && (text[2] == 'x' || text[2] == 'X');
  size_t i = hex ? 3 : 2;
  const size_t digitsStart = i;
  uint32_t cp = 0;
  for (; i < text.size(); ++i) {
    const int digit = hex ? HexDigit(text[i]) : (IsAsciiDigit(text[i]) ? text[i] - '0' : -1);
    if (digit < 0) break;
    // Any number of digits is read, but the value stops growing past the last character.
    cp = std::min<uint32_t>(cp * (hex ? 16 : 10) + static_cast<uint32_t>(digit), 0x110000);
  }
  if (i == digitsStart) return std::nullopt;  // "&#" or "&#x" alone is text
  if (i < text.size() && text[i] == ';') ++i;
  if (cp >= 0x80 && cp <= 0x9F) cp = kWindows1252[cp - 0x80];
  Reference ref{{}, i};
  const bool blank = cp == '\t' || cp == '\n' || cp == '\f' || cp == '\r';
  const bool nothing = cp == 0 || (cp < 0x20 && !blank) || cp == 0x7F || cp > 0x10FFFF ||
                       (cp >= 0xD800 && cp <= 0xDFFF);
  if (!nothing) AppendUtf8(ref.utf8, cp);
  return ref;
}

// A CSS number with its unit ("14px", "10.5pt", "1.2em", "120%"): the value and the unit in lower
// case, or nothing when it does not start with a number.
std::optional<std::pair<double, std::string>> ReadDimension(std::string_view text) {
  size_t i = 0;
  double value = 0;
  bool digits = false;
  for (; i < text.size() && IsAsciiDigit(text[i]); ++i, digits = true)
    value = std::min(value * 10 + (text[i] - '0'), 1e6);
  if (i < text.size() && text[i] == '.') {
    double place = 0.1;
    for (++i; i < text.size() && IsAsciiDigit(text[i]); ++i, place /= 10, digits = true)
      value += (text[i] - '0') * place;
  }
  if (!digits) return std::nullopt;
  return std::pair{value, Lower(Trim(text.substr(i)))};
}

void ReadFontSize(std::string_view value, StyleChange& change) {
  static constexpr std::pair<std::string_view, int> kKeywords[] = {
      {"xx-small", 9}, {"x-small", 10}, {"small", 13},    {"medium", 16},
      {"large", 18},   {"x-large", 24}, {"xx-large", 32}, {"xxx-large", 48},
  };
  const std::string lower = Lower(value);
  for (const auto& [name, pixels] : kKeywords)
    if (lower == name) {
      change.pixels = pixels;
      change.scale.reset();
      return;
    }
  if (lower == "larger" || lower == "smaller") {
    change.scale = lower == "larger" ? 1.2 : 1 / 1.2;
    change.pixels.reset();
    return;
  }
  const auto dimension = ReadDimension(lower);
  if (!dimension) return;
  const auto& [number, unit] = *dimension;
  if (unit == "px" || unit == "pt" || unit == "rem") {
    const double pixels = unit == "px" ? number : unit == "pt" ? number * 4 / 3 : number * 16;
    change.pixels = static_cast<int>(std::lround(pixels));
    change.scale.reset();
  } else if (unit == "em" || unit == "%") {
    change.scale = unit == "em" ? number : number / 100;
    change.pixels.reset();
  }
}

void ReadTextDecoration(std::string_view value, StyleChange& change) {
  size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && IsBlank(value[i])) ++i;
    const size_t start = i;
    while (i < value.size() && !IsBlank(value[i])) ++i;
    const std::string word = Lower(value.substr(start, i - start));
    if (word == "underline") {
      change.underline = true;
    } else if (word == "line-through") {
      change.strike = true;
    } else if (word == "none") {
      change.underline = false;
      change.strike = false;
    }
  }
}

void ReadDeclaration(std::string_view property, std::string_view value, StyleChange& change) {
  const std::string name = Lower(Trim(property));
  value = Trim(value);
  const std::string lower = Lower(value);
  if (const size_t bang = lower.rfind("!important"); bang != std::string::npos)
    value = Trim(value.substr(0, bang));
  if (value.empty()) return;
  if (name == "color") {
    if (auto colour = ReadColour(value)) change.colour = *colour;
  } else if (name == "font-size") {
    ReadFontSize(value, change);
  } else if (name == "font-weight") {
    const std::string weight = Lower(value);
    if (weight == "bold" || weight == "bolder") {
      change.bold = true;
    } else if (weight == "normal" || weight == "lighter") {
      change.bold = false;
    } else if (auto number = ReadDimension(weight); number && number->second.empty()) {
      change.bold = number->first >= 600;
    }
  } else if (name == "font-style") {
    const std::string style = Lower(value);
    if (style == "italic" || style.starts_with("oblique"))
      change.italic = true;
    else if (style == "normal")
      change.italic = false;
  } else if (name == "font-family") {
    if (std::string faces = FaceList(value); !faces.empty()) change.faces = std::move(faces);
  } else if (name == "text-decoration" || name == "text-decoration-line") {
    ReadTextDecoration(value, change);
  }
}

struct NamedColour {
  std::string_view name;
  uint32_t rgb;
};

// The HTML colour names and the CSS ones agents are likely to use.
constexpr NamedColour kColours[] = {
    {"black", 0x000000},       {"silver", 0xC0C0C0},      {"gray", 0x808080},
    {"grey", 0x808080},        {"white", 0xFFFFFF},       {"maroon", 0x800000},
    {"red", 0xFF0000},         {"purple", 0x800080},      {"fuchsia", 0xFF00FF},
    {"magenta", 0xFF00FF},     {"green", 0x008000},       {"lime", 0x00FF00},
    {"olive", 0x808000},       {"yellow", 0xFFFF00},      {"navy", 0x000080},
    {"blue", 0x0000FF},        {"teal", 0x008080},        {"aqua", 0x00FFFF},
    {"cyan", 0x00FFFF},        {"orange", 0xFFA500},      {"darkorange", 0xFF8C00},
    {"orangered", 0xFF4500},   {"tomato", 0xFF6347},      {"coral", 0xFF7F50},
    {"salmon", 0xFA8072},      {"crimson", 0xDC143C},     {"darkred", 0x8B0000},
    {"firebrick", 0xB22222},   {"brown", 0xA52A2A},       {"chocolate", 0xD2691E},
    {"gold", 0xFFD700},        {"goldenrod", 0xDAA520},   {"khaki", 0xF0E68C},
    {"pink", 0xFFC0CB},        {"hotpink", 0xFF69B4},     {"deeppink", 0xFF1493},
    {"violet", 0xEE82EE},      {"orchid", 0xDA70D6},      {"indigo", 0x4B0082},
    {"darkviolet", 0x9400D3},  {"blueviolet", 0x8A2BE2},  {"darkblue", 0x00008B},
    {"mediumblue", 0x0000CD},  {"royalblue", 0x4169E1},   {"steelblue", 0x4682B4},
    {"dodgerblue", 0x1E90FF},  {"deepskyblue", 0x00BFFF}, {"skyblue", 0x87CEEB},
    {"lightblue", 0xADD8E6},   {"darkgreen", 0x006400},   {"forestgreen", 0x228B22},
    {"seagreen", 0x2E8B57},    {"limegreen", 0x32CD32},   {"lightgreen", 0x90EE90},
    {"yellowgreen", 0x9ACD32}, {"olivedrab", 0x6B8E23},   {"turquoise", 0x40E0D0},
    {"darkcyan", 0x008B8B},    {"darkgray", 0xA9A9A9},    {"darkgrey", 0xA9A9A9},
    {"dimgray", 0x696969},     {"dimgrey", 0x696969},     {"lightgray", 0xD3D3D3},
    {"lightgrey", 0xD3D3D3},   {"slategray", 0x708090},   {"tan", 0xD2B48C},
    {"beige", 0xF5F5DC},       {"ivory", 0xFFFFF0},       {"lightyellow", 0xFFFFE0},
};

std::optional<uint32_t> ReadHexColour(std::string_view digits) {
  if (digits.size() != 3 && digits.size() != 6) return std::nullopt;
  uint32_t rgb = 0;
  for (char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    rgb = rgb << (digits.size() == 3 ? 8 : 4) |
          static_cast<uint32_t>(digits.size() == 3 ? d * 17 : d);
  }
  return rgb;
}

std::optional<uint32_t> ReadRgbFunction(std::string_view value) {
  const size_t open = value.find('(');
  const size_t close = value.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open)
    return std::nullopt;
  std::string_view args = value.substr(open + 1, close - open - 1);
  uint32_t rgb = 0;
  for (int component = 0; component < 3; ++component) {
    args = Trim(args);
    const auto number = ReadDimension(args);
    if (!number) return std::nullopt;
    size_t end = 0;
    while (end < args.size() && args[end] != ',' && !IsBlank(args[end])) ++end;
    const std::string unit = Lower(args.substr(0, end));
    const double value255 = unit.ends_with("%") ? number->first * 255 / 100 : number->first;
    rgb = rgb << 8 | static_cast<uint32_t>(std::clamp(std::lround(value255), 0L, 255L));
    args.remove_prefix(end);
    args = Trim(args);
    if (!args.empty() && args.front() == ',') args.remove_prefix(1);
  }
  return rgb;
}

}  // namespace

std::optional<Reference> ReadReference(std::string_view text, bool inAttribute) {
  if (text.size() < 2 || text[0] != '&') return std::nullopt;
  if (text[1] == '#') return ReadNumericReference(text);
  size_t end = 1;
  while (end < text.size() && (IsAsciiLetter(text[end]) || IsAsciiDigit(text[end]))) ++end;
  const std::string_view name = text.substr(1, end - 1);
  if (name.empty()) return std::nullopt;
  const bool semicolon = end < text.size() && text[end] == ';';
  const NamedReference* best = nullptr;
  for (const NamedReference& ref : kNamedReferences) {
    if (semicolon && ref.name == name) {
      Reference out{{}, end + 1};
      AppendUtf8(out.utf8, ref.cp);
      return out;
    }
    // Without the ";" a browser takes the longest name the text starts with ("&copy2024").
    if (ref.withoutSemicolon && name.starts_with(ref.name) &&
        (!best || ref.name.size() > best->name.size()))
      best = &ref;
  }
  if (!best) return std::nullopt;
  const size_t length = 1 + best->name.size();
  if (inAttribute && (length < end || (length < text.size() && text[length] == '=')))
    return std::nullopt;  // "?a=1&copy=2" in an address is no reference
  Reference out{{}, length};
  AppendUtf8(out.utf8, best->cp);
  return out;
}

std::string DecodeAttribute(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size();) {
    if (value[i] == '&') {
      if (auto ref = ReadReference(value.substr(i), true)) {
        out += ref->utf8;
        i += ref->length;
        continue;
      }
    }
    out += value[i++];
  }
  return out;
}

std::optional<uint32_t> ReadColour(std::string_view value) {
  value = Trim(value);
  if (value.empty()) return std::nullopt;
  if (value.front() == '#') return ReadHexColour(value.substr(1));
  const std::string lower = Lower(value);
  for (const NamedColour& colour : kColours)
    if (lower == colour.name) return colour.rgb;
  if (lower.starts_with("rgb(") || lower.starts_with("rgba(")) return ReadRgbFunction(lower);
  if (value.size() == 6) return ReadHexColour(value);  // an old page's colour without its "#"
  return std::nullopt;
}

std::optional<int> LegacyFontPixels(std::string_view value) {
  static constexpr int kPixels[] = {10, 13, 16, 18, 24, 32, 48};
  value = Trim(value);
  int sign = 0;
  if (!value.empty() && (value.front() == '+' || value.front() == '-')) {
    sign = value.front() == '+' ? 1 : -1;
    value.remove_prefix(1);
  }
  if (value.empty() || !IsAsciiDigit(value.front())) return std::nullopt;
  int number = 0;
  for (size_t i = 0; i < value.size() && IsAsciiDigit(value[i]); ++i)
    number = std::min(number * 10 + (value[i] - '0'), 100);
  const int size = sign == 0 ? number : 3 + sign * number;
  return kPixels[std::clamp(size, 1, 7) - 1];
}

TextStyle StyleChange::AppliedTo(TextStyle outer) const {
  // Sizes stay within what a window can draw, whatever the markup asks for.
  constexpr int kMinPixels = 1, kMaxPixels = 200;
  if (bold) outer.bold = *bold;
  if (italic) outer.italic = *italic;
  if (underline) outer.underline = *underline;
  if (strike) outer.strike = *strike;
  if (colour) outer.colour = *colour;
  if (pixels) outer.pixels = std::clamp(*pixels, kMinPixels, kMaxPixels);
  if (scale)
    outer.pixels = static_cast<int>(
        std::clamp<double>(std::round(outer.pixels * *scale), kMinPixels, kMaxPixels));
  if (faces) outer.faces = *faces;
  return outer;
}

void ReadStyleAttribute(std::string_view css, StyleChange& change) {
  size_t i = 0;
  while (i < css.size()) {
    size_t end = css.find(';', i);
    if (end == std::string_view::npos) end = css.size();
    const std::string_view declaration = css.substr(i, end - i);
    if (const size_t colon = declaration.find(':'); colon != std::string_view::npos)
      ReadDeclaration(declaration.substr(0, colon), declaration.substr(colon + 1), change);
    i = end + 1;
  }
}

std::string FaceList(std::string_view families) {
  std::string out;
  size_t i = 0;
  while (i <= families.size()) {
    size_t end = families.find(',', i);
    if (end == std::string_view::npos) end = families.size();
    std::string_view face = Trim(families.substr(i, end - i));
    if (face.size() >= 2 && (face.front() == '"' || face.front() == '\'') &&
        face.back() == face.front())
      face = Trim(face.substr(1, face.size() - 2));
    if (!face.empty()) {
      if (!out.empty()) out += ',';
      out += face;
    }
    i = end + 1;
  }
  return out;
}

}  // namespace jihe::library
