#include "library/preview_window_win32.h"

#include <algorithm>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "library/preview.h"
#include "library/preview_layout.h"
#include "library/preview_pictures_win32.h"
#include "platform/com_scope_win32.h"
#include "platform/utf16.h"
#include "platform/window_win32.h"

namespace jihe::library {
namespace {

using platform::Scale;

constexpr int kDesignWidth = 383;
constexpr int kDesignHeight = 326;
constexpr int kViewInset = 10;   // the view is this much smaller than the window
constexpr int kPageMargin = 8;   // around the content inside the view
constexpr int kLineGap = 4;      // between two lines of text
constexpr int kRuleHeight = 16;  // a rule's line with the room around it
constexpr COLORREF kPlaceholderColour = RGB(160, 160, 160);
// A rule is drawn as browsers draw it: a sunken line, dark above and light below.
constexpr COLORREF kRuleShadow = RGB(154, 154, 154);
constexpr COLORREF kRuleLight = RGB(238, 238, 238);

struct DcTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DeleteDC(h); }
};
using UniqueDc = platform::UniqueHandle<DcTraits>;

// Restores the previous object of a DC when it goes.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectGuard() { SelectObject(dc_, old_); }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

int CALLBACK NoteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FontInstalled(HDC dc, const std::wstring& name) {
  if (name.empty() || name.size() >= LF_FACESIZE) return false;
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(lf.lfFaceName, name.c_str(), LF_FACESIZE - 1);
  bool found = false;
  EnumFontFamiliesExW(dc, &lf, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

// A face that has Chinese characters, in the order a Chinese Windows offers them.
std::wstring PageFaceName() {
  static const std::wstring face = [] {
    HDC dc = GetDC(nullptr);
    std::wstring chosen;
    for (const wchar_t* name :
         {L"Microsoft YaHei", L"SimSun", L"NSimSun", L"WenQuanYi Micro Hei"}) {
      if (FontInstalled(dc, name)) {
        chosen = name;
        break;
      }
    }
    ReleaseDC(nullptr, dc);
    if (chosen.empty()) {
      NONCLIENTMETRICSW ncm{};
      ncm.cbSize = sizeof ncm;
      if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0))
        chosen = ncm.lfMessageFont.lfFaceName;
    }
    return chosen;
  }();
  return face;
}

// The page's fonts at one DPI, made as the text asks for them.
class PageFonts : public TextMeasure {
 public:
  explicit PageFonts(UINT dpi) : dpi_(dpi), dc_(CreateCompatibleDC(nullptr)) {}

  HFONT Font(const TextStyle& style) const { return Entry(style).font.get(); }

  int TextWidth(std::string_view utf8, const TextStyle& style) const override {
    const std::wstring text = platform::Widen(utf8);
    SelectGuard select(dc_.get(), Font(style));
    SIZE size{};
    GetTextExtentPoint32W(dc_.get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
  }
  int LineHeight(const TextStyle& style) const override {
    return Entry(style).height + Scale(kLineGap, dpi_);
  }
  int Descent(const TextStyle& style) const override { return Entry(style).descent; }
  // Where the text starts inside its line: below the gap between lines.
  int TextTop() const { return Scale(kLineGap, dpi_); }

 private:
  struct FontEntry {
    platform::UniqueFont font;
    int height = 0;
    int descent = 0;
  };
  using Key = std::tuple<bool, bool, bool, bool, int, std::string>;

  const FontEntry& Entry(const TextStyle& style) const {
    Key key{style.bold, style.italic, style.underline, style.strike, style.pixels, style.faces};
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    LOGFONTW lf{};
    lf.lfHeight = -Scale(style.pixels, dpi_);
    lf.lfWeight = style.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = style.italic;
    lf.lfUnderline = style.underline;
    lf.lfStrikeOut = style.strike;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    wcsncpy(lf.lfFaceName, FaceFor(style.faces).c_str(), LF_FACESIZE - 1);
    FontEntry entry;
    entry.font.reset(CreateFontIndirectW(&lf));
    SelectGuard select(dc_.get(), entry.font.get());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_.get(), &tm);
    entry.height = tm.tmHeight;
    entry.descent = tm.tmDescent;
    return fonts_.emplace(std::move(key), std::move(entry)).first->second;
  }

