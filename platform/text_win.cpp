#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/text.h"

namespace quilmarr {
namespace {

std::u16string Widen(UINT codePage, const char* bytes, int length) {
  if (length <= 0) return {};
  const int needed = MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0);
  if (needed <= 0) return {};
  std::u16string out(static_cast<std::size_t>(needed), u'\0');
  MultiByteToWideChar(codePage, 0, bytes, length, reinterpret_cast<wchar_t*>(out.data()), needed);
  return out;
}

int ClampLength(std::size_t length) {
  return static_cast<int>(std::min<std::size_t>(length, 0x7FFFFFFF));
}

}  // namespace

std::u16string WidenCounted(const std::uint8_t* bytes, std::size_t length) {
  if (bytes == nullptr || length == 0) return {};
  return Widen(CP_ACP, reinterpret_cast<const char*>(bytes), ClampLength(length));
}

std::u16string WidenCounted(std::string_view narrow) {
  return WidenCounted(reinterpret_cast<const std::uint8_t*>(narrow.data()), narrow.size());
}

std::u16string WidenZeroTerminated(const std::uint8_t* bytes, std::size_t length) {
  if (bytes == nullptr) return {};
  // Copy into a buffer one byte longer with a terminator, as the
  // zero-terminated conversion with source length -1 expects.
  std::vector<char> copy(bytes, bytes + length);
  copy.push_back('\0');
  const int needed = MultiByteToWideChar(CP_THREAD_ACP, 0, copy.data(), -1, nullptr, 0);
  if (needed <= 0) return {};
  std::vector<wchar_t> wide(static_cast<std::size_t>(needed));
  if (MultiByteToWideChar(CP_THREAD_ACP, 0, copy.data(), -1, wide.data(), needed) == 0) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(wide.data()));
}

std::optional<std::string> NarrowForPlatform(std::u16string_view wide) {
  if (wide.empty()) return std::string();
  const auto* src = reinterpret_cast<const wchar_t*>(wide.data());
  const int len = ClampLength(wide.size());
  BOOL defaulted = FALSE;
  const int needed =
      WideCharToMultiByte(CP_THREAD_ACP, 0, src, len, nullptr, 0, nullptr, &defaulted);
  if (needed <= 0 || defaulted) return std::nullopt;
  std::string out(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_THREAD_ACP, 0, src, len, out.data(), needed, nullptr, nullptr);
  return out;
}

}  // namespace quilmarr
