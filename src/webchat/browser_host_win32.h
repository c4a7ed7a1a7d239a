#pragma once
// The system web browser control (IWebBrowser2) embedded in a window of ours through a small OLE
// container: client site, in-place site and frame in one object.
#include <windows.h>

#include <exdisp.h>
#include <oleidl.h>
#include <wrl/client.h>

#include <string>
#include <string_view>

namespace jihe::webchat {

class BrowserSite;

// Asks the browser control to use the document mode of its newest engine for this executable
// (FEATURE_BROWSER_EMULATION under HKEY_CURRENT_USER). Without it the control shows pages as an
// old engine would. Takes effect for controls created afterwards in a new process, and at once
// when written before the first control of this process. False when the value could not be written.
bool RequestNewestDocumentMode();

// The value name used for that request: this executable's file name, as the control looks it up.
std::wstring ExecutableFileName();

// True when the system can show web pages at all: the control's HTML engine can be created. A
// system without it (Wine without its web engine) still creates the browser object, which then
// stays blank.
bool WebEngineAvailable();

class BrowserHost {
 public:
  BrowserHost() = default;
  ~BrowserHost();
  BrowserHost(const BrowserHost&) = delete;
  BrowserHost& operator=(const BrowserHost&) = delete;

  // Embeds the control in `parent` at `rect` (client coordinates) and starts loading `address`.
  // False, with nothing left behind, when the control cannot be created.
  bool Create(HWND parent, const RECT& rect, std::string_view address);
  bool created() const { return browser_ != nullptr; }
  void SetRect(const RECT& rect);
  // Lets the page handle a keyboard message first (Tab, Ctrl+C and Ctrl+V in its input boxes...);
  // true when it did, and the message must not be dispatched.
  bool PreTranslateKey(MSG* msg);
  void Focus();
  // Ends the page and releases the control; the window stays.
  void Destroy();

 private:
  BrowserSite* site_ = nullptr;  // one reference of ours
  Microsoft::WRL::ComPtr<IOleObject> object_;
  Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
};

}  // namespace jihe::webchat
