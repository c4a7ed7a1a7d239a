#pragma once
// The page the web chat window starts at: the 58 service's login page, which continues to the web
// chat's home page after the agent has logged in.
#include <string>
#include <string_view>

namespace jihe::webchat {

inline constexpr std::string_view kLoginPage = "https://passport.58.com/login";
inline constexpr std::string_view kWebChatHomePage = "https://im.58.com/";

// Percent-encodes every byte of the UTF-8 text except the unreserved characters
// (letters, digits, "-", ".", "_", "~"), so the text can stand as one query value.
std::string UrlEncode(std::string_view text);

// The login page with the query "path=" + the encoded address to continue to.
std::string LoginAddress(std::string_view loginPage, std::string_view continueTo);

// LoginAddress of the two pages above.
std::string WebChatStartAddress();

}  // namespace jihe::webchat
