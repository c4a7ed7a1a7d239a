#include "library/preview.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

namespace jihe::library {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

bool StartsIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Every occurrence of the ASCII `find`, in any letter case, replaced. Multi-byte characters never
// match an ASCII needle part-way, so UTF-8 text passes through whole.
std::string ReplaceIgnoringCase(std::string_view text, std::string_view find,
                                std::string_view with) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (StartsIgnoringCase(text.substr(i), find)) {
      out += with;
      i += find.size();
    } else {
      out += text[i++];
    }
  }
  return out;
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

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// A character reference at the start of `text`: its UTF-8 and its length, when it is one of the
// references a phrase is likely to hold.
std::optional<std::pair<std::string, size_t>> DecodeReference(std::string_view text) {
  static constexpr std::pair<std::string_view, std::string_view> kNamed[] = {
      {"&amp;", "&"},   {"&lt;", "<"},   {"&gt;", ">"},
      {"&quot;", "\""}, {"&apos;", "'"}, {"&nbsp;", "\xC2\xA0"},
  };
  for (const auto& [name, value] : kNamed)
    if (StartsIgnoringCase(text, name)) return std::pair{std::string(value), name.size()};
  if (text.size() < 4 || text[1] != '#') return std::nullopt;
  const bool hex = text[2] == 'x' || text[2] == 'X';
  size_t i = hex ? 3 : 2;
  const size_t digitsStart = i;
  uint32_t cp = 0;
  for (; i < text.size() && i - digitsStart < 8; ++i) {
    const char c = text[i];
    int digit;
    if (IsAsciiDigit(c))
      digit = c - '0';
    else if (hex && LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f')
      digit = LowerAscii(c) - 'a' + 10;
    else
      break;
    cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
  }
  if (i == digitsStart || i >= text.size() || text[i] != ';') return std::nullopt;
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  std::string utf8;
  AppendUtf8(utf8, cp);
  return std::pair{utf8, i + 1};
}

std::string DecodeReferences(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '&') {
      if (auto ref = DecodeReference(text.substr(i))) {
        out += ref->first;
        i += ref->second;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

struct Tag {
  bool closing = false;
  std::string name;                                             // lower case
  std::vector<std::pair<std::string, std::string>> attributes;  // names lower case, values decoded
  size_t length = 0;
};

// A tag at the start of `text` ("<name attr=value ...>" or "</name>"), or nothing when the text
// there is not one, in which case the "<" is text.
std::optional<Tag> ReadTag(std::string_view text) {
  Tag tag;
  size_t i = 1;
  if (i < text.size() && text[i] == '/') {
    tag.closing = true;
    ++i;
  }
  if (i >= text.size() || !IsAsciiLetter(text[i])) return std::nullopt;
  while (i < text.size() && (IsAsciiLetter(text[i]) || IsAsciiDigit(text[i])))
    tag.name += LowerAscii(text[i++]);
  for (;;) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size()) return std::nullopt;
    if (text[i] == '>') break;
    if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '>') {
      ++i;
      break;
    }
    if (i == 1 + tag.name.size() + (tag.closing ? 1 : 0)) return std::nullopt;  // "<b+" is text
    std::string name;
    while (i < text.size() && !IsBlank(text[i]) && text[i] != '=' && text[i] != '>' &&
           text[i] != '/')
      name += LowerAscii(text[i++]);
    if (name.empty()) {
      ++i;  // a stray "/" inside the tag
      continue;
    }
    while (i < text.size() && IsBlank(text[i])) ++i;
    std::string value;
    if (i < text.size() && text[i] == '=') {
      ++i;
      while (i < text.size() && IsBlank(text[i])) ++i;
      if (i >= text.size()) return std::nullopt;
      if (text[i] == '"' || text[i] == '\'') {
        const char quote = text[i++];
        const size_t end = text.find(quote, i);
        if (end == std::string_view::npos) return std::nullopt;
        value = DecodeReferences(text.substr(i, end - i));
        i = end + 1;
      } else {
        const size_t start = i;
        while (i < text.size() && !IsBlank(text[i]) && text[i] != '>') ++i;
        value = DecodeReferences(text.substr(start, i - start));
      }
    }
    tag.attributes.emplace_back(std::move(name), std::move(value));
  }
  tag.length = i + 1;
  return tag;
}

// The file a picture's source names, when that is a plain file name directly inside the folder.
std::string PicturePathOf(std::string_view source, std::string_view imgFolder) {
  constexpr std::string_view kFileScheme = "file:///";
  if (imgFolder.empty() || !StartsIgnoringCase(source, kFileScheme)) return {};
  std::string_view rest = source.substr(kFileScheme.size());
  if (!StartsIgnoringCase(rest, imgFolder)) return {};
  const std::string_view name = rest.substr(imgFolder.size());
  bool onlyDotsAndBlanks = true;
  for (char c : name) {
    if (c == '\\' || c == '/' || c == ':' || static_cast<unsigned char>(c) < 0x20) return {};
    if (c != '.' && c != ' ') onlyDotsAndBlanks = false;
  }
  if (onlyDotsAndBlanks) return {};  // "", ".", "..": the folder itself or its parent
  return std::string(imgFolder) + std::string(name);
}

