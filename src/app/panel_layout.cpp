#include "app/panel_layout.h"

#include <algorithm>

namespace jihe::app {

Size ClientOfFrame(Size frame) {
  return {frame.width - 2 * kFrameBorder, frame.height - kFrameBar - 2 * kFrameBorder};
}

Size FrameOfClient(Size client) {
  return {client.width + 2 * kFrameBorder, client.height + kFrameBar + 2 * kFrameBorder};
}

PanelLayout LayoutPanel(Size frame) {
  const int w = frame.width;
  const int h = frame.height;
  PanelLayout l;
  l.topTabs = {kTopTabsDesign.left, kTopTabsDesign.top, w - 5, h - 38};
  l.strip = {kStripDesign.left, kStripDesign.top, w - 12, h - 85};
  l.searchBox = {kSearchBoxDesign.left, kSearchBoxDesign.top, w - 12, kSearchBoxDesign.height};
  const int below = l.searchBox.top + l.searchBox.height + kSearchBoxGap - kStripDesign.top;
  l.groupStrip = {l.strip.left, l.strip.top + below, l.strip.width, l.strip.height - below};
  l.pictureButton = {w - 35, kPictureButtonDesign.top + below, kPictureButtonDesign.width,
                     kPictureButtonDesign.height};
  // W / 2 - 50 with the half kept as a fraction, truncated toward zero at the end.
  const int dragLeft = static_cast<int>(w / 2.0 - 50.0);
  l.dragButton = {dragLeft, h - 100, kDragButtonDesign.width, kDragButtonDesign.height};
  l.listLeft = kStripDesign.left;
  l.listWidth = w - 12;
  l.listColumnWidth = w - 15;
  return l;
}

Rect ListInStrip(const Rect& strip, const Rect& displayArea, const PanelLayout& layout) {
  const Rect inner{displayArea.left + 1, displayArea.top + 1, displayArea.width - 2, displayArea.height - 2};
  return {layout.listLeft, strip.top + inner.top + 5, layout.listWidth, inner.height - 4};
}

Size ClampFrame(Size frame, Size screenFrame) {
  const int maxW = std::max(kDesignWidth, screenFrame.width);
  const int maxH = std::max(kDesignHeight, screenFrame.height);
  return {std::clamp(frame.width, kDesignWidth, maxW), std::clamp(frame.height, kDesignHeight, maxH)};
}

}  // namespace jihe::app
