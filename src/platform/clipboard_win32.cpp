#include "platform/clipboard_win32.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

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
// What a write puts there is offered by delayed rendering: the window keeps the bytes and hands
// each format over when a program asks for it, so it learns who reads the content and when.
class OwnerWindow {
 public:
  OwnerWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kOwnerClass;
    RegisterClassW(&wc);  // fails harmlessly when another thread registered it
    hwnd_ = CreateWindowExW(0, kOwnerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~OwnerWindow() {
    if (hwnd_) DestroyWindow(hwnd_);  // renders what is still offered, for the programs after us
  }
  HWND hwnd() const { return hwnd_; }

  void Offer(UINT format, const void* data, size_t size) {
    offered_[format].assign(static_cast<const char*>(data), size);
  }

  // What a send writes is held until its paste is asked for; then it is handed to whoever asks,
  // and reads count.
  void HoldUntilPaste() { held_ = true; }
  void PasteAsked() { held_ = false; }

  // Renders every format still only offered, while what is offered is still on the clipboard.
  void HandOver() {
    if (offered_.empty() || !OpenClipboard(hwnd_)) return;
    if (GetClipboardOwner() == hwnd_) {
      for (const auto& [format, bytes] : offered_) {
        if (!rendered_.contains(format)) Render(format);
      }
      offered_.clear();  // nothing is asked of us any more
    }
    CloseClipboard();
  }

  // Whether a window of the process of `reader` has asked for what is offered and has closed the
  // clipboard again.
  bool ReadBy(HWND reader) {
    DWORD process = 0;
    if (!reader || !GetWindowThreadProcessId(reader, &process) || process == 0) return false;
    for (Reader& r : readers_) {
      if (r.process != process) continue;
      if (!r.done && GetOpenClipboardWindow() != r.window) r.done = true;
      return r.done;
    }
    return false;
  }

 private:
  struct Reader {
    DWORD process;
    HWND window;  // the window that had the clipboard open when it first asked
    bool done = false;
  };

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
      case WM_RENDERFORMAT:
        // Asked before the paste (a chat program looking at every copy, a clipboard manager): that
        // is no paste, and what it was handed would stay on the clipboard as plain data, so the
        // paste's own read would never reach us. It gets nothing, and the format stays offered.
        if (self->held_) return 0;
        self->NoteReader();
        self->Render(static_cast<UINT>(wp));
        return 0;
      case WM_RENDERALLFORMATS:
        // The window is going: what is still offered stays on the clipboard as plain data.
        if (OpenClipboard(hwnd)) {
          if (GetClipboardOwner() == hwnd) {
            for (const auto& [format, bytes] : self->offered_) self->Render(format);
          }
          CloseClipboard();
        }
        return 0;
      case WM_DESTROYCLIPBOARD:
        self->offered_.clear();
        self->rendered_.clear();
        self->readers_.clear();
        self->held_ = false;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

  void NoteReader() {
    const HWND window = GetOpenClipboardWindow();
    DWORD process = 0;
    if (!window || !GetWindowThreadProcessId(window, &process)) return;
    for (const Reader& r : readers_) {
      if (r.process == process) return;
    }
    readers_.push_back({process, window});
  }

  void Render(UINT format) {
    const auto it = offered_.find(format);
    if (it == offered_.end()) return;
    const std::string& bytes = it->second;
    UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.empty() ? 1 : bytes.size()));
    if (!block) return;
    void* p = GlobalLock(block.get());
    if (!p) return;
    std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block.get());
    if (!SetClipboardData(format, block.get())) return;
    block.release();  // the clipboard's now
    rendered_.insert(format);
  }

  HWND hwnd_ = nullptr;
  std::map<UINT, std::string> offered_;
  std::set<UINT> rendered_;  // of those, the ones on the clipboard as data already
  std::vector<Reader> readers_;  // since the last write was handed out
  bool held_ = false;
};

OwnerWindow& Owner() {
  thread_local OwnerWindow owner;
  return owner;
}

HWND ClipboardOwner() { return Owner().hwnd(); }

UINT Registered(const wchar_t* name) {
  return RegisterClipboardFormatW(name);
}

}  // namespace

UINT HtmlFormat() { return Registered(L"HTML Format"); }
UINT QQRichEditFormat() { return Registered(L"QQ_Unicode_RichEdit_Format"); }
UINT PngFormat() { return Registered(L"PNG"); }
UINT PreferredDropEffectFormat() { return Registered(L"Preferred DropEffect"); }
UINT ExcludeFromMonitorFormat() { return Registered(L"ExcludeClipboardContentFromMonitorProcessing"); }
UINT CanIncludeInHistoryFormat() { return Registered(L"CanIncludeInClipboardHistory"); }
UINT CanUploadToCloudFormat() { return Registered(L"CanUploadToCloudClipboard"); }

