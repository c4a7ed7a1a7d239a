#pragma once
// Helpers of the window tests: pictures written with WIC, the screen read back into pixels,
// waits that poll with a time limit while keeping this thread's messages flowing.
#include <windows.h>

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace jihe::testing {

// True as soon as `done` holds; false after `timeoutMs`. Messages of this thread are dispatched
// meanwhile, so windows of this thread keep working.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> bgra;  // top-down rows
  COLORREF At(int x, int y) const {
    const uint32_t p = bgra[static_cast<size_t>(y) * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
};

// What the screen shows inside `rect` (screen coordinates).
inline Pixels CaptureScreen(const RECT& rect) {
  Pixels out;
  out.width = rect.right - rect.left;
  out.height = rect.bottom - rect.top;
  if (out.width <= 0 || out.height <= 0) return out;
  out.bgra.resize(static_cast<size_t>(out.width) * out.height);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = out.width;
  info.bmiHeader.biHeight = -out.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, out.width, out.height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  memcpy(out.bgra.data(), bits, out.bgra.size() * 4);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return out;
}

inline RECT ScreenRectOf(HWND window) {
  RECT rc{};
  GetWindowRect(window, &rc);
  return rc;
}

struct Bounds {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  int count = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

// The box around every pixel of this colour.
inline Bounds FindColour(const Pixels& pixels, COLORREF colour) {
  Bounds b{pixels.width, pixels.height, 0, 0, 0};
  for (int y = 0; y < pixels.height; ++y)
    for (int x = 0; x < pixels.width; ++x)
      if (pixels.At(x, y) == colour) {
        b.left = std::min(b.left, x);
        b.top = std::min(b.top, y);
        b.right = std::max(b.right, x + 1);
        b.bottom = std::max(b.bottom, y + 1);
        ++b.count;
      }
  if (b.count == 0) b = {};
  return b;
}

// Pixels in rows [top, bottom) darker than mid-grey: drawn text.
inline int DarkPixels(const Pixels& pixels, int top, int bottom) {
  int count = 0;
  for (int y = std::max(0, top); y < std::min(bottom, pixels.height); ++y)
    for (int x = 0; x < pixels.width; ++x) {
      const COLORREF c = pixels.At(x, y);
      if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 100) ++count;
    }
  return count;
}

// Writes 32-bit BGRA rows as a PNG file.
inline bool SavePng(const std::wstring& path, int width, int height, const uint32_t* bgra) {
  using Microsoft::WRL::ComPtr;
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))))
    return false;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  if (FAILED(frame->SetPixelFormat(&format))) return false;
  std::vector<uint32_t> rows(bgra, bgra + static_cast<size_t>(width) * height);
  if (format != GUID_WICPixelFormat32bppBGRA) {
    // The encoder wants 24-bit rows.
    if (format != GUID_WICPixelFormat24bppBGR) return false;
    const UINT stride = (static_cast<UINT>(width) * 3 + 3) & ~3u;
    std::vector<BYTE> packed(static_cast<size_t>(stride) * height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint32_t p = rows[static_cast<size_t>(y) * width + x];
        BYTE* d = &packed[static_cast<size_t>(y) * stride + x * 3];
        d[0] = p & 0xFF, d[1] = (p >> 8) & 0xFF, d[2] = (p >> 16) & 0xFF;
      }
    if (FAILED(frame->WritePixels(static_cast<UINT>(height), stride,
                                  static_cast<UINT>(packed.size()), packed.data())))
      return false;
  } else if (FAILED(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(width) * 4,
                                       static_cast<UINT>(rows.size() * 4),
                                       reinterpret_cast<BYTE*>(rows.data())))) {
    return false;
  }
  return SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

inline bool SavePng(const std::wstring& path, Pixels pixels) {
  for (uint32_t& p : pixels.bgra) p |= 0xFF000000u;  // the screen has no alpha
  return SavePng(path, pixels.width, pixels.height, pixels.bgra.data());
}

// A picture of one opaque colour.
inline bool WriteSolidPng(const std::wstring& path, int width, int height, COLORREF colour) {
  const uint32_t p =
      0xFF000000u | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, p);
  return SavePng(path, width, height, pixels.data());
}

// Presses and releases one key, as the agent would.
inline void PressKey(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

// The folder for screenshots, from JIHE_SHOTS_DIR; empty when unset.
inline std::wstring ShotsFolder() {
  const wchar_t* folder = _wgetenv(L"JIHE_SHOTS_DIR");
  if (!folder || !*folder) return {};
  std::wstring path = folder;
  CreateDirectoryW(path.c_str(), nullptr);
  if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path;
}

}  // namespace jihe::testing
