#include "library/phrase_variables.h"

#include <array>
#include <cstdio>

namespace jihe::library {

namespace {

constexpr std::string_view kOpenAscii = "{";
constexpr std::string_view kOpenWide = "｛";
constexpr std::string_view kCloseAscii = "}";
constexpr std::string_view kCloseWide = "｝";
// A value's place in the filled text: a start mark, the value's number, an end mark. Both marks
// are Unicode noncharacters, which no chat program or phrase has a use for; one that a phrase does
// hold becomes a value of its own, so it comes out unchanged.
constexpr std::string_view kMarkStart = "\xEF\xB7\x90";  // U+FDD0
constexpr std::string_view kMarkEnd = "\xEF\xB7\x91";    // U+FDD1

size_t OpenerAt(std::string_view text, size_t at) {
  if (text.compare(at, kOpenAscii.size(), kOpenAscii) == 0) return kOpenAscii.size();
  if (text.compare(at, kOpenWide.size(), kOpenWide) == 0) return kOpenWide.size();
  return 0;
}

size_t CloserAt(std::string_view text, size_t at) {
  if (text.compare(at, kCloseAscii.size(), kCloseAscii) == 0) return kCloseAscii.size();
  if (text.compare(at, kCloseWide.size(), kCloseWide) == 0) return kCloseWide.size();
  return 0;
}

std::optional<Variable> VariableOfName(std::string_view name) {
  static constexpr std::pair<std::string_view, VariableKind> kNames[] = {
      {"剪贴板", VariableKind::Clipboard}, {"对方", VariableKind::Customer}, {"日期", VariableKind::Date},
      {"时间", VariableKind::Time},        {"星期", VariableKind::Weekday},
  };
  for (const auto& [n, kind] : kNames) {
    if (name == n) return Variable{kind, 0, 0, {}};
  }
  for (std::string_view input : {std::string_view("输入:"), std::string_view("输入：")}) {
    if (name.size() > input.size() && name.substr(0, input.size()) == input) {
      return Variable{VariableKind::Input, 0, 0, std::string(name.substr(input.size()))};
    }
  }
  return std::nullopt;
}

std::string Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

// The program joins the parts with a dash beside a space ("张三 - 阿里旺旺", "阿里旺旺 -张三"); a dash
// between two other characters belongs to a name ("tb-赵六").
std::vector<std::string> SplitAtDashes(std::string_view title) {
  std::vector<std::string> parts;
  size_t at = 0;
  for (size_t i = 0; i < title.size(); ++i) {
    if (title[i] != '-') continue;
    if ((i == 0 || title[i - 1] != ' ') && (i + 1 == title.size() || title[i + 1] != ' ')) continue;
    parts.push_back(Trimmed(title.substr(at, i - at)));
    at = i + 1;
  }
  parts.push_back(Trimmed(title.substr(at)));
  return parts;
}

bool IsProgramName(std::string_view title) {
  static constexpr std::string_view kNames[] = {"微信", "WeChat", "QQ", "TIM", "阿里旺旺", "千牛",
                                                "千牛工作台", "接待中心", "陌陌", "58同城"};
  for (std::string_view n : kNames) {
    if (title == n) return true;
  }
  return false;
}

bool StartsIgnoringCase(std::string_view text, size_t at, std::string_view part) {
  if (text.size() - at < part.size()) return false;
  for (size_t k = 0; k < part.size(); ++k) {
    char c = text[at + k];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != part[k]) return false;
  }
  return true;
}

// Where braces are no variable: inside a picture token ("[img=" ... "img]") and inside a markup
// tag ("<" and a letter, "/" or "!" ... ">"). A value there would name the picture to send or
// become part of the markup; and the preview's colour cannot go inside a tag.
std::vector<std::pair<size_t, size_t>> ProtectedSpans(std::string_view text) {
  std::vector<std::pair<size_t, size_t>> spans;
  for (size_t at = 0; at < text.size(); ++at) {
    size_t end = std::string_view::npos;
    if (StartsIgnoringCase(text, at, "[img=")) {
      end = text.size();
      for (size_t i = at + 5; i < text.size(); ++i) {
        if (StartsIgnoringCase(text, i, "img]")) {
          end = i + 4;
          break;
        }
      }
    } else if (text[at] == '<' && at + 1 < text.size() &&
               (((text[at + 1] | 0x20) >= 'a' && (text[at + 1] | 0x20) <= 'z') || text[at + 1] == '/' ||
                text[at + 1] == '!')) {
      // Without its ">" it is no tag: the preview shows it as text, and so it is filled.
      const size_t close = text.find('>', at);
      if (close != std::string_view::npos) end = close + 1;
    }
    if (end != std::string_view::npos) {
      spans.emplace_back(at, end);
      at = end - 1;
    }
  }
  return spans;
}

}  // namespace