void MarkTransient(ClipboardSession& session) {
  const DWORD no = 0;
  session.PutNow(ExcludeFromMonitorFormat(), &no, sizeof no);
  session.PutNow(CanIncludeInHistoryFormat(), &no, sizeof no);
  session.PutNow(CanUploadToCloudFormat(), &no, sizeof no);
}

ClipboardSession::ClipboardSession(Purpose purpose) {
  const HWND owner = ClipboardOwner();
  for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
    if (attempt > 0) Sleep(10);
    open_ = OpenClipboard(owner) != FALSE;
  }
  if (open_ && purpose == Write) EmptyClipboard();
}

ClipboardSession::~ClipboardSession() {
  if (open_) CloseClipboard();
}

bool ClipboardSession::Put(UINT format, const void* data, size_t size) {
  if (!open_ || format == 0) return false;
  // Offered, not handed over: a delayed format's SetClipboardData answers NULL either way, so the
  // clipboard is asked whether it took the format.
  Owner().Offer(format, data, size);
  SetClipboardData(format, nullptr);
  return IsClipboardFormatAvailable(format) != FALSE;
}

bool ClipboardSession::PutNow(UINT format, const void* data, size_t size) {
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

namespace {

// A session for a piece of a send: what it offers waits for the piece's paste.
class SendSession : public ClipboardSession {
 public:
  SendSession() { Owner().HoldUntilPaste(); }
};

}  // namespace

bool Win32Clipboard::PutText(std::string_view text) {
  SendSession session;
  MarkTransient(session);
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
  SendSession session;
  const std::vector<std::string> list = SplitFileList(paths);
  if (!list.empty()) MarkTransient(session);
  return list.empty() ? session.open() : PutFiles(session, list);
}

bool Win32Clipboard::PutPicture(std::string_view fileBytes) {
  const std::optional<DecodedPicture> picture = DecodePicture(fileBytes);
  SendSession session;  // emptied even when the picture does not decode
  if (picture) MarkTransient(session);
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

  SendSession session;
  MarkTransient(session);
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

namespace {

// Formats whose data is a handle of another kind than memory (a palette, a metafile picture that
// holds a metafile handle, owner-drawn and private formats): there are no bytes to keep.
bool IsHandleFormat(UINT format) {
  switch (format) {
    case CF_METAFILEPICT:
    case CF_PALETTE:
    case CF_OWNERDISPLAY:
    case CF_DSPBITMAP:
    case CF_DSPMETAFILEPICT:
    case CF_DSPENHMETAFILE:
      return true;
    default:
      return format >= CF_PRIVATEFIRST && format <= CF_GDIOBJLAST;
  }
}

std::optional<std::string> GlobalBytes(HANDLE handle) {
  if (!handle) return std::nullopt;
  const SIZE_T size = GlobalSize(handle);
  if (size == 0) return std::nullopt;
  const void* p = GlobalLock(handle);
  if (!p) return std::nullopt;
  std::string bytes(static_cast<const char*>(p), size);
  GlobalUnlock(handle);
  return bytes;
}

// A device-dependent bitmap as a 32-bit packed DIB, which the clipboard takes as memory.
std::optional<std::string> DibOfBitmap(HBITMAP bitmap) {
  BITMAP bm{};
  if (!bitmap || !GetObjectW(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return std::nullopt;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = bm.bmWidth;
  header.biHeight = bm.bmHeight;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  std::string dib(sizeof header + static_cast<size_t>(bm.bmWidth) * 4 * static_cast<size_t>(bm.bmHeight), '\0');
  std::memcpy(dib.data(), &header, sizeof header);
  HDC screen = GetDC(nullptr);
  const int lines = GetDIBits(screen, bitmap, 0, static_cast<UINT>(bm.bmHeight), dib.data() + sizeof header,
                              reinterpret_cast<BITMAPINFO*>(dib.data()), DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (lines <= 0) return std::nullopt;
  return dib;
}

std::optional<std::string> EnhMetaFileBytes(HENHMETAFILE metafile) {
  const UINT size = metafile ? GetEnhMetaFileBits(metafile, 0, nullptr) : 0;
  if (size == 0) return std::nullopt;
  std::string bytes(size, '\0');
  if (GetEnhMetaFileBits(metafile, size, reinterpret_cast<BYTE*>(bytes.data())) != size) return std::nullopt;
  return bytes;
}

}  // namespace

std::optional<ClipboardSnapshot> Win32Clipboard::Save() {
  ClipboardSession session(ClipboardSession::Read);
  if (!session.open()) return std::nullopt;
  std::vector<UINT> formats;
  for (UINT f = EnumClipboardFormats(0); f != 0; f = EnumClipboardFormats(f)) formats.push_back(f);
  const auto has = [&](UINT f) { return std::find(formats.begin(), formats.end(), f) != formats.end(); };
  const bool hasDib = has(CF_DIB);
  // Forms the system makes again from another one are not asked for: asking makes the owner
  // render them, which after a large copy costs time and memory on every send.
  const auto synthesized = [&](UINT f) {
    return ((f == CF_TEXT || f == CF_OEMTEXT) && has(CF_UNICODETEXT)) || (f == CF_DIBV5 && hasDib) ||
           (f == CF_METAFILEPICT && has(CF_ENHMETAFILE));
  };
  // A clipboard larger than this is not kept at all (a partial one would come back as something
  // the agent never copied); the send then leaves its phrase there, as it always did.
  constexpr size_t kMaxKeptBytes = 64u << 20;
  size_t total = 0;

  ClipboardSnapshot snapshot;
  for (UINT format : formats) {
    if (synthesized(format)) continue;
    UINT id = format;
    std::optional<std::string> bytes;
    if (format == CF_BITMAP) {
      if (hasDib) continue;  // the same picture, which the system makes a bitmap of again
      id = CF_DIB;
      bytes = DibOfBitmap(static_cast<HBITMAP>(GetClipboardData(format)));
    } else if (format == CF_ENHMETAFILE) {
      bytes = EnhMetaFileBytes(static_cast<HENHMETAFILE>(GetClipboardData(format)));
    } else if (!IsHandleFormat(format)) {
      bytes = GlobalBytes(GetClipboardData(format));
    }
    if (!bytes) continue;  // what cannot be copied is given up, the send goes on
    total += bytes->size();
    if (total > kMaxKeptBytes) return std::nullopt;
    std::string name;
    if (format >= 0xC000) {
      wchar_t buffer[256];
      const int length = GetClipboardFormatNameW(format, buffer, static_cast<int>(std::size(buffer)));
      if (length <= 0) continue;
      name = Narrow(std::wstring_view(buffer, static_cast<size_t>(length)));
    }
    snapshot.formats.push_back({id, std::move(name), std::move(*bytes)});
  }
  return snapshot;
}

Clipboard::RestoreResult Win32Clipboard::Restore(const ClipboardSnapshot& snapshot, std::uint32_t ours) {
  ClipboardSession session(ClipboardSession::Read);
  if (!session.open()) return RestoreResult::Failed;
  // Now that nobody else can write, one more look: a copy made since our last write is kept.
  if (GetClipboardSequenceNumber() != ours) return RestoreResult::NewerCopyKept;
  EmptyClipboard();
  bool ok = true;
  for (const ClipboardSnapshot::Format& format : snapshot.formats) {
    const UINT id = format.name.empty() ? format.id : RegisterClipboardFormatW(Widen(format.name).c_str());
    if (id == CF_ENHMETAFILE) {
      HENHMETAFILE metafile =
          SetEnhMetaFileBits(static_cast<UINT>(format.bytes.size()), reinterpret_cast<const BYTE*>(format.bytes.data()));
      if (metafile && SetClipboardData(CF_ENHMETAFILE, metafile)) continue;  // the clipboard's now
      if (metafile) DeleteEnhMetaFile(metafile);
      ok = false;
    } else {
      ok = session.PutNow(id, format.bytes.data(), format.bytes.size()) && ok;
    }
  }
  // The agent's own content is already in their history; putting it back is no new copy.
  MarkTransient(session);
  return ok ? RestoreResult::Restored : RestoreResult::Failed;
}

std::optional<std::string> Win32Clipboard::Text() {
  ClipboardSession session(ClipboardSession::Read);
  if (!session.open()) return std::nullopt;
  // The system makes the Unicode form of a text that was copied only as ANSI text.
  const std::optional<std::string> bytes = GlobalBytes(GetClipboardData(CF_UNICODETEXT));
  if (!bytes) return std::nullopt;
  std::wstring_view wide(reinterpret_cast<const wchar_t*>(bytes->data()), bytes->size() / sizeof(wchar_t));
  if (const size_t end = wide.find(L'\0'); end != std::wstring_view::npos) wide = wide.substr(0, end);
  return Narrow(wide);
}

std::uint32_t Win32Clipboard::SequenceNumber() { return GetClipboardSequenceNumber(); }

void Win32Clipboard::ExpectPaste(std::uintptr_t) { Owner().PasteAsked(); }

bool Win32Clipboard::WasRead(std::uintptr_t reader) { return Owner().ReadBy(reinterpret_cast<HWND>(reader)); }

void Win32Clipboard::HandOver() { Owner().HandOver(); }

}  // namespace jihe::platform
