#pragma once
// The input box of the group menu: a prompt, one text field, OK and Cancel.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace jihe::library {

inline constexpr int kInputBoxEditId = 1001;
inline constexpr int kInputBoxPromptId = 1002;

// The text the agent confirmed with OK, or nothing when it canceled.
std::optional<std::string> InputBox(HWND owner, std::string_view prompt, std::string_view title,
                                    std::string_view initialText);

}  // namespace jihe::library
