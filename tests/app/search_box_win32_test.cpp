// The search box against Wine's real imm32: the mode of its input context while it has the focus
// and after, and a composition made through the input context as an input method would make it.
#include "app/search_box_win32.h"

#include <windows.h>

#include <imm.h>

#include <gtest/gtest.h>

#include "platform/input_method_win32.h"
#include "platform/window_win32.h"

namespace jihe::app {
namespace {

void Pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

MSG KeyDown(HWND to, WPARAM key) { return MSG{to, WM_KEYDOWN, key, 0, 0, {}}; }

class SearchBoxWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    frame_ = CreateWindowExW(0, L"STATIC", L"search box test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             100, 100, 300, 120, nullptr, nullptr, nullptr, nullptr);
    other_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 10, 200, 22, frame_,
                             nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 40, 200, 22, frame_,
                                nullptr, nullptr, nullptr);
    box_.Attach(edit);
    box_.onQueryChanged = [this] { queries_.push_back(box_.Query()); };
    box_.onEnter = [this](bool) { ++enters_; };
    box_.onEscape = [this] { ++escapes_; };
    SetForegroundWindow(frame_);
    SetFocus(other_);
    Pump();
  }
  void TearDown() override {
    DestroyWindow(frame_);
    Pump();
  }

  // The mode of the box's input context, which the windows of this thread share.
  std::pair<bool, DWORD> ModeOf(HWND window) {
    HIMC himc = ImmGetContext(window);
    EXPECT_NE(himc, nullptr);
    DWORD conversion = 0, sentence = 0;
    EXPECT_TRUE(ImmGetConversionStatus(himc, &conversion, &sentence));
    const bool open = ImmGetOpenStatus(himc) != FALSE;
    ImmReleaseContext(window, himc);
    return {open, conversion};
  }
  void SetChinese(HWND window) {
    HIMC himc = ImmGetContext(window);
    ASSERT_NE(himc, nullptr);
    ImmSetOpenStatus(himc, TRUE);
    ImmSetConversionStatus(himc, IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE, IME_SMODE_PHRASEPREDICT);
    ImmReleaseContext(window, himc);
  }
  void Compose(const wchar_t* text) {
    HIMC himc = ImmGetContext(box_.hwnd());
    ImmSetCompositionStringW(himc, SCS_SETSTR, const_cast<wchar_t*>(text),
                             static_cast<DWORD>(wcslen(text) * sizeof(wchar_t)), nullptr, 0);
    ImmReleaseContext(box_.hwnd(), himc);
    Pump();
  }
  void Finish(DWORD how) {
    HIMC himc = ImmGetContext(box_.hwnd());
    ImmNotifyIME(himc, NI_COMPOSITIONSTR, how, 0);
    ImmReleaseContext(box_.hwnd(), himc);
    Pump();
  }

  settings::Options options_;
  SearchBox box_{platform::SystemInputMethod(), options_};
  HWND frame_ = nullptr;
  HWND other_ = nullptr;
  std::vector<std::string> queries_;
  int enters_ = 0, escapes_ = 0;
};

constexpr std::pair<bool, DWORD> kChinese{true, IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE};
constexpr std::pair<bool, DWORD> kEnglish{true, IME_CMODE_ALPHANUMERIC};

TEST_F(SearchBoxWin32, TheBoxTypesEnglishWhileFocusedAndTheAgentsModeComesBack) {
  SetChinese(other_);
  SetFocus(box_.hwnd());  // as the hotkey and Ctrl+F do
  EXPECT_EQ(ModeOf(box_.hwnd()), kEnglish);
  EXPECT_TRUE(box_.PreTranslateKey(KeyDown(box_.hwnd(), VK_ESCAPE)));
  EXPECT_EQ(escapes_, 1);
  EXPECT_EQ(ModeOf(other_), kChinese);  // Esc gave it back, before the focus goes anywhere

  SetFocus(other_);
  SetFocus(box_.hwnd());
  EXPECT_EQ(ModeOf(box_.hwnd()), kEnglish);
  SetFocus(other_);  // a click elsewhere
  EXPECT_EQ(ModeOf(other_), kChinese);

  options_.Set(settings::Option::搜索英文, false);
  SetFocus(box_.hwnd());
  EXPECT_EQ(ModeOf(box_.hwnd()), kChinese);
}

TEST_F(SearchBoxWin32, TheCompositionIsSearchedAndTheEnterThatCommitsItDoesNotSend) {
  SetFocus(box_.hwnd());
  SetWindowTextW(box_.hwnd(), L"退");
  SendMessageW(box_.hwnd(), EM_SETSEL, 1, 1);
  Compose(L"h'd");
  EXPECT_TRUE(box_.Composing());
  ASSERT_FALSE(queries_.empty());
  EXPECT_EQ(queries_.back(), "退hd");
  EXPECT_EQ(platform::WindowTextUtf8(box_.hwnd()), "退");  // not drawn into the box
  EXPECT_FALSE(box_.PreTranslateKey(KeyDown(box_.hwnd(), VK_RETURN)));
  EXPECT_FALSE(box_.PreTranslateKey(KeyDown(box_.hwnd(), VK_ESCAPE)));

  Finish(CPS_COMPLETE);
  EXPECT_FALSE(box_.Composing());
  EXPECT_EQ(platform::WindowTextUtf8(box_.hwnd()), "退h'd");
  EXPECT_EQ(box_.Query(), "退h'd");
  EXPECT_EQ(enters_, 0);
  EXPECT_EQ(escapes_, 0);
  EXPECT_TRUE(box_.PreTranslateKey(KeyDown(box_.hwnd(), VK_RETURN)));  // the next Enter sends
  EXPECT_EQ(enters_, 1);

  // A composition cancelled leaves the query as the box's text.
  Compose(L"x");
  EXPECT_EQ(queries_.back(), "退h'dx");
  Finish(CPS_CANCEL);
  EXPECT_EQ(queries_.back(), "退h'd");

  Compose(L"y");
  Compose(L"");
  EXPECT_FALSE(box_.Composing()) << "nothing composed";
  EXPECT_TRUE(box_.PreTranslateKey(KeyDown(box_.hwnd(), VK_RETURN)));
}

}  // namespace
}  // namespace jihe::app
