#include <algorithm>

#include "platform/text.h"

namespace quilmarr {

std::u16string WidenCounted(const std::uint8_t* bytes, std::size_t length) {
  if (bytes == nullptr || length == 0) return {};
  // Device names and versions are nearly always ASCII: widen those directly.
  if (std::all_of(bytes, bytes + length, [](std::uint8_t b) { return b < 0x80; })) {
    return std::u16string(bytes, bytes + length);
  }
  return FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes), length));
}

std::u16string WidenCounted(std::string_view narrow) { return FromUtf8(narrow); }

std::u16string WidenZeroTerminated(const std::uint8_t* bytes, std::size_t length) {
  if (bytes == nullptr || length == 0) return {};
  const auto* end = std::find(bytes, bytes + length, std::uint8_t{0});
  return WidenCounted(bytes, static_cast<std::size_t>(end - bytes));
}

std::optional<std::string> NarrowForPlatform(std::u16string_view wide) {
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const char16_t c = wide[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) return std::nullopt;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return std::nullopt;
    }
  }
  return ToUtf8(wide);
}

}  // namespace quilmarr
