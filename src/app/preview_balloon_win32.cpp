#include "app/preview_balloon_win32.h"

#include <commctrl.h>

#include "library/preview.h"
#include "platform/utf16.h"

namespace jihe::app {

using platform::Widen;

namespace {

constexpr UINT_PTR kBalloonHideTimer = 0x4C42;  // on the balloon's own window
constexpr UINT kBalloonShowMs = 5000;
constexpr int kBalloonMaxWidth = 600;

void CALLBACK HideBalloonTimer(HWND balloon, UINT, UINT_PTR id, DWORD) {
  KillTimer(balloon, id);
  SendMessageW(balloon, TTM_TRACKACTIVATE, FALSE, 0);
}

}  // namespace

void PreviewBalloonView::Create(HWND panel) {
  panel_ = panel;
  balloon_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, panel, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = panel;
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(balloon_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(balloon_, TTM_SETMAXTIPWIDTH, 0, kBalloonMaxWidth);  // lines break only where the text says
}

bool PreviewBalloonView::OnNotify(const NMHDR& hdr, LRESULT& result) const {
  if (!balloon_ || hdr.hwndFrom != balloon_ || hdr.code != NM_CUSTOMDRAW) return false;
  result = PaintVariables(*reinterpret_cast<NMTTCUSTOMDRAW*>(const_cast<NMHDR*>(&hdr)));
  return true;
}

void PreviewBalloonView::Show(std::string_view row) {
  shown_ = library::PreviewBalloon(row);
  if (shown_.text.empty()) return;
  std::wstring wide = Widen(shown_.text);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = panel_;
  tool.lpszText = wide.data();
  SendMessageW(balloon_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  POINT pt{};
  GetCursorPos(&pt);
  shownAt_ = pt;
  SendMessageW(balloon_, TTM_TRACKPOSITION, 0, MAKELPARAM(pt.x + 20, pt.y));
  SendMessageW(balloon_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  SetTimer(balloon_, kBalloonHideTimer, kBalloonShowMs, HideBalloonTimer);
}


void PreviewBalloonView::Hide() {
  if (!balloon_) return;
  KillTimer(balloon_, kBalloonHideTimer);
  SendMessageW(balloon_, TTM_TRACKACTIVATE, FALSE, 0);
}


// The balloon's variables in the preview's colour for them: once the balloon has drawn its text,
// each variable is drawn again over its own place. Where the balloon put its text is worked out
// from its size: the text block sits between equal margins left and right, and above or below
// the stem, which points at the spot the balloon was shown for.
LRESULT PreviewBalloonView::PaintVariables(NMTTCUSTOMDRAW& draw) const {
  if (shown_.variables.empty() || (draw.uDrawFlags & DT_CALCRECT)) return CDRF_DODEFAULT;
  if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYPOSTPAINT;
  if (draw.nmcd.dwDrawStage != CDDS_POSTPAINT) return CDRF_DODEFAULT;
  HDC dc = draw.nmcd.hdc;
  const std::wstring all = Widen(shown_.text);
  RECT block{0, 0, kBalloonMaxWidth, 0};
  DrawTextW(dc, all.c_str(), static_cast<int>(all.size()), &block, draw.uDrawFlags | DT_CALCRECT);
  RECT client{}, window{}, margin{};
  GetClientRect(balloon_, &client);
  GetWindowRect(balloon_, &window);
  SendMessageW(balloon_, TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
  const int side = (client.right - block.right - margin.left - margin.right) / 2;
  const bool stemAbove = window.top >= shownAt_.y;
  const int left = margin.left + side;
  const int top = stemAbove ? client.bottom - margin.bottom - side - block.bottom : margin.top + side;

  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int lineHeight = metrics.tmHeight + ((draw.uDrawFlags & DT_EXTERNALLEADING) ? metrics.tmExternalLeading : 0);
  constexpr uint32_t c = library::kVariableColour;
  SetTextColor(dc, RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
  SetBkColor(dc, static_cast<COLORREF>(SendMessageW(balloon_, TTM_GETTIPBKCOLOR, 0, 0)));
  SetBkMode(dc, OPAQUE);
  const std::string_view text = shown_.text;
  for (const auto& [begin, end] : shown_.variables) {
    // The line the variable is on, and the text before it on that line.
    int line = 0;
    size_t lineStart = 0;
    for (size_t at; (at = text.find("\r\n", lineStart)) != std::string_view::npos && at < begin; lineStart = at + 2) ++line;
    const std::wstring before = Widen(text.substr(lineStart, begin - lineStart));
    const std::wstring piece = Widen(text.substr(begin, end - begin));
    SIZE offset{};
    GetTextExtentPoint32W(dc, before.c_str(), static_cast<int>(before.size()), &offset);
    TextOutW(dc, left + offset.cx, top + line * lineHeight, piece.c_str(), static_cast<int>(piece.size()));
  }
  return CDRF_DODEFAULT;
}

}  // namespace jihe::app