const VariableChoice kVariableChoices[6] = {
    {"剪贴板里的文字 {剪贴板}", "{剪贴板}"}, {"对方的名字 {对方}", "{对方}"},
    {"今天的日期 {日期}", "{日期}"},         {"现在的时间 {时间}", "{时间}"},
    {"今天星期几 {星期}", "{星期}"},         {"发送时填写 {输入:提示}", "{输入:提示}"},
};

std::vector<Variable> FindVariables(std::string_view text) {
  std::vector<Variable> found;
  if (text.find_first_of("{\xEF") == std::string_view::npos) return found;  // no brace of either width
  const std::vector<std::pair<size_t, size_t>> protectedSpans = ProtectedSpans(text);
  auto span = protectedSpans.begin();
  for (size_t at = 0; at < text.size();) {
    while (span != protectedSpans.end() && span->second <= at) ++span;
    if (span != protectedSpans.end() && span->first <= at) {
      at = span->second;
      continue;
    }
    const size_t open = OpenerAt(text, at);
    if (open == 0) {
      ++at;
      continue;
    }
    // The name runs to the nearest closing brace; another opening brace or a line break first
    // means these braces name nothing.
    std::optional<Variable> variable;
    for (size_t i = at + open; i < text.size(); ++i) {
      if (OpenerAt(text, i) != 0 || text[i] == '\r' || text[i] == '\n') break;
      if (const size_t close = CloserAt(text, i)) {
        variable = VariableOfName(text.substr(at + open, i - at - open));
        if (variable) {
          variable->at = at;
          variable->length = i + close - at;
        }
        break;
      }
    }
    if (variable) {
      at += variable->length;
      found.push_back(std::move(*variable));
    } else {
      at += open;
    }
  }
  return found;
}

template <typename Emit>
std::string FilledPhrase::Replaced(std::string_view piece, Emit emit) const {
  std::string out;
  size_t at = 0;
  for (size_t hit; (hit = piece.find(kMarkStart, at)) != std::string_view::npos;) {
    const size_t numberAt = hit + kMarkStart.size();
    const size_t end = piece.find(kMarkEnd, numberAt);
    size_t index = 0;
    bool valid = end != std::string_view::npos && end > numberAt;
    for (size_t i = numberAt; valid && i < end; ++i) {
      valid = piece[i] >= '0' && piece[i] <= '9';
      index = index * 10 + static_cast<size_t>(piece[i] - '0');
    }
    if (!valid || index >= values_.size()) {  // never made by FillVariables: leave it be
      out.append(piece.substr(at, numberAt - at));
      at = numberAt;
      continue;
    }
    out.append(piece.substr(at, hit - at));
    emit(out, values_[index]);
    at = end + kMarkEnd.size();
  }
  out.append(piece.substr(at));
  return out;
}

std::string FilledPhrase::Plain(std::string_view piece) const {
  if (values_.empty()) return std::string(piece);
  return Replaced(piece, [](std::string& out, const std::string& value) { out += value; });
}

std::string FilledPhrase::Html(std::string_view piece) const {
  if (values_.empty()) return std::string(piece);
  return Replaced(piece, [](std::string& out, const std::string& value) {
    for (size_t i = 0; i < value.size(); ++i) {
      switch (value[i]) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\r':
          if (i + 1 < value.size() && value[i + 1] == '\n') ++i;
          out += "<BR>";
          break;
        case '\n': out += "<BR>"; break;
        default: out.push_back(value[i]);
      }
    }
  });
}

bool FilledPhrase::HoldsValue(std::string_view piece) const {
  return !values_.empty() && piece.find(kMarkStart) != std::string_view::npos;
}

