#pragma once
// Geometry of the Main panel, in design pixels (96 DPI).
//
// The panel's layout rules were drawn for a skinned frame: one 20-pixel bar holding both the title
// and the menu, with 1-pixel borders. We use the system's frame, whose caption, menu bar and borders
// are taller and vary with the theme and the DPI, so every size here is a "frame size": the client
// area plus that skinned frame. The real window is then made as large as the system needs for that
// client area, and nothing is cut off whatever the frame looks like.
namespace jihe::app {

inline constexpr int kFrameBorder = 1;
inline constexpr int kFrameBar = 20;
inline constexpr int kDesignWidth = 279;
inline constexpr int kDesignHeight = 463;

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

Size ClientOfFrame(Size frame);
Size FrameOfClient(Size client);

// Design positions of the controls that the layout does not move.
inline constexpr Rect kTopTabsDesign{0, 2, 268, 418};         // the page tabs
inline constexpr Rect kStripDesign{4, 43, 260, 363};          // a group strip or the tools tab, on a page
inline constexpr Rect kPictureButtonDesign{241, 41, 23, 23};  // the group menu button of a library page
inline constexpr Rect kDragButtonDesign{88, 350, 96, 32};     // "退出拖放模式" of a library page
// A library page's search box sits just below the page tabs' headers, in the room above the group
// strip; the strip and its menu button move down as far as the box needs beyond that room.
inline constexpr Rect kSearchBoxDesign{4, 27, 0, 22};  // its width follows the list's
inline constexpr int kSearchBoxGap = 2;

struct PanelLayout {
  Rect topTabs;        // the page tabs, in the panel's client area
  Rect strip;          // a group strip or the tools tab, inside the page tabs
  Rect pictureButton;  // the group menu button, inside the page tabs, on the group strip's headers
  Rect dragButton;     // "退出拖放模式", inside the page tabs
  Rect searchBox;      // a library page's search box, inside the page tabs
  Rect groupStrip;     // a library page's group strip, below its search box
  int listLeft = 0;
  int listWidth = 0;
  int listColumnWidth = 0;
};

// The panel layout for a panel of frame size `frame`.
PanelLayout LayoutPanel(Size frame);

// A group list lies 5 pixels below the top of its strip's page area (the strip's display area
// below the tab headers, shrunk by 1 pixel on every side) and is 4 pixels shorter than that area.
// `displayArea` (from the tab control, before the 1-pixel shrink) is in the strip's own coordinates; the result is in the strip's parent's.
Rect ListInStrip(const Rect& strip, const Rect& displayArea, const PanelLayout& layout);

// The size limits of the panel: never below the design size, never beyond the screen.
Size ClampFrame(Size frame, Size screenFrame);

}  // namespace jihe::app
