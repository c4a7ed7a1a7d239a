#pragma once
// Variables in a phrase's content, filled in at the moment of the send: {剪贴板}, {对方}, {日期},
// {时间}, {星期} and {输入:提示}, in ASCII or full-width braces. A value is always plain text: it
// stands in the phrase as a marker while the send engine looks for file tokens, picture tokens and
// markup, and only the piece that goes on the clipboard gets the value itself.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace jihe::library {

inline constexpr std::string_view kNoClipboardTextMessage = "剪贴板里没有文字，{剪贴板} 无法填写";
// The title of the box that asks for the value of {输入:提示}.
inline constexpr std::string_view kAskValueTitle = "填写短语";

enum class VariableKind { Clipboard, Customer, Date, Time, Weekday, Input };

struct Variable {
  VariableKind kind;
  size_t at = 0;      // byte offset of the opening brace
  size_t length = 0;  // bytes up to and including the closing brace
  std::string prompt;  // Input: the question
  bool operator==(const Variable&) const = default;
};

// The variables of a text, in order. Braces that name none ("{括号}", "{输入:}") are not one.
std::vector<Variable> FindVariables(std::string_view text);

// The variables the editor's "插入变量" offers: the menu's caption and the text it inserts.
struct VariableChoice {
  std::string_view caption;
  std::string_view text;
};
extern const VariableChoice kVariableChoices[6];

// Where the values come from; each is asked for only when the phrase uses it.
class VariableSource {
 public:
  virtual ~VariableSource() = default;
  // The text on the agent's clipboard; nothing when it holds no text.
  virtual std::optional<std::string> ClipboardText() = 0;
  virtual std::string ChatTitle() = 0;
  virtual std::string ChatClass() = 0;
  virtual platform::LocalTime Now() = 0;
  // The agent's answer to the question, or nothing when they cancel.
  virtual std::optional<std::string> Ask(std::string_view prompt) = 0;
};

// A phrase with its values: the text holds one marker per value, which the pieces of the send
// exchange for the value as plain text or as escaped HTML.
class FilledPhrase {
 public:
  FilledPhrase() = default;
  FilledPhrase(std::string text, std::vector<std::string> values) : text_(std::move(text)), values_(std::move(values)) {}
  const std::string& text() const { return text_; }
  // The piece with each marker replaced by its value, as it stands.
  std::string Plain(std::string_view piece) const;
  // ... by its value escaped for HTML, line breaks as <BR>.
  std::string Html(std::string_view piece) const;
  bool HoldsValue(std::string_view piece) const;

 private:
  template <typename Emit>
  std::string Replaced(std::string_view piece, Emit emit) const;
  std::string text_;
  std::vector<std::string> values_;
};

enum class FillOutcome { Filled, NoClipboardText, Canceled };
struct FillResult {
  FillOutcome outcome = FillOutcome::Filled;
  FilledPhrase phrase;
};

// Fills the variables of a phrase's content. The clipboard is read before anything is asked, so
// an agent is never asked for values of a phrase that cannot go out; each distinct question is
// asked once, in the order of the phrase.
FillResult FillVariables(std::string_view content, VariableSource& source);

// The customer's name from a chat window's title: the title without what the chat program adds.
std::string CustomerOfTitle(std::string_view title, std::string_view className);
std::string DateText(const platform::LocalTime& t);     // 2026-12-09
std::string TimeText(const platform::LocalTime& t);     // 18:05
std::string WeekdayText(const platform::LocalTime& t);  // 星期三

}  // namespace jihe::library
