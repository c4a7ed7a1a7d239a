#include "chat/pattern_matcher.h"

#include "platform/utf16.h"

namespace jihe::chat {

namespace {
constexpr auto kFlags = std::regex_constants::ECMAScript | std::regex_constants::icase | std::regex_constants::multiline;
}

bool PatternMatcher::CreateMatcher(std::string_view pattern, std::string_view subject) {
  matches_.clear();
  valid_ = false;
  subject_ = platform::Widen(subject);
  try {
    regex_.assign(platform::Widen(pattern), kFlags);
    for (std::wsregex_iterator it(subject_.begin(), subject_.end(), regex_), end; it != end; ++it)
      matches_.push_back(*it);
    valid_ = true;
  } catch (const std::regex_error&) {
    // An expression the engine cannot run (bad syntax, or one too complex for the subject).
    matches_.clear();
  }
  return valid_;
}

std::string PatternMatcher::MatchText(int match) const {
  if (match < 1 || match > MatchCount()) return {};
  return platform::Narrow(matches_[static_cast<size_t>(match - 1)].str());
}

std::string PatternMatcher::GroupText(int match, int group) const {
  if (match < 1 || match > MatchCount()) return {};
  const std::wsmatch& m = matches_[static_cast<size_t>(match - 1)];
  if (group < 1 || static_cast<size_t>(group) >= m.size() || !m[static_cast<size_t>(group)].matched) return {};
  return platform::Narrow(m[static_cast<size_t>(group)].str());
}

std::string PatternMatcher::ReplaceAll(std::string_view replacement) const {
  if (!valid_) return platform::Narrow(subject_);
  try {
    return platform::Narrow(std::regex_replace(subject_, regex_, platform::Widen(replacement)));
  } catch (const std::regex_error&) {
    return platform::Narrow(subject_);
  }
}

}  // namespace jihe::chat
