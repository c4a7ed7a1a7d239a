#include "library/preview_pictures_win32.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/utf16.h"

namespace jihe::library {

using Microsoft::WRL::ComPtr;

PreviewPictures::PreviewPictures() {
  CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory_));
}

PreviewPictures::Entry& PreviewPictures::Load(const std::string& path) {
  auto [it, inserted] = entries_.try_emplace(path);
  Entry& entry = it->second;
  if (!inserted || !factory_) return entry;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  UINT width = 0, height = 0;
  if (FAILED(factory_->CreateDecoderFromFilename(platform::Widen(path).c_str(), nullptr,
                                                 GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                 &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory_->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)) ||
      FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 || width > 32767 ||
      height > 32767) {
    return entry;
  }
  entry.source = converter;
  entry.size = {static_cast<int>(width), static_cast<int>(height)};
  return entry;
}

std::optional<PixelSize> PreviewPictures::SizeOf(const std::string& path) {
  const Entry& entry = Load(path);
  if (!entry.source) return std::nullopt;
  return entry.size;
}

HBITMAP PreviewPictures::BitmapOf(const std::string& path, PixelSize size) {
  Entry& entry = Load(path);
  if (!entry.source || size.width <= 0 || size.height <= 0) return nullptr;
  if (entry.bitmap && entry.bitmapSize == size) return entry.bitmap.get();

  ComPtr<IWICBitmapSource> scaled = entry.source;
  if (size != entry.size) {
    ComPtr<IWICBitmapScaler> scaler;
    if (FAILED(factory_->CreateBitmapScaler(&scaler)) ||
        FAILED(scaler->Initialize(entry.source.Get(), static_cast<UINT>(size.width),
                                  static_cast<UINT>(size.height), WICBitmapInterpolationModeFant)))
      return nullptr;
    scaled = scaler;
  }
  const UINT stride = static_cast<UINT>(size.width) * 4;
  std::vector<BYTE> pixels(static_cast<size_t>(stride) * static_cast<size_t>(size.height));
  if (FAILED(scaled->CopyPixels(nullptr, stride, static_cast<UINT>(pixels.size()), pixels.data())))
    return nullptr;
  // Premultiplied colour over white: c + (255 - alpha).
  for (size_t i = 0; i < pixels.size(); i += 4) {
    const BYTE rest = static_cast<BYTE>(255 - pixels[i + 3]);
    for (size_t k = 0; k < 3; ++k)
      pixels[i + k] = static_cast<BYTE>(std::min(255, pixels[i + k] + rest));
    pixels[i + 3] = 255;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size.width;
  info.bmiHeader.biHeight = -size.height;  // top-down, like WIC's rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  memcpy(bits, pixels.data(), pixels.size());
  entry.bitmap.reset(bitmap);
  entry.bitmapSize = size;
  return bitmap;
}

}  // namespace jihe::library
