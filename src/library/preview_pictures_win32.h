#pragma once
// The pictures of one preview, decoded with WIC once and kept as bitmaps at the size they are
// drawn, transparency flattened onto the page's white.
#include <windows.h>

#include <wincodec.h>
#include <wrl/client.h>

#include <map>
#include <optional>
#include <string>

#include "library/preview_layout.h"
#include "platform/window_win32.h"

namespace jihe::library {

class PreviewPictures {
 public:
  PreviewPictures();

  // The picture's size in pixels, or nothing when the file is missing or no picture WIC can read.
  std::optional<PixelSize> SizeOf(const std::string& path);
  // The picture scaled to `size`; null when it cannot be read. Owned by this object.
  HBITMAP BitmapOf(const std::string& path, PixelSize size);

 private:
  struct Entry {
    Microsoft::WRL::ComPtr<IWICBitmapSource> source;  // 32 bpp premultiplied BGRA; null: unreadable
    PixelSize size;
    platform::UniqueHandle<platform::GdiTraits<HBITMAP>> bitmap;
    PixelSize bitmapSize;
  };
  Entry& Load(const std::string& path);

  Microsoft::WRL::ComPtr<IWICImagingFactory> factory_;
  std::map<std::string, Entry> entries_;
};

}  // namespace jihe::library