FillResult FillVariables(std::string_view content, VariableSource& source) {
  const std::vector<Variable> variables = FindVariables(content);
  const bool holdsMarks = content.find(kMarkStart) != std::string_view::npos ||
                          content.find(kMarkEnd) != std::string_view::npos;
  if (variables.empty() && !holdsMarks) return {FillOutcome::Filled, FilledPhrase(std::string(content), {})};

  std::optional<std::string> clipboard;
  for (const Variable& v : variables) {
    if (v.kind != VariableKind::Clipboard) continue;
    clipboard = source.ClipboardText();
    if (!clipboard || clipboard->empty()) return {FillOutcome::NoClipboardText, {}};
    break;
  }
  std::vector<std::pair<std::string, std::string>> answers;  // prompt, value
  for (const Variable& v : variables) {
    if (v.kind != VariableKind::Input) continue;
    bool asked = false;
    for (const auto& [prompt, value] : answers) asked = asked || prompt == v.prompt;
    if (asked) continue;
    std::optional<std::string> value = source.Ask(v.prompt);
    if (!value) return {FillOutcome::Canceled, {}};
    answers.emplace_back(v.prompt, std::move(*value));
  }
  std::optional<platform::LocalTime> now;
  const auto time = [&] {
    if (!now) now = source.Now();
    return *now;
  };

  std::string text;
  std::vector<std::string> values;
  const auto place = [&](std::string value) {
    text += kMarkStart;
    text += std::to_string(values.size());
    text += kMarkEnd;
    values.push_back(std::move(value));
  };
  size_t at = 0;
  const auto copyLiteral = [&](size_t to) {
    while (at < to) {
      const bool start = content.compare(at, kMarkStart.size(), kMarkStart) == 0;
      if (start || content.compare(at, kMarkEnd.size(), kMarkEnd) == 0) {
        place(std::string(start ? kMarkStart : kMarkEnd));
        at += kMarkStart.size();
      } else {
        text.push_back(content[at++]);
      }
    }
  };
  for (const Variable& v : variables) {
    copyLiteral(v.at);
    switch (v.kind) {
      case VariableKind::Clipboard: place(*clipboard); break;
      case VariableKind::Customer: place(CustomerOfTitle(source.ChatTitle(), source.ChatClass())); break;
      case VariableKind::Date: place(DateText(time())); break;
      case VariableKind::Time: place(TimeText(time())); break;
      case VariableKind::Weekday: place(WeekdayText(time())); break;
      case VariableKind::Input:
        for (const auto& [prompt, value] : answers) {
          if (prompt == v.prompt) {
            place(value);
            break;
          }
        }
        break;
    }
    at = v.at + v.length;
  }
  copyLiteral(content.size());
  return {FillOutcome::Filled, FilledPhrase(std::move(text), std::move(values))};
}

// The titles the chat programs give their chat windows, as met on agents' desks:
// - QQ / TIM ("TXGuiFoundation"), WeChat ("ChatWnd") and Momo ("Chrome_WidgetWin_1"): the title is
//   the contact's name alone ("张三"); the main windows are titled with the program's name ("QQ",
//   "微信", "陌陌").
// - Aliwangwang / Qianniu ("StandardFrame"): the name and the program joined by " - ", either way
//   round: "张三 - 阿里旺旺 - 与张三交谈中", "阿里旺旺 - 张三", "张三 - 接待中心", "千牛接待中心 - 张三".
//   The first part that is neither "阿里旺旺" nor holds "接待中心" is the name; "接待中心" alone
//   has none. A name that itself holds " - " keeps only what stands before it; "tb-赵六" is one name.
// - The 58 web chat window is "58同城" and names nobody.
// A title that is only a program's name gives no name at all, rather than the program's.
std::string CustomerOfTitle(std::string_view title, std::string_view className) {
  const std::string whole = Trimmed(title);
  if (IsProgramName(whole)) return {};
  if (className != "StandardFrame") return whole;
  for (const std::string& part : SplitAtDashes(whole)) {
    if (part.empty() || IsProgramName(part) || part.find("接待中心") != std::string::npos) continue;
    return part;
  }
  return {};
}

std::string DateText(const platform::LocalTime& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.year, t.month, t.day);
  return buffer;
}

std::string TimeText(const platform::LocalTime& t) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d", t.hour, t.minute);
  return buffer;
}

std::string WeekdayText(const platform::LocalTime& t) {
  // Sakamoto's rule: 0 is Sunday.
  static constexpr int kMonthOffset[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  static constexpr std::array<std::string_view, 7> kNames = {"星期日", "星期一", "星期二", "星期三",
                                                             "星期四", "星期五", "星期六"};
  if (t.month < 1 || t.month > 12) return {};
  const int y = t.year - (t.month < 3 ? 1 : 0);
  const int day = (y + y / 4 - y / 100 + y / 400 + kMonthOffset[t.month - 1] + t.day) % 7;
  return std::string(kNames[static_cast<size_t>((day + 7) % 7)]);
}

}  // namespace jihe::library
