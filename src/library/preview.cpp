#include "library/preview.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <iterator>
#include <optional>
#include <utility>

#include "library/phrase_variables.h"
#include "library/preview_markup.h"

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

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

struct Tag {
  bool closing = false;
  std::string name;                                             // lower case
  std::vector<std::pair<std::string, std::string>> attributes;  // names lower case, values decoded
  size_t length = 0;

  // The first value of the attribute, as a browser keeps the first of two with one name.
  const std::string* Attribute(std::string_view attribute) const {
    for (const auto& [key, value] : attributes)
      if (key == attribute) return &value;
    return nullptr;
  }
};

// The tag at the start of `text`, which starts with "<" and a letter or "</" and a letter. Nothing
// when the text ends before the tag does.
std::optional<Tag> ReadTag(std::string_view text) {
  Tag tag;
  size_t i = 1;
  if (text[i] == '/') {
    tag.closing = true;
    ++i;
  }
  while (i < text.size() && !IsBlank(text[i]) && text[i] != '/' && text[i] != '>')
    tag.name += LowerAscii(text[i++]);
  for (;;) {
    while (i < text.size() && (IsBlank(text[i]) || text[i] == '/')) ++i;
    if (i >= text.size()) return std::nullopt;
    if (text[i] == '>') break;
    std::string name;
    do {
      name += LowerAscii(text[i++]);
    } while (i < text.size() && !IsBlank(text[i]) && text[i] != '=' && text[i] != '>' &&
             text[i] != '/');
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
        value = DecodeAttribute(text.substr(i, end - i));
        i = end + 1;
      } else {
        const size_t start = i;
        while (i < text.size() && !IsBlank(text[i]) && text[i] != '>') ++i;
        value = DecodeAttribute(text.substr(start, i - start));
      }
    }
    tag.attributes.emplace_back(std::move(name), std::move(value));
  }
  tag.length = i + 1;
  return tag;
}

}  // namespace

bool IsPlainFileName(std::string_view name) {
  bool onlyDotsAndBlanks = true;
  for (char c : name) {
    if (c == '\\' || c == '/' || c == ':' || static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '.' && c != ' ') onlyDotsAndBlanks = false;
  }
  return !onlyDotsAndBlanks;
}

namespace {

// The file a picture's source names, when that is a plain file name directly inside the folder.
std::string PicturePathOf(std::string_view source, std::string_view imgFolder) {
  constexpr std::string_view kFileScheme = "file:///";
  if (imgFolder.empty() || !StartsIgnoringCase(source, kFileScheme)) return {};
  std::string_view rest = source.substr(kFileScheme.size());
  if (!StartsIgnoringCase(rest, imgFolder)) return {};
  const std::string_view name = rest.substr(imgFolder.size());
  if (!IsPlainFileName(name)) return {};
  return std::string(imgFolder) + std::string(name);
}

// How an element takes part in the page. Formatting elements (<b>, <font>, <a>...) outlive a block
// that ends around them, as browsers carry them over; other elements end with it.
enum class ElementKind { Void, Formatting, Inline, Block, Hidden };

ElementKind KindOf(std::string_view name) {
  static constexpr std::string_view kVoid[] = {"area",  "base",   "br",    "col",  "embed",
                                               "hr",    "img",    "input", "link", "meta",
                                               "param", "source", "track", "wbr"};
  static constexpr std::string_view kFormatting[] = {"a",      "b",      "big",  "code", "em",
                                                     "font",   "i",      "nobr", "s",    "small",
                                                     "strike", "strong", "tt",   "u"};
  static constexpr std::string_view kBlock[] = {
      "address", "article", "aside", "blockquote", "center",   "dd",         "details", "dialog",
      "dir",     "div",     "dl",    "dt",         "fieldset", "figcaption", "figure",  "footer",
      "form",    "h1",      "h2",    "h3",         "h4",       "h5",         "h6",      "header",
      "hgroup",  "li",      "main",  "menu",       "nav",      "ol",         "p",       "pre",
      "section", "summary", "table", "tr",         "ul",       "caption"};
  static constexpr std::string_view kHidden[] = {"script", "style", "title", "template"};
  const auto in = [name](const auto& list) {
    return std::find(std::begin(list), std::end(list), name) != std::end(list);
  };
  if (in(kVoid)) return ElementKind::Void;
  if (in(kFormatting)) return ElementKind::Formatting;
  if (in(kBlock)) return ElementKind::Block;
  if (in(kHidden)) return ElementKind::Hidden;
  return ElementKind::Inline;
}

// What an element's own tag and its style attribute change in the text inside it.
StyleChange ChangeOf(const Tag& tag) {
  // A browser's own sizes of headings, and of <big> and <small> against the text around them.
  static constexpr std::pair<std::string_view, int> kHeadings[] = {
      {"h1", 32}, {"h2", 24}, {"h3", 19}, {"h4", 16}, {"h5", 13}, {"h6", 11}};
  constexpr uint32_t kLinkColour = 0x0000EE;
  const std::string& name = tag.name;
  StyleChange change;
  if (name == "b" || name == "strong") {
    change.bold = true;
  } else if (name == "i" || name == "em") {
    change.italic = true;
  } else if (name == "u" || name == "ins") {
    change.underline = true;
  } else if (name == "s" || name == "strike" || name == "del") {
    change.strike = true;
  } else if (name == "big" || name == "small") {
    change.scale = name == "big" ? 1.2 : 1 / 1.2;
  } else if (name == "a") {
    if (tag.Attribute("href")) {  // an anchor without an address is no link
      change.colour = kLinkColour;
      change.underline = true;
    }
  } else if (name == "font") {
    if (const std::string* colour = tag.Attribute("color"))
      if (auto rgb = ReadColour(*colour)) change.colour = *rgb;
    if (const std::string* size = tag.Attribute("size"))
      if (auto pixels = LegacyFontPixels(*size)) change.pixels = *pixels;
    if (const std::string* face = tag.Attribute("face"))
      if (std::string faces = FaceList(*face); !faces.empty()) change.faces = std::move(faces);
  } else {
    for (const auto& [heading, pixels] : kHeadings)
      if (name == heading) {
        change.bold = true;
        change.pixels = pixels;
      }
  }
  if (const std::string* style = tag.Attribute("style")) ReadStyleAttribute(*style, change);
  return change;
}

bool ChangesNothing(const StyleChange& c) {
  return !c.bold && !c.italic && !c.underline && !c.strike && !c.colour && !c.pixels && !c.scale &&
         !c.faces;
}

// The elements open at the current point, each with the style of the text inside it. Markup that
// never closes what it opens must not grow this without bound: past kMaxDepth further elements
// are not followed.
class OpenElements {
 public:
  static constexpr size_t kMaxDepth = 256;

