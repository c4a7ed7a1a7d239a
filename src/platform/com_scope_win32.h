#pragma once
// COM on the calling thread for as long as the scope lives (WIC and the preview need it). A thread
// that has already chosen another apartment keeps it; only a successful start is undone.
#include <objbase.h>

namespace jihe::platform {

class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT hr_;
};

}  // namespace jihe::platform