  // The first of the faces the markup names that this computer has, else the page's own.
  std::wstring FaceFor(const std::string& faces) const {
    size_t i = 0;
    while (i < faces.size()) {
      size_t end = faces.find(',', i);
      if (end == std::string::npos) end = faces.size();
      std::wstring face = platform::Widen(faces.substr(i, end - i));
      i = end + 1;
      for (wchar_t& c : face) c = towlower(c);
      if (face == L"sans-serif" || face == L"system-ui") return PageFaceName();
      if (face == L"serif" && FontInstalled(dc_.get(), L"SimSun")) return L"SimSun";
      if (face == L"monospace") face = L"Courier New";
      if (FontInstalled(dc_.get(), face)) return face;
    }
    return PageFaceName();
  }

  UINT dpi_;
  UniqueDc dc_;
  mutable std::map<Key, FontEntry> fonts_;
};

// The page: draws the laid-out runs and scrolls when they are taller than the view.
class PreviewView : public platform::Window {
 public:
  PreviewView(const std::vector<PreviewRun>& runs, PreviewPictures& pictures)
      : runs_(runs), pictures_(pictures) {}

  bool Create(HWND parent, UINT dpi) {
    dpi_ = dpi;
    fonts_ = std::make_unique<PageFonts>(dpi);
    RegisterWindowClass(kPreviewViewClass, nullptr, nullptr);
    return CreateWindowOf(0, kPreviewViewClass, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, 0, 0,
                          parent, nullptr) != nullptr;
  }

