#include "platform/clipboard_win32.h"

#include <cstring>

#include "chat/rich_content.h"
#include "platform/file_system.h"
#include "platform/picture_win32.h"
#include "platform/utf16.h"
#include "platform/window_win32.h"

namespace jihe::platform {

namespace {

struct GlobalTraits {
  using Type = HGLOBAL;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { GlobalFree(h); }
};
using UniqueGlobal = UniqueHandle<GlobalTraits>;

constexpr wchar_t kOwnerClass[] = L"JiheClipboardOwner";

// One message-only window per thread that writes to the clipboard; it lives as long as the thread.
class OwnerWindow {
 public:
  OwnerWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kOwnerClass;
    RegisterClassW(&wc);  // fails harmlessly when another thread registered it
    hwnd_ = CreateWindowExW(0, kOwnerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
  ~OwnerWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

HWND ClipboardOwner() {
  thread_local OwnerWindow owner;
  return owner.hwnd();
}

UINT Registered(const wchar_t* name) {
  return RegisterClipboardFormatW(name);
}

}  // namespace

UINT HtmlFormat() { return Registered(L"HTML Format"); }
UINT QQRichEditFormat() { return Registered(L"QQ_Unicode_RichEdit_Format"); }
UINT PngFormat() { return Registered(L"PNG"); }
UINT PreferredDropEffectFormat() { return Registered(L"Preferred DropEffect"); }

ClipboardSession::ClipboardSession() {
  const HWND owner = ClipboardOwner();
  for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
    if (attempt > 0) Sleep(10);
    open_ = OpenClipboard(owner) != FALSE;
  }
  if (open_) EmptyClipboard();
}

ClipboardSession::~ClipboardSession() {
  if (open_) CloseClipboard();
}

bool ClipboardSession::Put(UINT format, const void* data, size_t size) {
  if (!open_ || format == 0) return false;
  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size == 0 ? 1 : size));
  if (!block) return false;
  void* p = GlobalLock(block.get());
  if (!p) return false;
  if (size) std::memcpy(p, data, size);
  GlobalUnlock(block.get());
  if (!SetClipboardData(format, block.get())) return false;
  block.release();  // the clipboard's now
  return true;
}

bool ClipboardSession::PutText(std::wstring_view text) {
  std::wstring z(text);
  return Put(CF_UNICODETEXT, z.c_str(), (z.size() + 1) * sizeof(wchar_t));
}

bool Win32Clipboard::PutText(std::string_view text) {
  ClipboardSession session;
  return session.PutText(Widen(text));
}

namespace {

bool PutFiles(ClipboardSession& session, const std::vector<std::string>& paths) {
  if (paths.empty()) return false;
  const std::vector<std::uint8_t> block = FileDropBlock(paths);
  const DWORD copy = 1;  // DROPEFFECT_COPY
  return session.Put(CF_HDROP, block.data(), block.size()) &&
         session.Put(PreferredDropEffectFormat(), &copy, sizeof copy);
}

bool PutBitmap(ClipboardSession& session, const DecodedPicture& picture) {
  const std::vector<std::uint8_t> dib = DibOf(picture);
  return session.Put(CF_DIB, dib.data(), dib.size());
}

}  // namespace

bool Win32Clipboard::PutFileList(std::string_view paths) {
  ClipboardSession session;
  const std::vector<std::string> list = SplitFileList(paths);
  return list.empty() ? session.open() : PutFiles(session, list);
}

bool Win32Clipboard::PutPicture(std::string_view fileBytes) {
  const std::optional<DecodedPicture> picture = DecodePicture(fileBytes);
  ClipboardSession session;  // emptied even when the picture does not decode
  return picture ? PutBitmap(session, *picture) : session.open();
}

bool Win32Clipboard::PutRichContent(std::string_view htmlFragment) {
  const std::vector<chat::RichPiece> pieces = chat::ParseFragment(htmlFragment);
  const std::optional<std::string> single = chat::SinglePicturePath(pieces);
  const std::string html = chat::CfHtml(chat::FragmentHtml(pieces));
  const std::string qq = chat::QQRichEditOf(pieces);
  const std::string text = chat::PlainTextOf(pieces);

  // Decode before opening, so the clipboard is held only for the copying.
  std::optional<DecodedPicture> picture;
  std::optional<std::string> pictureFile;
  if (single) {
    pictureFile = ReadWholeFile(*single);
    if (pictureFile) picture = DecodePicture(*pictureFile);
  }

  ClipboardSession session;
  bool ok = session.Put(HtmlFormat(), html.c_str(), html.size() + 1);
  ok = session.Put(QQRichEditFormat(), qq.c_str(), qq.size() + 1) && ok;
  // A picture alone carries no text: an empty text would let a program paste nothing instead.
  if (!single || !text.empty()) ok = session.PutText(Widen(text)) && ok;
  if (single) {
    if (picture) {
      ok = PutBitmap(session, *picture) && ok;
      const std::optional<std::string> png = IsPngFile(*pictureFile) ? pictureFile : EncodePng(*picture);
      if (png) ok = session.Put(PngFormat(), png->data(), png->size()) && ok;
    }
    ok = PutFiles(session, {*single}) && ok;
  }
  return ok;
}

}  // namespace jihe::platform
