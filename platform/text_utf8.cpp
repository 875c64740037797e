#include "platform/text.h"

#include <utf8.h>

#include <iterator>

namespace quilmarr {

std::string ToUtf8(std::u16string_view wide) {
  std::string out;
  out.reserve(wide.size());
  // Unpaired surrogates cannot be encoded; they become U+FFFD like bad input.
  std::u16string valid;
  valid.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const char16_t c = wide[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      valid.push_back(c);
      valid.push_back(wide[++i]);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      valid.push_back(u'\uFFFD');
    } else {
      valid.push_back(c);
    }
  }
  utf8::utf16to8(valid.begin(), valid.end(), std::back_inserter(out));
  return out;
}

std::u16string FromUtf8(std::string_view utf8) {
  std::string repaired;
  repaired.reserve(utf8.size());
  utf8::replace_invalid(utf8.begin(), utf8.end(), std::back_inserter(repaired), 0xFFFD);
  std::u16string out;
  out.reserve(repaired.size());
  utf8::utf8to16(repaired.begin(), repaired.end(), std::back_inserter(out));
  return out;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace quilmarr
