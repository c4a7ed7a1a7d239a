#include "library/input_box_win32.h"

#include <commctrl.h>

#include "library/modal_form_win32.h"

namespace jihe::library {

namespace {

class InputForm final : public ModalForm {
 public:
  explicit InputForm(std::string_view initial) : text_(initial) {}
  std::string text_;

 protected:
  void OnInit() override {
    SetItemText(kInputBoxEditId, text_);
    HWND edit = Item(kInputBoxEditId);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SetFocus(edit);
  }
  bool OnControl(int id, int code) override {
    if (id != IDOK) return false;
    text_ = ItemText(kInputBoxEditId);
    End(IDOK);
    return true;
  }
};

}  // namespace

std::optional<std::string> InputBox(HWND owner, std::string_view prompt, std::string_view title,
                                    std::string_view initialText) {
  const FormControl controls[] = {
      {WC_STATICW, prompt, SS_LEFT | SS_NOPREFIX, 0, kInputBoxPromptId, 12, 12, 230, 36},
      {WC_BUTTONW, "确定", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, IDOK, 254, 10, 72, 24},
      {WC_BUTTONW, "取消", BS_PUSHBUTTON | WS_TABSTOP, 0, IDCANCEL, 254, 40, 72, 24},
      {WC_EDITW, "", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kInputBoxEditId, 12, 76, 314, 22},
  };
  FormFrame frame;
  frame.title = title;
  frame.width = 346;
  frame.height = 146;
  frame.exStyle = WS_EX_TOPMOST;
  frame.centreOnScreen = false;
  InputForm form(initialText);
  if (form.Run(owner, frame, controls) != IDOK) return std::nullopt;
  return form.text_;
}

}  // namespace jihe::library
