#pragma once
// The preview window "预览": the phrase editor's content as it will look, with its line breaks,
// pictures from the img folder and its formatting markup, drawn natively.
#include <windows.h>

#include <string>

#include "storage/data_folder.h"

namespace jihe::library {

inline constexpr wchar_t kPreviewWindowClass[] = L"JihePreviewWindow";
inline constexpr wchar_t kPreviewViewClass[] = L"JihePreviewView";
inline constexpr char kPreviewTitle[] = "预览";

// Shows the preview of `editorContent` and returns when the agent has closed it (close box or
// Esc). The window has no owner and sits in the taskbar, always on top; `waitingWindow` (the
// phrase editor; may be null) is disabled while it is open, so the editor waits as for a modal
// dialog. The caller checks that the content is not empty.
void ShowPreview(HWND waitingWindow, const std::string& editorContent,
                 const storage::DataFolder& dataFolder);

}  // namespace jihe::library
