#pragma once

// The Windows Imaging Component, which every Windows since Vista carries:
// the Windows build encodes PNG pictures with it rather than ship a library.
// Only the Windows build compiles this.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <objbase.h>
#include <wincodec.h>

#include <cstdio>
#include <string>

namespace kvn::inspect::wic {

/// Owns one reference to a COM object.
template <typename T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (p_) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T** put() { return &p_; }
  T* get() const { return p_; }
  T* operator->() const { return p_; }

 private:
  T* p_ = nullptr;
};

/// COM for this thread while it lives. A thread that has COM already in
/// another mode still serves WIC, which is free-threaded.
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT hr_;
};

/// "WIC error 0x88982F50" for an HRESULT, with the step that failed.
inline std::string failure(const char* step, HRESULT hr) {
  char text[96];
  std::snprintf(text, sizeof text, "%s failed (WIC error 0x%08lX)", step,
                static_cast<unsigned long>(hr));
  return text;
}

}  // namespace kvn::inspect::wic
