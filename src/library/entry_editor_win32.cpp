#include "library/entry_editor_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <windowsx.h>

#include <vector>

#include "library/phrase_variables.h"
#include "library/messages.h"
#include "library/modal_form_win32.h"
#include "library/preview_window_win32.h"
#include "library/row_rules.h"
#include "platform/utf16.h"

namespace jihe::library {

using platform::Narrow;
using platform::Widen;

namespace {

constexpr DWORD kEditorStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kEditorExStyle = WS_EX_TOPMOST | WS_EX_APPWINDOW;

// Design of the phrase editor; the command editor is the same without the picture and file links
// and with a lower content box.
const FormControl kPhraseControls[] = {
    {WC_STATICW, "所在分组：", SS_LEFT, 0, 1201, 10, 13, 70, 18},
    {WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, kEditorChooserId, 82, 9, 283, 200},
    {WC_STATICW, "备注说明：", SS_LEFT, 0, 1202, 10, 43, 70, 18},
    {WC_EDITW, "", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kEditorRemarkId, 82, 39, 283, 22},
    {WC_STATICW, "添加内容[可添加图片]", SS_LEFT, 0, 1203, 10, 72, 160, 18},
    {WC_STATICW, "添加图片", SS_NOTIFY, 0, kEditorAddPictureId, 196, 72, 52, 18},
    {WC_STATICW, "添加文件", SS_NOTIFY, 0, kEditorAddFileId, 255, 72, 52, 18},
    {WC_STATICW, "效果预览", SS_NOTIFY, 0, kEditorPreviewId, 314, 72, 52, 18},
    {WC_EDITW, "", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
     kEditorContentId, 10, 92, 355, 136},
    {WC_BUTTONW, "确认后关闭", BS_AUTOCHECKBOX | WS_TABSTOP, 0, kEditorCloseBoxId, 10, 240, 100, 20},
    {WC_BUTTONW, "插入变量", BS_PUSHBUTTON | WS_TABSTOP, 0, kEditorInsertVariableId, 140, 236, 90, 28},
    {WC_BUTTONW, "", BS_PUSHBUTTON | WS_TABSTOP, 0, kEditorConfirmId, 255, 236, 110, 28},
};
const FormControl kCommandControls[] = {
    {WC_STATICW, "所在分组：", SS_LEFT, 0, 1201, 10, 13, 70, 18},
    {WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, kEditorChooserId, 82, 9, 283, 200},
    {WC_STATICW, "备注说明：", SS_LEFT, 0, 1202, 10, 43, 70, 18},
    {WC_EDITW, "", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kEditorRemarkId, 82, 39, 283, 22},
    {WC_STATICW, "下方输入网址或程序路径", SS_LEFT, 0, 1203, 10, 72, 180, 18},
    {WC_STATICW, "添加程序", SS_NOTIFY, 0, kEditorAddProgramId, 314, 72, 52, 18},
    {WC_EDITW, "", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
     kEditorContentId, 10, 92, 355, 40},
    {WC_BUTTONW, "确认后关闭", BS_AUTOCHECKBOX | WS_TABSTOP, 0, kEditorCloseBoxId, 10, 142, 100, 20},
    {WC_BUTTONW, "", BS_PUSHBUTTON | WS_TABSTOP, 0, kEditorConfirmId, 255, 138, 110, 28},
};

std::wstring DesktopFolder() {
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path))) return path;
  return {};
}

class EntryEditor final : public ModalForm {
 public:
  explicit EntryEditor(const EntryEditorContext& ctx) : ctx_(ctx) {}

 protected:
  void OnInit() override {
    GroupStrip& strip = ctx_.library->strip(ctx_.kind);
    HWND chooser = Item(kEditorChooserId);
    for (size_t index : strip.VisibleIndices()) {
      const int at = static_cast<int>(SendMessageW(
          chooser, CB_ADDSTRING, 0,
          reinterpret_cast<LPARAM>(Widen(ChooserItemText(strip.slots()[index].name(), index)).c_str())));
      if (index == ctx_.selectedGroup) ComboBox_SetCurSel(chooser, at);
    }
    SetItemText(kEditorConfirmId, TextsOf(ctx_.kind, ctx_.mode).button);
    Button_SetCheck(Item(kEditorCloseBoxId), BST_CHECKED);
    if (ctx_.mode == EditorMode::Edit) {
      openingItem_ = ChosenItem();
      const Group* group = strip.ListOfGroup(ctx_.currentList);
      if (group && ctx_.editedRow < group->rows().size()) {
        const RowParts parts = SplitRowForEdit(group->rows()[ctx_.editedRow]);
        SetItemText(kEditorRemarkId, parts.remark);
        SetItemText(kEditorContentId, parts.content);
      }
    }
    SetFocus(Item(kEditorContentId));
  }

  bool OnControl(int id, int code) override {
    switch (id) {
      case kEditorConfirmId:
        if (code == BN_CLICKED) Confirm();
        return true;
      case kEditorCloseBoxId:
        if (code == BN_CLICKED && ctx_.kind == GroupKind::Phrase &&
            Button_GetCheck(Item(kEditorCloseBoxId)) == BST_CHECKED)
          Message(msg::kCloseAfterConfirm);
        return true;
      case kEditorAddPictureId:
        if (code == STN_CLICKED) AddPicture();
        return true;
      case kEditorAddFileId:
        if (code == STN_CLICKED) AddFile();
        return true;
      case kEditorPreviewId:
        if (code == STN_CLICKED) Preview();
        return true;
      case kEditorInsertVariableId:
        if (code == BN_CLICKED) InsertVariable();
        return true;
      case kEditorAddProgramId:
        if (code == STN_CLICKED)
          if (auto path = ChooseFile(hwnd(), "")) SetItemText(kEditorContentId, *path);
        return true;
    }
    return false;
  }