class RunBuilder {
 public:
  explicit RunBuilder(std::string_view imgFolder) : imgFolder_(imgFolder) {}

  void Character(std::string_view utf8) {
    atLineStart_ = false;
    pendingBlank_ = false;
    AppendText(utf8);
  }
  void Blank() {
    if (atLineStart_ || pendingBlank_) return;
    pendingBlank_ = true;
    AppendText(" ");
  }
  void LineBreak() {
    if (!runs_.empty() && runs_.back().kind == RunKind::Text && pendingBlank_) {
      runs_.back().text.pop_back();  // a blank at a line's end shows nothing
      if (runs_.back().text.empty()) runs_.pop_back();
    }
    PreviewRun lineBreak;
    lineBreak.kind = RunKind::LineBreak;
    runs_.push_back(std::move(lineBreak));
    atLineStart_ = true;
    pendingBlank_ = false;
  }
  void Picture(const std::string& source) {
    PreviewRun run;
    run.kind = RunKind::Picture;
    run.source = source;
    run.picturePath = PicturePathOf(source, imgFolder_);
    runs_.push_back(std::move(run));
    atLineStart_ = false;
    pendingBlank_ = false;
  }
  void Style(const Tag& tag) {
    int* depth = tag.name == "u"                         ? &underline_
                 : (tag.name == "i" || tag.name == "em") ? &italic_
                                                         : &bold_;
    if (!tag.closing)
      ++*depth;
    else if (*depth > 0)
      --*depth;  // an end tag that closes nothing is ignored
  }
  std::vector<PreviewRun> Take() { return std::move(runs_); }

 private:
  TextStyle Current() const { return {bold_ > 0, italic_ > 0, underline_ > 0}; }
  void AppendText(std::string_view utf8) {
    if (runs_.empty() || runs_.back().kind != RunKind::Text || runs_.back().style != Current()) {
      PreviewRun run;
      run.style = Current();
      runs_.push_back(std::move(run));
    }
    runs_.back().text += utf8;
  }

  std::string_view imgFolder_;
  std::vector<PreviewRun> runs_;
  int bold_ = 0, italic_ = 0, underline_ = 0;
  bool atLineStart_ = true;
  bool pendingBlank_ = false;
};

bool IsStyleTag(const std::string& name) {
  return name == "b" || name == "strong" || name == "i" || name == "em" || name == "u";
}

}  // namespace

std::string PreviewHtml(std::string_view content, std::string_view imgFolder) {
  std::string html =
      ReplaceIgnoringCase(content, "[img=", "<IMG src=\"file:///" + std::string(imgFolder));
  html = ReplaceIgnoringCase(html, "img]", "\">");
  return ReplaceIgnoringCase(html, "\r\n", "<BR>");
}

std::vector<PreviewRun> ParsePreviewHtml(std::string_view html, std::string_view imgFolder) {
  RunBuilder builder(imgFolder);
  size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c == '<') {
      if (auto tag = ReadTag(html.substr(i))) {
        bool handled = true;
        if (tag->name == "br") {
          builder.LineBreak();
        } else if (tag->name == "img" && !tag->closing) {
          std::string source;
          for (const auto& [name, value] : tag->attributes)
            if (name == "src") {
              source = value;
              break;
            }
          builder.Picture(source);
        } else if (IsStyleTag(tag->name)) {
          builder.Style(*tag);
        } else {
          handled = false;
        }
        if (handled) {
          i += tag->length;
          continue;
        }
      }
    } else if (c == '&') {
      if (auto ref = DecodeReference(html.substr(i))) {
        builder.Character(ref->first);
        i += ref->second;
        continue;
      }
    }
    if (IsBlank(c)) {
      builder.Blank();
      ++i;
      continue;
    }
    // One whole UTF-8 sequence at a time.
    size_t length = 1;
    const auto lead = static_cast<unsigned char>(c);
    if (lead >= 0xF0)
      length = 4;
    else if (lead >= 0xE0)
      length = 3;
    else if (lead >= 0xC0)
      length = 2;
    length = std::min(length, html.size() - i);
    builder.Character(html.substr(i, length));
    i += length;
  }
  return builder.Take();
}

std::vector<PreviewRun> PreviewRuns(std::string_view content, std::string_view imgFolder) {
  return ParsePreviewHtml(PreviewHtml(content, imgFolder), imgFolder);
}

}  // namespace jihe::library
