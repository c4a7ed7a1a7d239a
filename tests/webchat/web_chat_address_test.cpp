#include "webchat/web_chat_address.h"

#include <gtest/gtest.h>

namespace jihe::webchat {
namespace {

TEST(WebChatAddressTest, UrlEncode) {
  struct Case {
    const char* text;
    const char* encoded;
  } cases[] = {
      {"https://im.58.com/", "https%3A%2F%2Fim.58.com%2F"},
      {"a-b_c.d~e", "a-b_c.d~e"},
      {"?x=1&y=2 #", "%3Fx%3D1%26y%3D2%20%23"},
      {"聊天", "%E8%81%8A%E5%A4%A9"},
      {"%", "%25"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlEncode(c.text), c.encoded) << c.text;
}

TEST(WebChatAddressTest, LoginAddressCarriesTheHomePage) {
  EXPECT_EQ(LoginAddress("https://passport.58.com/login", "https://im.58.com/"),
            "https://passport.58.com/login?path=https%3A%2F%2Fim.58.com%2F");
  EXPECT_EQ(LoginAddress("https://x/login?from=jihe", "https://y/?a=1&b=2"),
            "https://x/login?from=jihe&path=https%3A%2F%2Fy%2F%3Fa%3D1%26b%3D2");
  const std::string start = WebChatStartAddress();
  EXPECT_NE(start.find("/login?path="), std::string::npos);
  EXPECT_EQ(start.find("://", start.find("path=")), std::string::npos);  // no raw address inside
}

}  // namespace
}  // namespace jihe::webchat
