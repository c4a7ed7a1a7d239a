#pragma once
// The rules for one row: its parts, the preview balloon's text, the drag label's width, the
// editors' tokens and the quick command's kind.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jihe::library {

struct RowParts {
  std::string remark;   // before the first "┃"; empty without one
  std::string content;  // after the last "┃"; the whole text without one
  bool operator==(const RowParts&) const = default;
};

// How an editor splits a row it opens.
RowParts SplitRowForEdit(std::string_view rowText);
// What an editor stores: "remark┃content", or the content alone for an empty remark.
std::string BuildRowText(std::string_view remark, std::string_view content);

// Width of a text as the ANSI code page counts it: one per ASCII character, two per other.
size_t GbkWidth(std::string_view text);

// The preview balloon's text for a row: the content without CR LF pairs, in lines of 12
// characters, each full line ended by CR LF.
std::string PreviewBalloonText(std::string_view rowText);
// The same text with where each variable ("{对方}") lies in it, [begin, end) in bytes, so the
// balloon can show them set apart; a variable that a line break splits has a span on each side.
struct BalloonText {
  std::string text;
  std::vector<std::pair<size_t, size_t>> variables;
};
BalloonText PreviewBalloon(std::string_view rowText);

// The drag label shows the dragged row with one blank before it, 7 pixels per byte wide.
std::string DragLabelText(std::string_view rowText);
int DragLabelWidth(std::string_view labelText);

// Moves row `from` so that it ends at index `to` (-1: the last row). Returns the index that is
// selected afterwards, or nothing when nothing moved (fewer than two rows, no row to move, the
// same row).
std::optional<size_t> MoveRow(std::vector<std::string>& rows, int from, int to);

// The group chooser of the editors: name, 19 blanks, "--", index.
std::string ChooserItemText(std::string_view name, size_t index);
std::optional<size_t> ChooserItemIndex(std::string_view itemText);

// Pictures and files inside a phrase.
std::string PictureToken(std::string_view fileName);
// The file name of a chosen path: the text after its last "\" (or "/").
std::string FileNameOf(std::string_view path);
// A new picture goes on a line of its own at the end of the content.
std::string AppendPictureToken(std::string_view content, std::string_view fileName);

inline constexpr char kFileTokenPattern[] = "《\\w:.*?\\.[a-zA-Z]{3}》";
// The first file token of the content, when it holds one.
std::optional<std::string> FindFileToken(std::string_view content);
// The content after the file dialog: a found token is replaced everywhere by the new one (a
// canceled dialog removes it), otherwise the new token is appended.
std::string ApplyFileChoice(std::string_view content, const std::optional<std::string>& existingToken,
                            const std::optional<std::string>& chosenPath);

// Quick commands.
bool IsWebAddress(std::string_view content);  // holds "http" or "www", letter case as it is
bool IsLocalPath(std::string_view content);   // holds something like "C:\"
enum class LaunchKind { None, Address, Path };
LaunchKind LaunchKindOf(std::string_view content);

}  // namespace jihe::library
