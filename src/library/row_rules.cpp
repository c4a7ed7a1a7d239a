#include "library/row_rules.h"

#include <algorithm>

#include "chat/pattern_matcher.h"
#include "library/library.h"
#include "library/phrase_variables.h"
#include "storage/text_split.h"

namespace jihe::library {

namespace {

// Length of the UTF-8 sequence that starts at s[i] (1 for a stray byte).
size_t CharLength(std::string_view s, size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  return std::min(n, s.size() - i);
}

}  // namespace

RowParts SplitRowForEdit(std::string_view rowText) {
  const size_t first = rowText.find(kRemarkSeparator);
  if (first == std::string_view::npos) return {"", std::string(rowText)};
  return {std::string(rowText.substr(0, first)), std::string(ContentOf(rowText))};
}

std::string BuildRowText(std::string_view remark, std::string_view content) {
  if (remark.empty()) return std::string(content);
  return std::string(remark) + std::string(kRemarkSeparator) + std::string(content);
}

size_t GbkWidth(std::string_view text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size(); i += CharLength(text, i))
    width += static_cast<unsigned char>(text[i]) < 0x80 ? 1 : 2;
  return width;
}

std::string PreviewBalloonText(std::string_view rowText) { return PreviewBalloon(rowText).text; }

BalloonText PreviewBalloon(std::string_view rowText) {
  const std::string content = storage::ReplaceAll(ContentOf(rowText), "\r\n", "");
  const std::vector<Variable> variables = FindVariables(content);
  BalloonText out;
  out.text.reserve(content.size() + content.size() / 6);
  auto variable = variables.begin();
  int inLine = 0;
  for (size_t i = 0; i < content.size();) {
    if (variable != variables.end() && i == variable->at) out.variables.emplace_back(out.text.size(), 0);
    const size_t n = CharLength(content, i);
    out.text.append(content, i, n);
    i += n;
    const bool inVariable = variable != variables.end() && i > variable->at;
    if (inVariable && i == variable->at + variable->length) {
      out.variables.back().second = out.text.size();
      ++variable;
    }
    if (++inLine == 12) {
      if (variable != variables.end() && i > variable->at) {  // the break splits it
        out.variables.back().second = out.text.size();
        out.text += "\r\n";
        out.variables.emplace_back(out.text.size(), 0);
      } else {
        out.text += "\r\n";
      }
      inLine = 0;
    }
  }
  return out;
}

std::string DragLabelText(std::string_view rowText) { return " " + std::string(rowText); }

int DragLabelWidth(std::string_view labelText) { return static_cast<int>(GbkWidth(labelText)) * 7; }

std::optional<size_t> MoveRow(std::vector<std::string>& rows, int from, int to) {
  if (rows.size() < 2 || from == to || from < 0 || static_cast<size_t>(from) >= rows.size()) return std::nullopt;
  if (to < 0 || static_cast<size_t>(to) >= rows.size()) to = static_cast<int>(rows.size()) - 1;
  if (from == to) return static_cast<size_t>(to);
  std::string moving = std::move(rows[static_cast<size_t>(from)]);
  rows.erase(rows.begin() + from);
  rows.insert(rows.begin() + to, std::move(moving));
  return static_cast<size_t>(to);
}

std::string ChooserItemText(std::string_view name, size_t index) {
  return std::string(name) + std::string(19, ' ') + "--" + std::to_string(index);
}

std::optional<size_t> ChooserItemIndex(std::string_view itemText) {
  const size_t at = itemText.rfind("--");
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view digits = itemText.substr(at + 2);
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  return static_cast<size_t>(std::stoul(std::string(digits)));
}

std::string PictureToken(std::string_view fileName) { return "[img=" + std::string(fileName) + "img]"; }

std::string FileNameOf(std::string_view path) {
  const size_t at = path.find_last_of("\\/");
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string AppendPictureToken(std::string_view content, std::string_view fileName) {
  if (content.empty()) return PictureToken(fileName);
  return std::string(content) + "\r\n" + PictureToken(fileName);
}

std::optional<std::string> FindFileToken(std::string_view content) {
  chat::PatternMatcher m;
  if (!m.CreateMatcher(kFileTokenPattern, content) || m.MatchCount() == 0) return std::nullopt;
  return m.MatchText(1);
}

std::string ApplyFileChoice(std::string_view content, const std::optional<std::string>& existingToken,
                            const std::optional<std::string>& chosenPath) {
  const std::string token = chosenPath ? "《" + *chosenPath + "》" : std::string();
  if (existingToken) return storage::ReplaceAll(content, *existingToken, token);
  return std::string(content) + token;
}

bool IsWebAddress(std::string_view content) {
  return content.find("http") != std::string_view::npos || content.find("www") != std::string_view::npos;
}

bool IsLocalPath(std::string_view content) {
  chat::PatternMatcher m;
  return m.CreateMatcher(".:\\\\", content) && m.MatchCount() != 0;
}

LaunchKind LaunchKindOf(std::string_view content) {
  if (content.empty()) return LaunchKind::None;
  if (IsWebAddress(content)) return LaunchKind::Address;
  if (IsLocalPath(content)) return LaunchKind::Path;
  return LaunchKind::None;
}

}  // namespace jihe::library
