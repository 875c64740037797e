#pragma once
// Small owners of Windows handles, each released the one right way.
#include "ui/win32/windows_api.h"

#include <utility>

namespace quilmarr {

// Owns a handle of type H; Release(H) frees it. A null handle is not freed.
template <typename H, auto Release>
class UniqueHandle {
 public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(H handle) noexcept : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, H{})) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, H{}));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  [[nodiscard]] H Get() const noexcept { return handle_; }
  [[nodiscard]] explicit operator bool() const noexcept { return handle_ != H{}; }
  void Reset(H handle = H{}) noexcept {
    if (handle_ != H{}) Release(handle_);
    handle_ = handle;
  }
  [[nodiscard]] H Detach() noexcept { return std::exchange(handle_, H{}); }

 private:
  H handle_{};
};

using UniqueIcon = UniqueHandle<HICON, &DestroyIcon>;
using UniqueWindow = UniqueHandle<HWND, &DestroyWindow>;
using UniqueHook = UniqueHandle<HHOOK, &UnhookWindowsHookEx>;
using UniqueMenu = UniqueHandle<HMENU, &DestroyMenu>;
using UniqueDc = UniqueHandle<HDC, &DeleteDC>;
inline void DeleteBitmap(HBITMAP bitmap) noexcept { DeleteObject(bitmap); }
using UniqueBitmap = UniqueHandle<HBITMAP, &DeleteBitmap>;

// BeginPaint .. EndPaint for one WM_PAINT.
class PaintContext {
 public:
  explicit PaintContext(HWND window) noexcept : window_(window), dc_(BeginPaint(window, &paint_)) {}
  PaintContext(const PaintContext&) = delete;
  PaintContext& operator=(const PaintContext&) = delete;
  ~PaintContext() { EndPaint(window_, &paint_); }
  [[nodiscard]] HDC Dc() const noexcept { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// GetDC .. ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  [[nodiscard]] HDC Dc() const noexcept { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// SelectObject for a scope.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() { SelectObject(dc_, previous_); }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace quilmarr
