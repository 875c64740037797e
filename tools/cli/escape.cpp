#include <cstdio>

#include "platform/text.h"
#include "tools/cli/commands.h"

namespace quilmarr::cli {

std::string EscapeField(std::u16string_view text) {
  std::u16string kept;
  std::string out;
  auto flush = [&] {
    out += ToUtf8(kept);
    kept.clear();
  };
  for (const char16_t c : text) {
    if (c < 0x20 || c == 0x7F || c == u'\\') {
      flush();
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02x", static_cast<unsigned>(c));
      out += buffer;
    } else {
      kept.push_back(c);
    }
  }
  flush();
  return out;
}

std::string JoinFields(std::initializer_list<std::u16string_view> fields) {
  std::string line;
  for (const auto field : fields) {
    if (!line.empty()) line += '\t';
    line += EscapeField(field);
  }
  return line;
}

}  // namespace quilmarr::cli