  const TextStyle& Current() const { return open_.empty() ? page_ : open_.back().style; }

  void Open(const Tag& tag, ElementKind kind) {
    if (open_.size() >= kMaxDepth) return;
    StyleChange change = ChangeOf(tag);
    TextStyle style = change.AppliedTo(Current());
    open_.push_back({tag.name, kind, std::move(change), std::move(style)});
  }

  // Ends the innermost open element of that name; a block takes with it the elements opened
  // inside it, except the formatting ones. An end tag that closes nothing is ignored.
  void Close(std::string_view name, ElementKind kind) {
    size_t found = open_.size();
    while (found > 0 && open_[found - 1].name != name) --found;
    if (found == 0) return;
    const size_t at = found - 1;
    bool restyle = !ChangesNothing(open_[at].change);
    if (kind == ElementKind::Block)
      for (size_t k = open_.size(); k-- > at + 1;)
        if (open_[k].kind != ElementKind::Formatting) {
          restyle = restyle || !ChangesNothing(open_[k].change);
          open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(k));
        }
    open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(at));
    if (!restyle) return;
    for (size_t k = at; k < open_.size(); ++k)
      open_[k].style = open_[k].change.AppliedTo(k == 0 ? page_ : open_[k - 1].style);
  }

  bool IsOpen(std::string_view name) const {
    return std::any_of(open_.begin(), open_.end(), [&](const auto& e) { return e.name == name; });
  }

 private:
  struct Element {
    std::string name;
    ElementKind kind;
    StyleChange change;
    TextStyle style;
  };
  TextStyle page_;
  std::vector<Element> open_;
};

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
    Push(RunKind::LineBreak);
    atLineStart_ = true;
    pendingBlank_ = false;
  }
  // A block starts or ends: what follows goes on a line of its own.
  void BlockBoundary() {
    if (!atLineStart_) LineBreak();
  }
  void Rule() {
    EndParagraph();
    BlockBoundary();
    Push(RunKind::Rule);
    atLineStart_ = true;
    pendingBlank_ = false;
  }
  void Picture(const std::string& source) {
    PreviewRun& run = Push(RunKind::Picture);
    run.source = source;
    run.picturePath = PicturePathOf(source, imgFolder_);
    atLineStart_ = false;
    pendingBlank_ = false;
  }
  void StartTag(const Tag& tag, ElementKind kind) {
    if (kind == ElementKind::Block) {
      EndParagraph();
      BlockBoundary();
    }
    open_.Open(tag, kind);
  }
  void EndTag(const Tag& tag, ElementKind kind) {
    if (kind == ElementKind::Block) BlockBoundary();
    open_.Close(tag.name, kind);
  }
  std::vector<PreviewRun> Take() { return std::move(runs_); }

 private:
  // A new block or rule ends an open paragraph, which cannot hold one.
  void EndParagraph() {
    if (open_.IsOpen("p")) open_.Close("p", ElementKind::Block);
  }
  PreviewRun& Push(RunKind kind) {
    runs_.emplace_back().kind = kind;
    return runs_.back();
  }
  void AppendText(std::string_view utf8) {
    const TextStyle& style = open_.Current();
    if (runs_.empty() || runs_.back().kind != RunKind::Text || runs_.back().style != style)
      Push(RunKind::Text).style = style;
    runs_.back().text += utf8;
  }

  std::string_view imgFolder_;
  std::vector<PreviewRun> runs_;
  OpenElements open_;
  bool atLineStart_ = true;
  bool pendingBlank_ = false;
};