  void SetDpi(UINT dpi) {
    dpi_ = dpi;
    fonts_ = std::make_unique<PageFonts>(dpi);
    Relayout();
  }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
    switch (msg) {
      case WM_SIZE:
        Relayout();
        return 0;
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd(), &ps);
        Paint(dc);
        EndPaint(hwnd(), &ps);
        return 0;
      }
      case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wp));
        return 0;
      case WM_VSCROLL:
        OnScroll(LOWORD(wp));
        return 0;
      case WM_MOUSEWHEEL: {
        const int lines = GET_WHEEL_DELTA_WPARAM(wp) * 3 / WHEEL_DELTA;
        ScrollTo(scrollY_ - lines * fonts_->LineHeight(TextStyle{}));
        return 0;
      }
      case WM_LBUTTONDOWN:
        SetFocus(hwnd());
        return 0;
      case WM_KEYDOWN:
        OnKey(static_cast<UINT>(wp));
        return 0;
      case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    }
    return Default(msg, wp, lp);
  }

 private:
  PreviewLayout LayOut(int width) {
    PreviewLayoutOptions options;
    options.viewWidth = width;
    options.margin = Scale(kPageMargin, dpi_);
    options.placeholder = {Scale(28, dpi_), Scale(30, dpi_)};
    options.ruleHeight = Scale(kRuleHeight, dpi_);
    // Pictures grow with the DPI as the rest of the page does.
    auto sizeOf = [this](const std::string& path) -> std::optional<PixelSize> {
      auto size = pictures_.SizeOf(path);
      if (size) *size = {Scale(size->width, dpi_), Scale(size->height, dpi_)};
      return size;
    };
    return LayOutPreview(runs_, *fonts_, sizeOf, options);
  }

  int PageHeight() const {
    RECT rc{};
    GetClientRect(hwnd(), &rc);
    return rc.bottom;
  }

  void Relayout() {
    if (inLayout_ || !hwnd()) return;
    inLayout_ = true;
    RECT outer{};
    GetWindowRect(hwnd(), &outer);
    const int height = outer.bottom - outer.top;
    layout_ = LayOut(outer.right - outer.left);
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = layout_.contentHeight - 1;
    si.nPage = static_cast<UINT>(std::max(0, height));
    if (layout_.contentHeight > height) {
      // Taller than the view: the scroll bar takes its share of the width.
      si.nPos = scrollY_;
      SetScrollInfo(hwnd(), SB_VERT, &si, FALSE);
      RECT client{};
      GetClientRect(hwnd(), &client);
      layout_ = LayOut(client.right);
      si.nMax = layout_.contentHeight - 1;
    }
    scrollY_ = std::clamp(scrollY_, 0, std::max(0, layout_.contentHeight - height));
    si.nPos = scrollY_;
    SetScrollInfo(hwnd(), SB_VERT, &si, TRUE);
    inLayout_ = false;
    InvalidateRect(hwnd(), nullptr, FALSE);
  }

  void ScrollTo(int y) {
    const int limit = std::max(0, layout_.contentHeight - PageHeight());
    y = std::clamp(y, 0, limit);
    if (y == scrollY_) return;
    scrollY_ = y;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS;
    si.nPos = y;
    SetScrollInfo(hwnd(), SB_VERT, &si, TRUE);
    InvalidateRect(hwnd(), nullptr, FALSE);
  }

  void OnScroll(UINT code) {
    const int line = fonts_->LineHeight(TextStyle{});
    const int page = std::max(line, PageHeight() - line);
    switch (code) {
      case SB_LINEUP:
        ScrollTo(scrollY_ - line);
        break;
      case SB_LINEDOWN:
        ScrollTo(scrollY_ + line);
        break;
      case SB_PAGEUP:
        ScrollTo(scrollY_ - page);
        break;
      case SB_PAGEDOWN:
        ScrollTo(scrollY_ + page);
        break;
      case SB_TOP:
        ScrollTo(0);
        break;
      case SB_BOTTOM:
        ScrollTo(layout_.contentHeight);
        break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_TRACKPOS;
        GetScrollInfo(hwnd(), SB_VERT, &si);
        ScrollTo(si.nTrackPos);
        break;
      }
    }
  }

  void OnKey(UINT key) {
    switch (key) {
      case VK_ESCAPE:
        PostMessageW(GetParent(hwnd()), WM_CLOSE, 0, 0);
        break;
      case VK_UP:
        OnScroll(SB_LINEUP);
        break;
      case VK_DOWN:
        OnScroll(SB_LINEDOWN);
        break;
      case VK_PRIOR:
        OnScroll(SB_PAGEUP);
        break;
      case VK_NEXT:
      case VK_SPACE:
        OnScroll(SB_PAGEDOWN);
        break;
      case VK_HOME:
        OnScroll(SB_TOP);
        break;
      case VK_END:
        OnScroll(SB_BOTTOM);
        break;
    }
  }

  void Paint(HDC target) {
    RECT rc{};
    GetClientRect(hwnd(), &rc);
    if (rc.right <= 0 || rc.bottom <= 0) return;
    UniqueDc dc(CreateCompatibleDC(target));
    platform::UniqueHandle<platform::GdiTraits<HBITMAP>> buffer(
        CreateCompatibleBitmap(target, rc.right, rc.bottom));
    SelectGuard selectBuffer(dc.get(), buffer.get());
    FillRect(dc.get(), &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc.get(), TRANSPARENT);
    for (const PlacedItem& item : layout_.items) {
      const int y = item.y - scrollY_;
      if (y + item.height < 0 || y > rc.bottom) continue;
      switch (item.kind) {
        case ItemKind::Text: {
          SelectGuard font(dc.get(), fonts_->Font(item.style));
          const uint32_t rgb = item.style.colour;
          SetTextColor(dc.get(), RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
          const std::wstring text = platform::Widen(item.text);
          TextOutW(dc.get(), item.x, y + fonts_->TextTop(), text.c_str(),
                   static_cast<int>(text.size()));
          break;
        }
        case ItemKind::Picture:
          if (HBITMAP bitmap = pictures_.BitmapOf(item.picturePath, {item.width, item.height})) {
            UniqueDc source(CreateCompatibleDC(dc.get()));
            SelectGuard select(source.get(), bitmap);
            BitBlt(dc.get(), item.x, y, item.width, item.height, source.get(), 0, 0, SRCCOPY);
          } else {
            PaintPlaceholder(dc.get(), item.x, y, item.width, item.height);
          }
          break;
        case ItemKind::Placeholder:
          PaintPlaceholder(dc.get(), item.x, y, item.width, item.height);
          break;
        case ItemKind::Rule:
          PaintRule(dc.get(), item.x, y, item.width, item.height);
          break;
      }
    }
    BitBlt(target, 0, 0, rc.right, rc.bottom, dc.get(), 0, 0, SRCCOPY);
  }

  // A missing picture: a grey frame with a cross, where the picture would be.
  static void PaintPlaceholder(HDC dc, int x, int y, int width, int height) {
    platform::UniqueHandle<platform::GdiTraits<HPEN>> pen(
        CreatePen(PS_SOLID, 1, kPlaceholderColour));
    SelectGuard selectPen(dc, pen.get());
    SelectGuard selectBrush(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, x, y, x + width, y + height);
    const int inset = std::min(width, height) / 4;
    MoveToEx(dc, x + inset, y + inset, nullptr);
    LineTo(dc, x + width - inset, y + height - inset);
    MoveToEx(dc, x + width - inset - 1, y + inset, nullptr);
    LineTo(dc, x + inset - 1, y + height - inset);
  }

  void PaintRule(HDC dc, int x, int y, int width, int height) const {
    const int thickness = std::max(1, Scale(1, dpi_));
    const int middle = y + height / 2 - thickness;
    RECT shadow{x, middle, x + width, middle + thickness};
    RECT light{x, middle + thickness, x + width, middle + 2 * thickness};
    platform::UniqueBrush dark(CreateSolidBrush(kRuleShadow));
    platform::UniqueBrush bright(CreateSolidBrush(kRuleLight));
    FillRect(dc, &shadow, dark.get());
    FillRect(dc, &light, bright.get());
  }

  const std::vector<PreviewRun>& runs_;
  PreviewPictures& pictures_;
  UINT dpi_ = 96;
  std::unique_ptr<PageFonts> fonts_;
  PreviewLayout layout_;
  int scrollY_ = 0;
  bool inLayout_ = false;
};