 private:
  std::string ChosenItem() const {
    HWND chooser = Item(kEditorChooserId);
    const int at = ComboBox_GetCurSel(chooser);
    if (at < 0) return {};
    std::wstring text(static_cast<size_t>(ComboBox_GetLBTextLen(chooser, at)) + 1, L'\0');
    ComboBox_GetLBText(chooser, at, text.data());
    text.resize(wcslen(text.c_str()));
    return Narrow(text);
  }

  void AddPicture() {
    const auto chosen = ChooseFile(hwnd(), kPictureFilter);
    if (!chosen) return;
    const std::string name = FileNameOf(*chosen);
    const std::string target = ctx_.folder->ImgFolder() + name;
    if (name.empty() || !CopyFileW(Widen(*chosen).c_str(), Widen(target).c_str(), FALSE)) return;
    SetItemText(kEditorContentId, AppendPictureToken(ItemText(kEditorContentId), name));
  }

  void AddFile() {
    const std::string content = ItemText(kEditorContentId);
    const std::optional<std::string> existing = FindFileToken(content);
    if (existing) Message(msg::kFileWillBeReplaced);
    const std::optional<std::string> chosen = ChooseFile(hwnd(), "*.*");
    // With a file already attached, canceling the dialog takes it out: that is how an agent
    // removes the file from a phrase (the message above told them it would be replaced).
    if (!chosen && !existing) return;
    SetItemText(kEditorContentId, ApplyFileChoice(ItemText(kEditorContentId), existing, chosen));
  }

  // The variables as a menu under the button; the chosen one goes in at the caret, so nobody has to
  // type the braces. The question of {输入:提示} is selected, ready to be typed over.
  void InsertVariable() {
    HMENU menu = CreatePopupMenu();
    for (size_t i = 0; i < std::size(kVariableChoices); ++i) {
      AppendMenuW(menu, MF_STRING, kVariableMenuFirstId + i, Widen(kVariableChoices[i].caption).c_str());
    }
    RECT button{};
    GetWindowRect(Item(kEditorInsertVariableId), &button);
    const int chosen = static_cast<int>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, button.left, button.bottom, 0, hwnd(), nullptr));
    DestroyMenu(menu);
    if (chosen < kVariableMenuFirstId || chosen >= kVariableMenuFirstId + static_cast<int>(std::size(kVariableChoices))) return;
    const std::wstring text = Widen(kVariableChoices[chosen - kVariableMenuFirstId].text);
    HWND content = Item(kEditorContentId);
    DWORD start = 0;
    SendMessageW(content, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    SendMessageW(content, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    if (const size_t colon = text.find(L':'); colon != std::wstring::npos) {
      SendMessageW(content, EM_SETSEL, start + colon + 1, start + text.size() - 1);
    }
    SetFocus(content);
  }

  void Preview() {
    const std::string content = ItemText(kEditorContentId);
    if (content.empty()) {
      Message(msg::kPreviewEmpty);
      return;
    }
    ShowPreview(hwnd(), content, *ctx_.folder);
  }

  void Confirm() {
    ConfirmRequest request;
    request.kind = ctx_.kind;
    request.mode = ctx_.mode;
    request.remark = ItemText(kEditorRemarkId);
    request.content = ItemText(kEditorContentId);
    request.chosenItem = ChosenItem();
    request.openingItem = openingItem_;
    request.currentList = ctx_.currentList;
    request.editedRow = editedRow_;
    if (auto refusal = ConfirmRefusal(request)) {
      Message(*refusal);
      return;
    }
    if (!ApplyConfirm(*ctx_.library, request)) return;
    const bool moved = ctx_.mode == EditorMode::Edit && request.chosenItem != openingItem_;
    // The moved row is gone from its list: a further confirmation must not remove another one.
    if (moved) editedRow_ = static_cast<size_t>(-1);
    const bool close = Button_GetCheck(Item(kEditorCloseBoxId)) == BST_CHECKED;
    if (close) End(IDOK);
    if (ctx_.onConfirmed) ctx_.onConfirmed(moved);
  }

  const EntryEditorContext& ctx_;
  std::string openingItem_;
  size_t editedRow_ = ctx_.editedRow;
};

}  // namespace

std::optional<std::string> ChooseFile(HWND owner, std::string_view filter) {
  // "description|patterns|description|patterns" becomes the dialog's NUL-separated pairs; a
  // lone pattern serves as its own description.
  std::wstring pairs;
  if (!filter.empty()) {
    std::wstring wide = Widen(filter);
    if (wide.find(L'|') == std::wstring::npos) wide += L"|" + wide;
    for (wchar_t& c : wide)
      if (c == L'|') c = L'\0';
    pairs = wide + std::wstring(2, L'\0');
  }
  std::wstring file(32768, L'\0');
  const std::wstring desktop = DesktopFolder();
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = pairs.empty() ? nullptr : pairs.c_str();
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = desktop.empty() ? nullptr : desktop.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&ofn)) return std::nullopt;
  file.resize(wcslen(file.c_str()));
  return Narrow(file);
}

void RunEntryEditor(HWND owner, const EntryEditorContext& context) {
  const bool phrase = context.kind == GroupKind::Phrase;
  FormFrame frame;
  frame.title = TextsOf(context.kind, context.mode).title;
  frame.width = 385;
  frame.height = phrase ? 306 : 206;
  frame.style = kEditorStyle;
  frame.exStyle = kEditorExStyle;
  EntryEditor editor(context);
  if (phrase)
    editor.Run(owner, frame, kPhraseControls);
  else
    editor.Run(owner, frame, kCommandControls);
}

}  // namespace jihe::library
