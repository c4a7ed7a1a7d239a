#include "chat/rich_content.h"

#include <cstdio>

#include "platform/utf16.h"
#include "storage/text_split.h"

namespace jihe::chat {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool StartsWithIgnoringCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(s[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

// A character reference's code point; one that names no character becomes U+FFFD.
void AppendUtf8(std::string& out, unsigned long cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  platform::AppendUtf8(out, static_cast<char32_t>(cp));
}

// Decodes the entity at s[0] == '&' into out; returns how many characters it took (0: none).
size_t DecodeEntity(std::string_view s, std::string& out) {
  const size_t semi = s.find(';');
  if (semi == std::string_view::npos || semi > 10) return 0;
  const std::string_view name = s.substr(1, semi - 1);
  static constexpr struct {
    std::string_view name;
    std::string_view text;
  } kNamed[] = {{"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", "\xC2\xA0"}};
  for (const auto& e : kNamed) {
    if (name == e.name) {
      out += e.text;
      return semi + 1;
    }
  }
  if (name.size() >= 2 && name[0] == '#') {
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return 0;
    unsigned long cp = 0;
    for (char c : digits) {
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (hex && LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f') d = LowerAscii(c) - 'a' + 10;
      else return 0;
      cp = cp * (hex ? 16 : 10) + d;
      if (cp > 0x10FFFF) cp = 0x110000;  // stays invalid, becomes U+FFFD
    }
    AppendUtf8(out, cp);
    return semi + 1;
  }
  return 0;
}

std::string DecodeText(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '&') {
      if (size_t n = DecodeEntity(s.substr(i), out)) {
        i += n;
        continue;
      }
    }
    out.push_back(s[i++]);
  }
  return out;
}

// The value of attribute `wanted` inside the tag text between the tag name and ">".
std::optional<std::string> AttributeOf(std::string_view attrs, std::string_view wanted) {
  size_t i = 0;
  while (i < attrs.size()) {
    while (i < attrs.size() && (IsSpace(attrs[i]) || attrs[i] == '/')) ++i;
    const size_t nameStart = i;
    while (i < attrs.size() && !IsSpace(attrs[i]) && attrs[i] != '=' && attrs[i] != '/') ++i;
    const std::string_view name = attrs.substr(nameStart, i - nameStart);
    while (i < attrs.size() && IsSpace(attrs[i])) ++i;
    std::string_view value;
    if (i < attrs.size() && attrs[i] == '=') {
      ++i;
      while (i < attrs.size() && IsSpace(attrs[i])) ++i;
      if (i < attrs.size() && (attrs[i] == '"' || attrs[i] == '\'')) {
        const char quote = attrs[i++];
        const size_t end = attrs.find(quote, i);
        const size_t stop = end == std::string_view::npos ? attrs.size() : end;
        value = attrs.substr(i, stop - i);
        i = stop + 1;
      } else {
        const size_t start = i;
        while (i < attrs.size() && !IsSpace(attrs[i])) ++i;
        value = attrs.substr(start, i - start);
      }
    }
    if (!name.empty() && name.size() == wanted.size() && StartsWithIgnoringCase(name, wanted)) {
      return DecodeText(value);
    }
    if (name.empty() && i == nameStart) ++i;
  }
  return std::nullopt;
}

// The end of the tag that starts at html[start] == '<' (the index just past ">"), quotes honoured.
size_t TagEnd(std::string_view html, size_t start) {
  char quote = 0;
  for (size_t i = start + 1; i < html.size(); ++i) {
    const char c = html[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return std::string_view::npos;
}


}  // namespace

std::vector<RichPiece> ParseFragment(std::string_view html) {
  std::vector<RichPiece> pieces;
  std::string text;
  auto flushText = [&] {
    if (!text.empty()) pieces.push_back({RichPiece::Kind::Text, DecodeText(text), {}});
    text.clear();
  };
  size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    const char next = i + 1 < html.size() ? html[i + 1] : '\0';
    if (c != '<' || !(IsAsciiLetter(next) || next == '/' || next == '!')) {
      text.push_back(c);
      ++i;
      continue;
    }
    if (html.substr(i, 4) == "<!--") {
      const size_t end = html.find("-->", i + 4);
      flushText();
      i = end == std::string_view::npos ? html.size() : end + 3;
      continue;
    }
    const size_t end = TagEnd(html, i);
    if (end == std::string_view::npos) {  // an unfinished tag is text
      text.append(html.substr(i));
      break;
    }
    size_t nameStart = i + 1;
    const bool closing = html[nameStart] == '/';
    if (closing) ++nameStart;
    size_t nameEnd = nameStart;
    while (nameEnd < end - 1 && (IsAsciiLetter(html[nameEnd]) || (html[nameEnd] >= '0' && html[nameEnd] <= '9'))) {
      ++nameEnd;
    }
    std::string name;
    for (size_t k = nameStart; k < nameEnd; ++k) name.push_back(LowerAscii(html[k]));
    if (name == "br") {
      flushText();
      pieces.push_back({RichPiece::Kind::Break, {}, {}});
    } else if (name == "img" && !closing) {
      flushText();
      const std::string source =
          AttributeOf(html.substr(nameEnd, end - 1 - nameEnd), "src").value_or(std::string());
      pieces.push_back({RichPiece::Kind::Picture, LocalPathOfFileUrl(source).value_or(std::string()), source});
    }
    i = end;
  }
  flushText();
  return pieces;
}

std::optional<std::string> LocalPathOfFileUrl(std::string_view url) {
  if (!StartsWithIgnoringCase(url, "file://") || url.size() <= 8) return std::nullopt;
  // "file:///C:/..." is a path on this machine; "file://server/share/..." one on a file share.
  const bool share = url[7] != '/';
  std::string path;
#ifdef _WIN32
  if (share) path = "\\\\";
#else
  path = share ? "//" : "/";
#endif
  const std::string_view rest = url.substr(share ? 7 : 8);
  for (size_t i = 0; i < rest.size(); ++i) {
    char c = rest[i];
    auto hexValue = [](char h) {
      h = LowerAscii(h);
      return (h >= '0' && h <= '9') ? h - '0' : (h >= 'a' && h <= 'f') ? h - 'a' + 10 : -1;
    };
    if (c == '%' && i + 2 < rest.size() && hexValue(rest[i + 1]) >= 0 && hexValue(rest[i + 2]) >= 0) {
      c = static_cast<char>(hexValue(rest[i + 1]) * 16 + hexValue(rest[i + 2]));
      i += 2;
    }
#ifdef _WIN32
    if (c == '/') c = '\\';
#else
    if (c == '\\') c = '/';
    if (c == '/' && path.back() == '/') continue;
#endif
    path.push_back(c);
  }
  return path;
}

std::string FileUrlOf(std::string_view localPath) {
  // A long-path form names the same file as its plain form, which is what other programs read:
  // \\?\UNC\server\share\... is \\server\share\..., and \\?\C:\... is C:\....
  std::string plain;
  if (localPath.starts_with("\\\\?\\UNC\\")) {
    plain = "\\\\" + std::string(localPath.substr(8));
    localPath = plain;
  } else if (localPath.starts_with("\\\\?\\")) {
    localPath.remove_prefix(4);
  }
  size_t i = 0;
  while (i < localPath.size() && (localPath[i] == '/' || localPath[i] == '\\')) ++i;
  // A network path (\\server\share\...) keeps its server as the address's host.
  std::string url = i == 2 ? "file://" : "file:///";
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (; i < localPath.size(); ++i) {
    const char c = localPath[i];
    if (c == '\\') {
      url.push_back('/');
    } else if (c == ' ' || c == '%' || c == '#' || c == '"' || c == '<' || c == '>' || c == '?' || c == '&') {
      url.push_back('%');
      url.push_back(kHex[(static_cast<unsigned char>(c) >> 4) & 0xF]);
      url.push_back(kHex[c & 0xF]);
    } else {
      url.push_back(c);
    }
  }
  return url;
}

std::string FragmentHtml(const std::vector<RichPiece>& pieces) {
  std::string html;
  for (const RichPiece& piece : pieces) {
    switch (piece.kind) {
      case RichPiece::Kind::Text: html += storage::EscapeHtml(piece.text, false); break;
      case RichPiece::Kind::Break: html += "<BR>"; break;
      case RichPiece::Kind::Picture:
        html += "<IMG src=\"";
        html += storage::EscapeHtml(piece.text.empty() ? piece.source : FileUrlOf(piece.text), true);
        html += "\">";
        break;
    }
  }
  return html;
}

std::string CfHtml(std::string_view fragmentHtml) {
  static constexpr std::string_view kPrefix = "<html><body>\r\n<!--StartFragment-->";
  static constexpr std::string_view kSuffix = "<!--EndFragment-->\r\n</body>\r\n</html>";
  static constexpr char kHeader[] =
      "Version:0.9\r\nStartHTML:%010zu\r\nEndHTML:%010zu\r\nStartFragment:%010zu\r\nEndFragment:%010zu\r\n";
  char header[160];
  const size_t headerSize = static_cast<size_t>(std::snprintf(header, sizeof header, kHeader, size_t{0}, size_t{0},
                                                              size_t{0}, size_t{0}));
  const size_t startFragment = headerSize + kPrefix.size();
  const size_t endFragment = startFragment + fragmentHtml.size();
  const size_t endHtml = endFragment + kSuffix.size();
  std::snprintf(header, sizeof header, kHeader, headerSize, endHtml, startFragment, endFragment);
  std::string out(header, headerSize);
  out += kPrefix;
  out += fragmentHtml;
  out += kSuffix;
  return out;
}

std::string PlainTextOf(const std::vector<RichPiece>& pieces) {
  std::string text;
  for (const RichPiece& piece : pieces) {
    if (piece.kind == RichPiece::Kind::Text) text += piece.text;
    if (piece.kind == RichPiece::Kind::Break) text += "\r\n";
  }
  return text;
}

std::string QQRichEditOf(const std::vector<RichPiece>& pieces) {
  std::string xml = "<QQRichEditFormat><Info version=\"1001\"></Info>";
  std::string run;
  auto flushRun = [&] {
    if (run.empty()) return;
    // "]]>" would end the section early; split it across two sections.
    std::string safe;
    for (size_t i = 0; i < run.size(); ++i) {
      if (run.compare(i, 3, "]]>") == 0) {
        safe += "]]]]><![CDATA[>";
        i += 2;
      } else {
        safe.push_back(run[i]);
      }
    }
    xml += "<EditElement type=\"0\"><![CDATA[" + safe + "]]></EditElement>";
    run.clear();
  };
  for (const RichPiece& piece : pieces) {
    if (piece.kind == RichPiece::Kind::Text) run += piece.text;
    if (piece.kind == RichPiece::Kind::Break) run += "\r\n";
    if (piece.kind == RichPiece::Kind::Picture && !piece.text.empty()) {
      flushRun();
      xml += "<EditElement type=\"1\" filepath=\"" + storage::EscapeHtml(piece.text, true) +
             "\" shortcut=\"\"></EditElement>";
    }
  }
  flushRun();
  xml += "</QQRichEditFormat>";
  return xml;
}

std::optional<std::string> SinglePicturePath(const std::vector<RichPiece>& pieces) {
  std::optional<std::string> path;
  for (const RichPiece& piece : pieces) {
    if (piece.kind == RichPiece::Kind::Picture) {
      if (path || piece.text.empty()) return std::nullopt;
      path = piece.text;
    } else if (piece.kind == RichPiece::Kind::Text) {
      for (char c : piece.text) {
        if (!IsSpace(c)) return std::nullopt;
      }
    }
  }
  return path;
}

}  // namespace jihe::chat
