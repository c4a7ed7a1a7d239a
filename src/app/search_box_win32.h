#pragma once
// The search box of a library page: an edit control that asks for English input while it has the
// focus (see search_input_mode.h), searches what the agent is still composing with an input
// method, and leaves every key to the input method while a composition is open, so the Enter that
// commits it does not also send.
#include <windows.h>

#include <functional>
#include <string>

#include "app/search_input_mode.h"
#include "platform/input_method.h"
#include "settings/options.h"

namespace jihe::app {

class SearchBox {
 public:
  SearchBox(platform::InputMethod& method, const settings::Options& options)
      : method_(method), mode_(method, options) {}
  SearchBox(const SearchBox&) = delete;
  SearchBox& operator=(const SearchBox&) = delete;

  // Takes over the edit control's input method messages.
  void Attach(HWND box);
  HWND hwnd() const { return box_; }

  // The text to search: the box's text with the composition where it will be committed.
  std::string Query() const;
  // A composition is open and holds something: an input method that dropped its composition
  // without a word leaves the box's keys to the box again.
  bool Composing() const;

  // Down, Up, Enter, Shift+Enter and Esc pressed in the box, taken before they reach it; none while
  // a composition is open. Enter and Esc give the agent's input mode back first.
  bool PreTranslateKey(const MSG& msg);

  std::function<void()>
      onQueryChanged;  // the composition changed; the box's own EN_CHANGE is apart
  std::function<void(int step)> onMove;
  std::function<void(bool shift)> onEnter;
  std::function<void()> onEscape;

 private:
  static LRESULT CALLBACK Hook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self);
  LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void QueryChanged() {
    if (onQueryChanged) onQueryChanged();
  }

  platform::InputMethod& method_;
  SearchInputMode mode_;
  HWND box_ = nullptr;
  bool composing_ = false;
  bool committed_ = false;  // this composition committed text, which arrives as characters
};

}  // namespace jihe::app
