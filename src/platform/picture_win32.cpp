#include "platform/picture_win32.h"

#include <windows.h>
#include <wincodec.h>

#include <cstring>

#include "platform/com_scope_win32.h"

namespace jihe::platform {

namespace {

// A minimal owner of one COM reference.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (p_) p_->Release();
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** put() { return &p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

constexpr std::uint64_t kMaxPixels = 64ull * 1024 * 1024;  // a 8192 x 8192 picture at most

bool MakeFactory(ComRef<IWICImagingFactory>& factory) {
  return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put())));
}

}  // namespace

bool IsPngFile(std::string_view bytes) { return bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8); }

std::optional<DecodedPicture> DecodePicture(std::string_view fileBytes) {
  if (fileBytes.empty() || fileBytes.size() > 0xFFFFFFFFu) return std::nullopt;
  ComScope com;
  ComRef<IWICImagingFactory> factory;
  ComRef<IWICStream> stream;
  ComRef<IWICBitmapDecoder> decoder;
  ComRef<IWICBitmapFrameDecode> frame;
  ComRef<IWICFormatConverter> converter;
  if (!MakeFactory(factory) || FAILED(factory->CreateStream(stream.put())) ||
      FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(fileBytes.data())),
                                          static_cast<DWORD>(fileBytes.size()))) ||
      FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.put())) ||
      FAILED(decoder->GetFrame(0, frame.put())) || FAILED(factory->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom))) {
    return std::nullopt;
  }
  UINT width = 0, height = 0;
  if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 ||
      std::uint64_t{width} * height > kMaxPixels) {
    return std::nullopt;
  }
  DecodedPicture picture;
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  picture.bgra.resize(std::size_t{width} * height);
  if (FAILED(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                   reinterpret_cast<BYTE*>(picture.bgra.data())))) {
    return std::nullopt;
  }
  return picture;
}

std::vector<std::uint8_t> DibOf(const DecodedPicture& picture) {
  const std::size_t stride = (static_cast<std::size_t>(picture.width) * 3 + 3) & ~std::size_t{3};
  std::vector<std::uint8_t> dib(sizeof(BITMAPINFOHEADER) + stride * picture.height, 0);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = picture.width;
  header.biHeight = picture.height;  // positive: bottom row first
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(stride * picture.height);
  std::memcpy(dib.data(), &header, sizeof header);
  for (int y = 0; y < picture.height; ++y) {
    std::uint8_t* row = dib.data() + sizeof header + stride * (picture.height - 1 - y);
    for (int x = 0; x < picture.width; ++x) {
      const std::uint32_t p = picture.bgra[static_cast<std::size_t>(y) * picture.width + x];
      const unsigned alpha = p >> 24;
      for (int c = 0; c < 3; ++c) {
        const unsigned v = (p >> (8 * c)) & 0xFF;
        row[3 * x + c] = static_cast<std::uint8_t>((v * alpha + 255 * (255 - alpha) + 127) / 255);
      }
    }
  }
  return dib;
}

std::optional<std::string> EncodePng(const DecodedPicture& picture) {
  ComScope com;
  ComRef<IWICImagingFactory> factory;
  ComRef<IStream> stream;
  ComRef<IWICBitmapEncoder> encoder;
  ComRef<IWICBitmapFrameEncode> frame;
  if (!MakeFactory(factory) || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
      FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.put(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(picture.width, picture.height))) {
    return std::nullopt;
  }
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat32bppBGRA) return std::nullopt;
  const UINT stride = static_cast<UINT>(picture.width) * 4;
  if (FAILED(frame->WritePixels(picture.height, stride, stride * picture.height,
                                reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(picture.bgra.data())))) ||
      FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
    return std::nullopt;
  }
  STATSTG stat{};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return std::nullopt;
  std::string png(static_cast<std::size_t>(stat.cbSize.QuadPart), '\0');
  LARGE_INTEGER zero{};
  ULONG read = 0;
  if (FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr)) ||
      FAILED(stream->Read(png.data(), static_cast<ULONG>(png.size()), &read)) || read != png.size()) {
    return std::nullopt;
  }
  return png;
}

}  // namespace jihe::platform
