#include "chat/pattern_matcher.h"

namespace jihe::chat {

namespace {
constexpr size_t kNone = static_cast<size_t>(-1);
}

bool PatternMatcher::CreateMatcher(std::string_view pattern, std::string_view subject) {
  matches_.clear();
  subject_ = std::string(subject);
  PatternEngine engine;
  if (!engine.Compile(pattern)) {
    groups_ = 0;
    return false;
  }
  groups_ = engine.GroupCount();
  const DecodedText text = DecodeUtf8(subject_);
  size_t from = 0;
  while (from <= text.chars.size()) {
    std::optional<std::vector<size_t>> found = engine.Search(text.chars, from);
    if (!found) break;
    Spans spans = std::move(*found);
    const size_t start = spans[0], end = spans[1];
    for (size_t& at : spans) {
      if (at != kNone) at = text.offsets[at];
    }
    matches_.push_back(std::move(spans));
    from = end > start ? end : end + 1;  // an empty match moves on by one character
  }
  return true;
}

std::string PatternMatcher::Span(const Spans& spans, size_t group) const {
  const size_t start = spans[2 * group], end = spans[2 * group + 1];
  if (start == kNone || end == kNone) return {};
  return subject_.substr(start, end - start);
}

std::string PatternMatcher::MatchText(int match) const {
  if (match < 1 || match > MatchCount()) return {};
  return Span(matches_[static_cast<size_t>(match - 1)], 0);
}

std::string PatternMatcher::GroupText(int match, int group) const {
  if (match < 1 || match > MatchCount() || group < 1 || group > groups_) return {};
  return Span(matches_[static_cast<size_t>(match - 1)], static_cast<size_t>(group));
}

std::string PatternMatcher::ReplaceAll(std::string_view replacement) const {
  std::string out;
  size_t at = 0;
  for (const Spans& m : matches_) {
    out.append(subject_, at, m[0] - at);
    for (size_t i = 0; i < replacement.size(); ++i) {
      const char c = replacement[i];
      const char next = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
      if (c != '$' || next == '\0') {
        out.push_back(c);
        continue;
      }
      if (next == '$') {
        out.push_back('$');
      } else if (next == '&') {
        out += Span(m, 0);
      } else if (next == '`') {
        out.append(subject_, 0, m[0]);
      } else if (next == '\'') {
        out.append(subject_, m[1]);
      } else if (next >= '0' && next <= '9') {
        // "$nn" when that group exists, else "$n"; "$0" and a missing group stay as written.
        int group = next - '0';
        size_t used = 1;
        const char third = i + 2 < replacement.size() ? replacement[i + 2] : '\0';
        if (third >= '0' && third <= '9' && group * 10 + (third - '0') <= groups_) {
          group = group * 10 + (third - '0');
          used = 2;
        }
        if (group < 1 || group > groups_) {
          out.push_back(c);
          continue;
        }
        out += Span(m, static_cast<size_t>(group));
        i += used;
        continue;
      } else {
        out.push_back(c);
        continue;
      }
      ++i;
    }
    at = m[1];
  }
  out.append(subject_, at);
  return out;
}

}  // namespace jihe::chat