// Where the text after a hidden element's start tag shows again: after its end tag, or nowhere.
size_t EndOfHidden(std::string_view html, size_t from, std::string_view name) {
  const std::string endTag = "</" + std::string(name);
  for (size_t i = html.find("</", from); i != std::string_view::npos; i = html.find("</", i + 2)) {
    if (!StartsIgnoringCase(html.substr(i), endTag)) continue;
    const size_t after = i + endTag.size();
    if (after < html.size() && !IsBlank(html[after]) && html[after] != '>' && html[after] != '/')
      continue;  // "</styles>" does not end "<style>"
    const size_t close = html.find('>', after);
    return close == std::string_view::npos ? html.size() : close + 1;
  }
  return html.size();
}

// Where the text after a comment or other markup that starts with "<!", "<?" or "</" and no
// letter shows again.
size_t EndOfComment(std::string_view html, size_t i) {
  if (html.substr(i).starts_with("<!--")) {
    // "<!-->" and "<!--->" are whole, empty comments.
    if (html.substr(i + 4).starts_with(">")) return i + 5;
    if (html.substr(i + 4).starts_with("->")) return i + 6;
    const size_t end = html.find("-->", i + 4);
    return end == std::string_view::npos ? html.size() : end + 3;
  }
  const size_t end = html.find('>', i + 2);
  return end == std::string_view::npos ? html.size() : end + 1;
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
  // Once a tag runs to the end of the text unclosed, no "<" after it can end one: the rest shows
  // as the text it is, and each "<" is not read again up to the end.
  bool tagsEnded = false;
  size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c == '<' && !tagsEnded && i + 1 < html.size()) {
      const char next = html[i + 1];
      const bool endTag = next == '/' && i + 2 < html.size();
      if (IsAsciiLetter(next) || (endTag && IsAsciiLetter(html[i + 2]))) {
        if (auto tag = ReadTag(html.substr(i))) {
          i += tag->length;
          const ElementKind kind = KindOf(tag->name);
          if (tag->name == "br") {
            builder.LineBreak();  // "</br>" too, as browsers read it
          } else if (tag->closing) {
            if (kind != ElementKind::Void) builder.EndTag(*tag, kind);
          } else if (tag->name == "img") {
            const std::string* source = tag->Attribute("src");
            builder.Picture(source ? *source : std::string());
          } else if (tag->name == "hr") {
            builder.Rule();
          } else if (kind == ElementKind::Hidden) {
            i = EndOfHidden(html, i, tag->name);
          } else if (kind != ElementKind::Void) {
            builder.StartTag(*tag, kind);
          }
          continue;
        }
        tagsEnded = true;
      } else if (next == '!' || next == '?' || endTag) {
        i = EndOfComment(html, i);  // comments, "<!DOCTYPE ...>", "</>" show nothing
        continue;
      }
    } else if (c == '&') {
      if (auto ref = ReadReference(html.substr(i), false)) {
        i += ref->length;
        if (ref->utf8.size() == 1 && IsBlank(ref->utf8[0]))
          builder.Blank();
        else if (!ref->utf8.empty())
          builder.Character(ref->utf8);
        continue;
      }
    }
    if (IsBlank(c)) {
      builder.Blank();
      ++i;
      continue;
    }
    // One whole UTF-8 sequence at a time.
    const size_t length = std::min(Utf8Length(static_cast<unsigned char>(c)), html.size() - i);
    builder.Character(html.substr(i, length));
    i += length;
  }
  return builder.Take();
}

std::vector<PreviewRun> PreviewRuns(std::string_view content, std::string_view imgFolder) {
  const std::vector<Variable> variables = FindVariables(content);
  if (variables.empty()) return ParsePreviewHtml(PreviewHtml(content, imgFolder), imgFolder);
  // A variable shows as its name in a colour of its own: its value is known only at the send.
  char colour[16];
  std::snprintf(colour, sizeof colour, "#%06X", static_cast<unsigned>(kVariableColour));
  std::string marked;
  size_t at = 0;
  for (const Variable& v : variables) {
    marked.append(content.substr(at, v.at - at));
    marked += "<font color=\"";
    marked += colour;
    marked += "\">";
    for (char c : content.substr(v.at, v.length)) {
      if (c == '<') marked += "&lt;";
      else if (c == '&') marked += "&amp;";
      else if (c == '[') marked += "&#91;";  // a question is no picture token
      else marked.push_back(c);
    }
    marked += "</font>";
    at = v.at + v.length;
  }
  marked.append(content.substr(at));
  return ParsePreviewHtml(PreviewHtml(marked, imgFolder), imgFolder);
}

}  // namespace jihe::library
