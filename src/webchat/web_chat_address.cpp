#include "webchat/web_chat_address.h"

namespace jihe::webchat {

std::string UrlEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
        b == '.' || b == '_' || b == '~') {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    }
  }
  return out;
}

std::string LoginAddress(std::string_view loginPage, std::string_view continueTo) {
  std::string address(loginPage);
  address += address.find('?') == std::string::npos ? '?' : '&';
  address += "path=";
  address += UrlEncode(continueTo);
  return address;
}

std::string WebChatStartAddress() { return LoginAddress(kLoginPage, kWebChatHomePage); }

}  // namespace jihe::webchat
