#pragma once
// Pictures for the clipboard, decoded and encoded with WIC (png, jpg, gif, bmp).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jihe::platform {

struct DecodedPicture {
  int width = 0;
  int height = 0;
  // The first frame as 32-bit BGRA, top row first, alpha not premultiplied.
  std::vector<std::uint32_t> bgra;
};

std::optional<DecodedPicture> DecodePicture(std::string_view fileBytes);

// A packed DIB for CF_DIB: BITMAPINFOHEADER and 24-bit rows, bottom row first, transparency
// flattened onto white (the chat programs paste a CF_DIB as if it were opaque).
std::vector<std::uint8_t> DibOf(const DecodedPicture& picture);

// A PNG file of the picture; nothing when the encoder fails.
std::optional<std::string> EncodePng(const DecodedPicture& picture);

bool IsPngFile(std::string_view fileBytes);

}  // namespace jihe::platform
