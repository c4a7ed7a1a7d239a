#pragma once
// The autostart entry: one value under HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run.
#include <string>
#include <string_view>

namespace jihe::settings {

inline constexpr std::string_view kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kRunValueName = "霁禾客服助手";

inline constexpr std::string_view kAutostartOnMessage = "开机自动启动设置成功,开机将自动启动！";
inline constexpr std::string_view kAutostartOffMessage = "开机自动启动已经关闭成功！";
inline constexpr std::string_view kAutostartOnFailedMessage =
    "开机自动启动设置失败：无法写入注册表的启动项，请检查权限后重试。";
inline constexpr std::string_view kAutostartOffFailedMessage =
    "开机自动启动关闭失败：无法删除注册表的启动项，请检查权限后重试。";
inline constexpr std::string_view kAutostartNoExeMessage =
    "开机自动启动设置失败：找不到本软件的程序文件。";

// The command line stored in the Run value: the full path in quotes, so a path with blanks
// starts the program and nothing else.
std::string RunCommandFor(std::string_view exePath);

}  // namespace jihe::settings
