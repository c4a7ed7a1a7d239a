#include "fakes/chat_log.h"

namespace jihe::testing {
namespace {

std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[++i];
      out.push_back(c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c);
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

}  // namespace

std::string ChatLogEntry::Field(const std::string& name) const {
  const auto it = fields.find(name);
  return it == fields.end() ? std::string() : it->second;
}

std::vector<ChatLogEntry> ParseChatLog(std::string_view text) {
  std::vector<ChatLogEntry> entries;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
    const std::string_view line = text.substr(start, end - start);
    ChatLogEntry entry;
    for (size_t at = 0, tab = 0; at <= line.size(); at = tab + 1) {
      tab = line.find('\t', at);
      if (tab == std::string_view::npos) tab = line.size();
      const std::string_view field = line.substr(at, tab - at);
      const size_t eq = field.find('=');
      if (at == 0) entry.kind = field;
      else if (eq == std::string_view::npos) entry.value = field;
      else entry.fields[std::string(field.substr(0, eq))] = Unescape(field.substr(eq + 1));
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace jihe::testing
