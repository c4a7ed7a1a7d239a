#include "app/search_box_win32.h"

#include <commctrl.h>
#include <imm.h>

#include "library/search_query.h"
#include "platform/desktop_win32.h"
#include "platform/window_win32.h"

namespace jihe::app {

void SearchBox::Attach(HWND box) {
  box_ = box;
  SetWindowSubclass(box_, &SearchBox::Hook, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK SearchBox::Hook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                 DWORD_PTR self) {
  return reinterpret_cast<SearchBox*>(self)->OnMessage(hwnd, msg, wp, lp);
}

LRESULT SearchBox::OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETFOCUS: {
      const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
      mode_.BoxFocused(platform::IdOf(hwnd));
      return r;
    }
    case WM_KILLFOCUS:
      mode_.GiveBack();
      break;
    case WM_IME_STARTCOMPOSITION:
      composing_ = true;
      committed_ = false;
      break;
    case WM_IME_COMPOSITION: {
      // Windows' edit control leaves the composition to the input method's own window and takes
      // the committed text as characters; so does this box. Wine's edit control would draw the
      // composition into the box's text, where the query would count it twice.
      const LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
      if (lp & GCS_RESULTSTR)
        committed_ = true;  // the box's EN_CHANGE follows with each committed character
      else
        QueryChanged();
      return r;
    }
    case WM_IME_ENDCOMPOSITION: {
      const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
      composing_ = false;
      if (!committed_) QueryChanged();  // cancelled: the query is the box's text again
      return r;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &SearchBox::Hook, 1);
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

bool SearchBox::Composing() const {
  return composing_ && !method_.Composition(platform::IdOf(box_)).empty();
}

std::string SearchBox::Query() const {
  const std::string text = platform::WindowTextUtf8(box_);
  if (!composing_) return text;
  DWORD start = 0, end = 0;
  SendMessageW(box_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return library::ComposedQuery(text, start, end, method_.Composition(platform::IdOf(box_)));
}

bool SearchBox::PreTranslateKey(const MSG& m) {
  // While composing, the keys are the input method's: Enter commits, Esc cancels, Up and Down
  // choose among its candidates.
  if (m.hwnd != box_ || m.message != WM_KEYDOWN || Composing()) return false;
  switch (m.wParam) {
    case VK_DOWN:
    case VK_UP:
      if (onMove) onMove(m.wParam == VK_DOWN ? 1 : -1);
      return true;
    case VK_RETURN:
      mode_.GiveBack();
      if (onEnter) onEnter((GetKeyState(VK_SHIFT) & 0x8000) != 0);
      return true;
    case VK_ESCAPE:
      mode_.GiveBack();
      if (onEscape) onEscape();
      return true;
  }
  return false;
}

}  // namespace jihe::app
