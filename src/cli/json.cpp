#include "cli/json.h"

#include "platform/utf16.h"

#include <cstdio>
#include <cstdlib>

namespace jihe::cli {

const Json* Json::Find(std::string_view key) const {
  const JsonObject* obj = AsObject();
  if (!obj) return nullptr;
  for (const auto& [k, v] : *obj)
    if (k == key) return &v;
  return nullptr;
}

namespace {


class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  std::variant<Json, JsonError> Run() {
    Json v;
    if (!Value(v, 0)) return error_;
    Blanks();
    if (i_ != s_.size()) return JsonError{i_, "unexpected text after the JSON value"};
    return v;
  }

 private:
  bool Fail(std::string message) {
    error_ = {i_, std::move(message)};
    return false;
  }
  void Blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
  }
  bool Literal(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return Fail("unknown word");
    i_ += word.size();
    return true;
  }
  bool Value(Json& out, int depth) {
    if (depth > 64) return Fail("nesting too deep");
    Blanks();
    if (i_ >= s_.size()) return Fail("unexpected end of input");
    const char c = s_[i_];
    if (c == '{') return Object(out, depth);
    if (c == '[') return Array(out, depth);
    if (c == '"') {
      std::string str;
      if (!String(str)) return false;
      out.value = std::move(str);
      return true;
    }
    if (c == 't') return Literal("true") && (out.value = true, true);
    if (c == 'f') return Literal("false") && (out.value = false, true);
    if (c == 'n') return Literal("null") && (out.value = nullptr, true);
    if (c == '-' || (c >= '0' && c <= '9')) return Number(out);
    return Fail("unexpected character");
  }
  bool Number(Json& out) {
    const size_t start = i_;
    if (s_[i_] == '-') ++i_;
    auto digits = [&] {
      const size_t d = i_;
      while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
      return i_ > d;
    };
    if (!digits()) return Fail("bad number");
    if (i_ < s_.size() && s_[i_] == '.') {
      ++i_;
      if (!digits()) return Fail("bad number");
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      ++i_;
      if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
      if (!digits()) return Fail("bad number");
    }
    out.value = std::strtod(std::string(s_.substr(start, i_ - start)).c_str(), nullptr);
    return true;
  }
  bool Hex4(char32_t& v) {
    if (i_ + 4 > s_.size()) return Fail("bad \\u escape");
    v = 0;
    for (int k = 0; k < 4; ++k) {
      const char h = s_[i_++];
      v <<= 4;
      if (h >= '0' && h <= '9') v |= h - '0';
      else if (h >= 'a' && h <= 'f') v |= h - 'a' + 10;
      else if (h >= 'A' && h <= 'F') v |= h - 'A' + 10;
      else return Fail("bad \\u escape");
    }
    return true;
  }
  // One well-formed UTF-8 sequence of two to four bytes, copied to `out`. The text must be UTF-8:
  // a file in the ANSI code page would otherwise be stored as garbled names.
  bool Utf8Sequence(std::string& out) {
    const auto lead = static_cast<unsigned char>(s_[i_]);
    const size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || i_ + length > s_.size()) return Fail("text is not UTF-8");
    char32_t cp = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto c = static_cast<unsigned char>(s_[i_ + k]);
      if ((c & 0xC0) != 0x80) return Fail("text is not UTF-8");
      cp = (cp << 6) | (c & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return Fail("text is not UTF-8");
    out.append(s_.substr(i_, length));
    i_ += length;
    return true;
  }
  bool String(std::string& out) {
    ++i_;  // opening quote
    while (true) {
      if (i_ >= s_.size()) return Fail("unterminated string");
      const char c = s_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in string");
      if (static_cast<unsigned char>(c) >= 0x80) {
        --i_;
        if (!Utf8Sequence(out)) return false;
        continue;
      }
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (i_ >= s_.size()) return Fail("unterminated string");
      const char e = s_[i_++];
      switch (e) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
          char32_t cp;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00 && s_.substr(i_, 2) == "\\u") {
            const size_t save = i_;
            i_ += 2;
            char32_t lo;
            if (!Hex4(lo)) return false;
            if (lo >= 0xDC00 && lo < 0xE000) cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
            else i_ = save;
          }
          // A lone surrogate is a byte kept from a damaged file, \udc81..\udcff; any other would be
          // stored as "?" or, for \udc80, read back as "€".
          if (cp >= 0xD800 && cp <= 0xDFFF && !(cp >= 0xDC81 && cp <= 0xDCFF))
            return Fail("\\u escape of a lone surrogate that stands for no kept byte");
          platform::AppendUtf8(out, cp);  // a lone surrogate keeps its 3-byte form
          break;
        }
        default: return Fail("bad escape");
      }
    }
  }
  bool Array(Json& out, int depth) {
    ++i_;
    auto arr = std::make_shared<JsonArray>();
    Blanks();
    if (i_ < s_.size() && s_[i_] == ']') {
      ++i_;
      out.value = arr;
      return true;
    }
    while (true) {
      Json v;
      if (!Value(v, depth + 1)) return false;
      arr->push_back(std::move(v));
      Blanks();
      if (i_ < s_.size() && s_[i_] == ',') { ++i_; continue; }
      if (i_ < s_.size() && s_[i_] == ']') { ++i_; break; }
      return Fail("expected , or ]");
    }
    out.value = arr;
    return true;
  }
  bool Object(Json& out, int depth) {
    ++i_;
    auto obj = std::make_shared<JsonObject>();
    Blanks();
    if (i_ < s_.size() && s_[i_] == '}') {
      ++i_;
      out.value = obj;
      return true;
    }
    while (true) {
      Blanks();
      if (i_ >= s_.size() || s_[i_] != '"') return Fail("expected a key");
      std::string key;
      if (!String(key)) return false;
      Blanks();
      if (i_ >= s_.size() || s_[i_] != ':') return Fail("expected :");
      ++i_;
      Json v;
      if (!Value(v, depth + 1)) return false;
      obj->emplace_back(std::move(key), std::move(v));
      Blanks();
      if (i_ < s_.size() && s_[i_] == ',') { ++i_; continue; }
      if (i_ < s_.size() && s_[i_] == '}') { ++i_; break; }
      return Fail("expected , or }");
    }
    out.value = obj;
    return true;
  }

  std::string_view s_;
  size_t i_ = 0;
  JsonError error_;
};

}  // namespace

std::variant<Json, JsonError> ParseJson(std::string_view text) { return Parser(text).Run(); }

void AppendJsonString(std::string& out, std::string_view s) {
  out.push_back('"');
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    switch (c) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else if (c == 0xED && i + 2 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xE0) == 0xA0) {
      // A surrogate in UTF-8 form is not valid UTF-8 in a JSON text: write it as an escape.
      const unsigned cp = 0xD000 | ((static_cast<unsigned char>(s[i + 1]) & 0x3F) << 6) |
                          (static_cast<unsigned char>(s[i + 2]) & 0x3F);
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", cp);
      out += buf;
      i += 2;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  out.push_back('"');
}

}  // namespace jihe::cli
