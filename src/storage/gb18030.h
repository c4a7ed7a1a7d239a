#pragma once

#include <string>
#include <string_view>

namespace jihe::storage {

// The Data folder is GB18030 on disk; inside the program text is UTF-8.
//
// Bytes that are not valid GB18030 are kept rather than lost: each one decodes
// to the lone surrogate U+DC80..U+DCFF in UTF-8 form, and the encoder turns it
// back into that byte, so decoding and re-encoding any file gives back its
// exact bytes. The single byte 0x80 is "€", as in Windows code page 936.
std::string DecodeGb18030(std::string_view bytes);

// Characters outside GBK get their four-byte codes. Input that is not UTF-8,
// and surrogates other than the escaped bytes, come out as '?'. A kept lead
// byte that the text places before bytes it would pair with (a damaged end of
// a line written before "[br]") is left out, since no bytes read back as it.
std::string EncodeGb18030(std::string_view utf8);

}  // namespace jihe::storage
