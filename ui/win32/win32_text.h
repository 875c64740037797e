#pragma once
// The core keeps UTF-16 text in std::u16string; the wide Windows APIs take
// UTF-16 as wchar_t, which has the same size and encoding on Windows.
#include "ui/win32/windows_api.h"

#include <string>
#include <string_view>

namespace quilmarr {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

[[nodiscard]] inline std::wstring ToWide(std::u16string_view text) {
  return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

[[nodiscard]] inline std::u16string FromWide(std::wstring_view text) {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

// The window's whole text (GetWindowTextW), however long.
[[nodiscard]] inline std::u16string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return FromWide(text);
}

inline void SetWindowTextU16(HWND window, std::u16string_view text) {
  SetWindowTextW(window, ToWide(text).c_str());
}

}  // namespace quilmarr
