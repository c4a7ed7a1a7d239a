#pragma once
// What the preview window shows: the editor's content turned into HTML by the three marker
// replacements, and that HTML read back into runs that the window draws itself (text with its
// line breaks and formatting, rules, and pictures from the img folder).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jihe::library {

// The preview's HTML: "[img=" becomes an image element whose source is the file of that name in
// `imgFolder` (given with its final separator), "img]" closes it, and CR LF becomes "<BR>". All
// three ignore letter case; nothing else is converted or escaped, so markup the agent typed stays
// markup.
std::string PreviewHtml(std::string_view content, std::string_view imgFolder);

// The page's text at 96 DPI: 16 pixels, as a browser's "medium" and <font size=3>.
inline constexpr int kDefaultTextPixels = 16;

struct TextStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  uint32_t colour = 0x000000;       // 0xRRGGBB
  int pixels = kDefaultTextPixels;  // the font's size at 96 DPI
  std::string faces = {};           // font families in order of preference, comma-separated;
                                    // empty for the page's own face
  bool operator==(const TextStyle&) const = default;
};

enum class RunKind { Text, LineBreak, Picture, Rule };

struct PreviewRun {
  RunKind kind = RunKind::Text;
  std::string text;         // Text: what to draw, white space already collapsed
  TextStyle style;          // Text
  std::string source;       // Picture: the element's src as written
  std::string picturePath;  // Picture: the file to show; empty when the source names no file
                            // directly inside the img folder, which then shows as a missing picture
  bool operator==(const PreviewRun&) const = default;
};

// Reads the preview's HTML as a browser would show it, within what a phrase can hold: text, "<BR>",
// "<IMG src=...>", "<HR>", blocks (<p>, <div>, headings, list items) on lines of their own, and the
// inline formatting of <b> <strong> <i> <em> <u> <s> <strike> <a> <font color size face> and the
// style attribute (color, font-size, font-weight, font-style, font-family, text-decoration).
// Other tags, comments, and the contents of <script>, <style> and <title> are hidden; a "<" that
// starts no tag is text. Runs of white space show as one blank, none at a line's start; character
// references are decoded, and an unknown one stays as it was typed.
// A picture is read only from a plain file name directly inside `imgFolder`: a source that climbs
// out of it ("..\"), names a sub-folder or another place keeps an empty picturePath.
std::vector<PreviewRun> ParsePreviewHtml(std::string_view html, std::string_view imgFolder);

// A name that stays inside the folder it is joined to: no separator, drive colon or control
// character, and not only dots and blanks ("", ".", ".." name the folder or its parent). Dots
// inside a name ("a..b.png") are an ordinary file name.
bool IsPlainFileName(std::string_view name);

// The colour a variable's name ("{对方}") is shown in.
inline constexpr uint32_t kVariableColour = 0xD35400;

// Both steps: the runs the preview shows for the editor's content, each variable as its name in
// kVariableColour.
std::vector<PreviewRun> PreviewRuns(std::string_view content, std::string_view imgFolder);

}  // namespace jihe::library