class PreviewWindow : public platform::Window {
 public:
  explicit PreviewWindow(std::vector<PreviewRun> runs)
      : runs_(std::move(runs)), view_(runs_, pictures_) {}

  bool Create(HWND nearWindow) {
    const HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                                     IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    RegisterWindowClass(kPreviewWindowClass, icon, GetSysColorBrush(COLOR_BTNFACE));
    dpi_ = platform::DpiOf(nearWindow);
    const RECT area = WorkAreaNear(nearWindow);
    const int width = Scale(kDesignWidth, dpi_), height = Scale(kDesignHeight, dpi_);
    const int x = area.left + (area.right - area.left - width) / 2;
    const int y = area.top + (area.bottom - area.top - height) / 2;
    // Resizable, a close box and no minimise or maximise box.
    constexpr DWORD kStyle =
        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
    if (!CreateWindowOf(WS_EX_TOPMOST | WS_EX_APPWINDOW, kPreviewWindowClass, kPreviewTitle, kStyle,
                        x, y, width, height, nullptr, nullptr))
      return false;
    const UINT actualDpi = platform::DpiOf(hwnd());
    if (!view_.Create(hwnd(), actualDpi)) return false;
    if (actualDpi != dpi_) {
      dpi_ = actualDpi;
      const int w = Scale(kDesignWidth, dpi_), h = Scale(kDesignHeight, dpi_);
      SetWindowPos(hwnd(), nullptr, area.left + (area.right - area.left - w) / 2,
                   area.top + (area.bottom - area.top - h) / 2, w, h,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PlaceView();
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    SetFocus(view_.hwnd());
    return true;
  }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
    switch (msg) {
      case WM_SIZE:
        PlaceView();
        return 0;
      case WM_SETFOCUS:
        if (view_.hwnd()) SetFocus(view_.hwnd());
        return 0;
      case WM_KEYDOWN:
        if (wp == VK_ESCAPE) {
          PostMessageW(hwnd(), WM_CLOSE, 0, 0);
          return 0;
        }
        break;
      case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMinTrackSize = {Scale(120, dpi_), Scale(90, dpi_)};
        return 0;
      }
      case WM_DPICHANGED: {
        dpi_ = HIWORD(wp);
        const auto* suggested = reinterpret_cast<const RECT*>(lp);
        SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        view_.SetDpi(dpi_);
        PlaceView();
        return 0;
      }
    }
    return Default(msg, wp, lp);
  }

 private:
  static RECT WorkAreaNear(HWND window) {
    HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY)
                              : MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) return info.rcWork;
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }

  void PlaceView() {
    if (!view_.hwnd()) return;
    RECT outer{}, client{};
    GetWindowRect(hwnd(), &outer);
    GetClientRect(hwnd(), &client);
    const ChildRect r =
        InsetChildRect({outer.right - outer.left, outer.bottom - outer.top},
                       {client.right, client.bottom}, 0, 0, Scale(kViewInset, dpi_));
    MoveWindow(view_.hwnd(), r.x, r.y, r.width, r.height, TRUE);
  }

  std::vector<PreviewRun> runs_;
  PreviewPictures pictures_;
  PreviewView view_;
  UINT dpi_ = 96;
};

}  // namespace

void ShowPreview(HWND waitingWindow, const std::string& editorContent,
                 const storage::DataFolder& dataFolder) {
  platform::ComScope com;  // for WIC while the preview is open
  PreviewWindow window(PreviewRuns(editorContent, dataFolder.ImgFolder()));
  if (!window.Create(waitingWindow)) return;
  const bool disable = waitingWindow && IsWindowEnabled(waitingWindow);
  if (disable) EnableWindow(waitingWindow, FALSE);
  MSG msg;
  while (window.hwnd()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // the program's loop ends after us
      break;
    }
    if (got == -1) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (disable && IsWindow(waitingWindow)) {
    EnableWindow(waitingWindow, TRUE);
    SetForegroundWindow(waitingWindow);
  }
}

}  // namespace jihe::library
