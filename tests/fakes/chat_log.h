#pragma once
// The log that the test chat program (tools/chat_window) writes: one line per event, its kind first,
// then tab-separated fields. A field "name=value" has \r, \n, \t and \\ escaped; a field without
// "=" is the event's value (a click's "x,y").
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace jihe::testing {

struct ChatLogEntry {
  std::string kind;  // "ready", "paste", "enter", "click"
  std::string value;
  std::map<std::string, std::string> fields;
  // The field's text; empty when the line has no such field.
  std::string Field(const std::string& name) const;
};

// Every complete line of `text`; a last line still being written is left for the next read.
std::vector<ChatLogEntry> ParseChatLog(std::string_view text);

}  // namespace jihe::testing
