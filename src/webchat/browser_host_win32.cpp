#include "webchat/browser_host_win32.h"

#include <oleauto.h>

#include "platform/utf16.h"

namespace jihe::webchat {

using Microsoft::WRL::ComPtr;

namespace {

// The HTML document of the browser control's engine (MSHTML's "htmlfile").
constexpr CLSID kHtmlDocumentClsid = {
    0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

// Internet Explorer 11 in its edge mode, whatever the page's DOCTYPE says.
constexpr DWORD kNewestDocumentMode = 11001;

constexpr wchar_t kBrowserEmulationKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";

class BstrOwner {
 public:
  explicit BstrOwner(const std::wstring& text) : bstr_(SysAllocString(text.c_str())) {}
  ~BstrOwner() { SysFreeString(bstr_); }
  BstrOwner(const BstrOwner&) = delete;
  BstrOwner& operator=(const BstrOwner&) = delete;
  BSTR get() const { return bstr_; }

 private:
  BSTR bstr_;
};

}  // namespace

// The container side of the embedding. The control holds references to it, so it is reference
// counted and outlives BrowserHost::Destroy until the control lets go.
class BrowserSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  BrowserSite(HWND window, const RECT& rect) : window_(window), rect_(rect) {}

  void SetRect(const RECT& rect) { rect_ = rect; }
  const RECT& rect() const { return rect_; }
  IOleInPlaceActiveObject* activeObject() const { return activeObject_.Get(); }
  void Detach() {
    activeObject_.Reset();
    window_ = nullptr;
  }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
      *out = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
      *out = static_cast<IOleInPlaceFrame*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and the frame)
  STDMETHODIMP GetWindow(HWND* out) override {
    if (!out) return E_POINTER;
    *out = window_;
    return window_ ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return window_ ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    *position = rect_;
    *clip = rect_;
    info->fMDIApp = FALSE;
    info->hwndFrame = window_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override {
    activeObject_.Reset();
    return S_OK;
  }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }  // the window decides the size

  // IOleInPlaceUIWindow
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
    activeObject_ = object;
    return S_OK;
  }

  // IOleInPlaceFrame
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  ~BrowserSite() = default;

  LONG refs_ = 1;
  HWND window_;
  RECT rect_;
  ComPtr<IOleInPlaceActiveObject> activeObject_;
};

std::wstring ExecutableFileName() {
  wchar_t path[MAX_PATH * 4] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  std::wstring full(path, length);
  const size_t slash = full.find_last_of(L"\\/");
  return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

bool RequestNewestDocumentMode() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kBrowserEmulationKey, 0, nullptr, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const std::wstring name = ExecutableFileName();
  DWORD current = 0, size = sizeof current, type = 0;
  bool ok = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&current),
                             &size) == ERROR_SUCCESS &&
            type == REG_DWORD && current == kNewestDocumentMode;
  if (!ok) {
    ok = RegSetValueExW(key, name.c_str(), 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&kNewestDocumentMode),
                        sizeof kNewestDocumentMode) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return ok;
}

bool WebEngineAvailable() {
  ComPtr<IUnknown> document;
  return SUCCEEDED(
      CoCreateInstance(kHtmlDocumentClsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&document)));
}

BrowserHost::~BrowserHost() { Destroy(); }

bool BrowserHost::Create(HWND parent, const RECT& rect, std::string_view address) {
  Destroy();
  if (!WebEngineAvailable()) return false;
  site_ = new BrowserSite(parent, rect);
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&object_))) ||
      FAILED(object_->SetClientSite(static_cast<IOleClientSite*>(site_)))) {
    Destroy();
    return false;
  }
  OleSetContainedObject(object_.Get(), TRUE);
  RECT position = rect;
  if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_),
                             0, parent, &position)) ||
      FAILED(object_.As(&browser_))) {
    Destroy();
    return false;
  }
  SetRect(rect);
  browser_->put_Silent(VARIANT_TRUE);  // a page's script error must not stop the agent with a box
  BstrOwner url(platform::Widen(address));
  VARIANT empty;
  VariantInit(&empty);
  if (FAILED(browser_->Navigate(url.get(), &empty, &empty, &empty, &empty))) {
    Destroy();
    return false;
  }
  return true;
}

void BrowserHost::SetRect(const RECT& rect) {
  if (site_) site_->SetRect(rect);
  ComPtr<IOleInPlaceObject> inPlace;
  if (object_ && SUCCEEDED(object_.As(&inPlace))) inPlace->SetObjectRects(&rect, &rect);
}

bool BrowserHost::PreTranslateKey(MSG* msg) {
  if (!site_ || !site_->activeObject()) return false;
  return site_->activeObject()->TranslateAccelerator(msg) == S_OK;
}

void BrowserHost::Focus() {
  if (!object_ || !site_) return;
  HWND window = nullptr;
  site_->GetWindow(&window);
  RECT rect = site_->rect();
  object_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(site_), 0, window,
                  &rect);
}

void BrowserHost::Destroy() {
  if (browser_) browser_->Stop();
  browser_.Reset();
  if (object_) {
    ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(object_.As(&inPlace))) inPlace->InPlaceDeactivate();
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_.Reset();
  }
  if (site_) {
    site_->Detach();
    site_->Release();
    site_ = nullptr;
  }
}

}  // namespace jihe::webchat
