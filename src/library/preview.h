#pragma once
// What the preview window shows: the editor's content turned into HTML by the three marker
// replacements, and that HTML read back into runs that the window draws itself (text with its
// line breaks and simple inline markup, and pictures from the img folder).
#include <string>
#include <string_view>
#include <vector>

namespace jihe::library {

// The preview's HTML: "[img=" becomes an image element whose source is the file of that name in
// `imgFolder` (given with its final separator), "img]" closes it, and CR LF becomes "<BR>". All
// three ignore letter case; nothing else is converted or escaped, so markup the agent typed stays
// markup.
std::string PreviewHtml(std::string_view content, std::string_view imgFolder);

struct TextStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool operator==(const TextStyle&) const = default;
};

enum class RunKind { Text, LineBreak, Picture };

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
// "<IMG src=...>", and "<b>", "<strong>", "<i>", "<em>", "<u>" with their end tags. Any other
// markup is shown as the text it is. Runs of white space show as one blank, none at a line's start;
// the common character references (&amp; &lt; &gt; &quot; &apos; &nbsp; &#N; &#xN;) are decoded.
// A picture is read only from a plain file name directly inside `imgFolder`: a source that climbs
// out of it ("..\"), names a sub-folder or another place keeps an empty picturePath.
std::vector<PreviewRun> ParsePreviewHtml(std::string_view html, std::string_view imgFolder);

// Both steps: the runs the preview shows for the editor's content.
std::vector<PreviewRun> PreviewRuns(std::string_view content, std::string_view imgFolder);

}  // namespace jihe::library
