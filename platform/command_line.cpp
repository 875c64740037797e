#include "platform/process.h"

#include <cstddef>
#include <string_view>

namespace quilmarr {
namespace {

[[nodiscard]] bool NeedsQuotes(std::u16string_view word) noexcept {
  return word.empty() || word.find_first_of(u" \t\"") != std::u16string_view::npos;
}

// The CommandLineToArgvW rules: 2n backslashes before a quote give n
// backslashes, 2n+1 give n and a literal quote; other backslashes are literal.
void AppendQuoted(std::u16string& out, std::u16string_view word) {
  out.push_back(u'"');
  std::size_t backslashes = 0;
  for (const char16_t c : word) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    if (c == u'"') {
      out.append(backslashes * 2 + 1, u'\\');
    } else {
      out.append(backslashes, u'\\');
    }
    backslashes = 0;
    out.push_back(c);
  }
  // Doubled, so they do not escape the closing quote.
  out.append(backslashes * 2, u'\\');
  out.push_back(u'"');
}

void AppendWord(std::u16string& out, std::u16string_view word) {
  if (NeedsQuotes(word)) {
    AppendQuoted(out, word);
  } else {
    out.append(word);
  }
}

}  // namespace

std::u16string BuildWindowsCommandLine(const std::u16string& program,
                                       const std::vector<std::u16string>& arguments) {
  std::u16string line;
  AppendWord(line, program);
  for (const std::u16string& argument : arguments) {
    line.push_back(u' ');
    AppendWord(line, argument);
  }
  return line;
}

}  // namespace quilmarr
