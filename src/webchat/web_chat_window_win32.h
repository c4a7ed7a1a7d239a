#pragma once
// The web chat window "58同城": the 58 service's web chat in the system web browser control, in
// a window of its own that the follow loop recognises by its title and docks the panel beside.
#include <windows.h>

namespace jihe::webchat {

inline constexpr wchar_t kWebChatWindowClass[] = L"JiheWebChatWindow";
inline constexpr char kWebChatTitle[] = "58同城";
// Shown in place of the page where the system has no web browser engine.
inline constexpr char kNoWebViewNotice[] = "此电脑上的网页浏览组件不可用，无法显示58同城的网页。";

// Opens the web chat window, not modal and without owner, at the 58 login page; opening it while
// it is open brings the open one to the front. Closing it (close box or Esc) destroys it with its
// page and login, so the next opening starts over at the login page. Call on the UI thread.
void OpenWebChatWindow();

// Closes the web chat window if it is open. The program calls it when it ends, before it shuts
// OLE down.
void CloseWebChatWindow();

// The open web chat window, or null.
HWND WebChatWindow();

}  // namespace jihe::webchat
