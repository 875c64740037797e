#include "platform/ini_engine.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "platform/atomic_file.h"
#include "platform/text.h"

namespace quilmarr {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::size_t BomLength(std::string_view text) noexcept {
  return text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
}

// The blanks the Windows profile reader strips: white space and Ctrl-Z.
template <typename Char>
constexpr bool IsBlank(Char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x1A;
}

template <typename Char>
std::basic_string_view<Char> Trim(std::basic_string_view<Char> text) noexcept {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view fileName, std::u16string_view wanted) {
  return EqualsNoCase(FromUtf8(Trim(fileName)), Trim(wanted));
}

enum class LineKind { Blank, Comment, Section, Key };

struct Line {
  std::size_t begin = 0;       // first byte of the line
  std::size_t contentEnd = 0;  // before "\n" or "\r\n"
  std::size_t end = 0;         // after the line ending
  LineKind kind = LineKind::Blank;
  std::string_view name;     // section or key name, untrimmed
  std::size_t equalsAt = 0;  // key lines: offset of '=' in the file
  bool hasEquals = false;
};

Line ClassifyLine(std::string_view text, std::size_t begin, std::size_t contentEnd,
                  std::size_t end) {
  Line line{begin, contentEnd, end, LineKind::Blank, {}, 0, false};
  const std::string_view content = text.substr(begin, contentEnd - begin);
  const std::string_view trimmed = Trim(content);
  if (trimmed.empty()) return line;
  if (trimmed.front() == ';') {
    line.kind = LineKind::Comment;
  } else if (trimmed.front() == '[') {
    // As Windows does: the name runs to the last ']' of the line, or to its end.
    const std::string_view afterBracket = trimmed.substr(1);
    const std::size_t close = afterBracket.rfind(']');
    line.kind = LineKind::Section;
    line.name = close == std::string_view::npos ? afterBracket : afterBracket.substr(0, close);
  } else {
    line.kind = LineKind::Key;
    const std::size_t equals = content.find('=');
    line.hasEquals = equals != std::string_view::npos;
    line.name = line.hasEquals ? content.substr(0, equals) : content;
    line.equalsAt = line.hasEquals ? begin + equals : 0;
  }
  return line;
}

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t begin = BomLength(text);
  while (begin < text.size()) {
    const std::size_t newline = text.find('\n', begin);
    std::size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
    std::size_t contentEnd = newline == std::string_view::npos ? text.size() : newline;
    if (contentEnd > begin && text[contentEnd - 1] == '\r') --contentEnd;
    lines.push_back(ClassifyLine(text, begin, contentEnd, end));
    begin = end;
  }
  return lines;
}

// The body of the first section with this name: [first, last) line indexes,
// or nullopt. Lines before any header form the section with the empty name.
struct SectionBody {
  std::size_t first = 0;
  std::size_t last = 0;
};

std::optional<SectionBody> FindSection(const std::vector<Line>& lines,
                                       std::u16string_view section) {
  std::optional<std::size_t> first;
  if (Trim(section).empty()) first = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != LineKind::Section) continue;
    if (first) return SectionBody{*first, i};
    if (SameName(lines[i].name, section)) first = i + 1;
  }
  if (first) return SectionBody{*first, lines.size()};
  return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<Line>& lines, SectionBody body,
                                   std::u16string_view key) {
  for (std::size_t i = body.first; i < body.last; ++i) {
    if (lines[i].kind == LineKind::Key && SameName(lines[i].name, key)) return i;
  }
  return std::nullopt;
}

std::u16string UnquotedValue(std::string_view raw) {
  std::string_view value = Trim(raw);
  // Windows removes one pair of matching single or double quotes.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return FromUtf8(value);
}

std::string_view LineEndingOf(std::string_view text) {
  const std::size_t newline = text.find('\n');
  if (newline == std::string_view::npos) {
#ifdef _WIN32
    return "\r\n";
#else
    return "\n";
#endif
  }
  return newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
}

std::string KeyLine(std::u16string_view key, std::u16string_view value, std::string_view eol) {
  std::string line = ToUtf8(Trim(key));
  line += '=';
  line += ToUtf8(value);
  line += eol;
  return line;
}

}  // namespace

bool IsWritableIniEntry(std::u16string_view section, std::u16string_view key,
                        std::u16string_view value) noexcept {
  auto breaksLine = [](char16_t c) { return c == u'\r' || c == u'\n' || c == u'\0'; };
  if (std::any_of(value.begin(), value.end(), breaksLine)) return false;
  for (const char16_t c : section) {
    if (breaksLine(c) || c == u']') return false;
  }
  for (const char16_t c : key) {
    if (breaksLine(c) || c == u'=') return false;
  }
  // Such a key line would read back as a comment or a section header.
  const std::u16string_view trimmedKey = Trim(key);
  return trimmedKey.empty() || (trimmedKey.front() != u';' && trimmedKey.front() != u'[');
}

std::optional<std::u16string> FindIniValue(std::string_view fileText, std::u16string_view section,
                                           std::u16string_view key) {
  const std::vector<Line> lines = SplitLines(fileText);
  const auto body = FindSection(lines, section);
  if (!body) return std::nullopt;
  const auto index = FindKey(lines, *body, key);
  if (!index || !lines[*index].hasEquals) return std::nullopt;
  const Line& line = lines[*index];
  return UnquotedValue(fileText.substr(line.equalsAt + 1, line.contentEnd - line.equalsAt - 1));
}

std::string WithIniValue(std::string_view fileText, std::u16string_view section,
                         std::u16string_view key, std::u16string_view value) {
  const std::vector<Line> lines = SplitLines(fileText);
  const std::string_view eol = LineEndingOf(fileText);
  std::string out;
  out.reserve(fileText.size() + key.size() + value.size() + section.size() + 8);

  const auto body = FindSection(lines, section);
  if (!body) {
    out = fileText;
    if (!out.empty() && out.back() != '\n') out += eol;
    out += '[';
    out += ToUtf8(Trim(section));
    out += ']';
    out += eol;
    out += KeyLine(key, value, eol);
    return out;
  }

  if (const auto index = FindKey(lines, *body, key)) {
    const Line& line = lines[*index];
    std::size_t keep = line.equalsAt + 1;
    if (line.hasEquals) {
      while (keep < line.contentEnd && (fileText[keep] == ' ' || fileText[keep] == '\t')) ++keep;
      out = fileText.substr(0, keep);
    } else {
      out = fileText.substr(0, line.begin);
      out += Trim(fileText.substr(line.begin, line.contentEnd - line.begin));
      out += '=';
    }
    out += ToUtf8(value);
    out += fileText.substr(line.contentEnd);
    return out;
  }

  // A new key goes after the last key line of its section, else after its header.
  const std::size_t start = BomLength(fileText);
  std::size_t insertAt = body->first == 0 ? start : lines[body->first - 1].end;
  for (std::size_t i = body->first; i < body->last; ++i) {
    if (lines[i].kind == LineKind::Key) insertAt = lines[i].end;
  }
  out = fileText.substr(0, insertAt);
  if (insertAt > start && out.back() != '\n') out += eol;
  out += KeyLine(key, value, eol);
  out += fileText.substr(insertAt);
  return out;
}

bool IniEngineStore::Remove(std::u16string_view path, std::u16string_view section,
                            std::u16string_view key) {
  if (path.empty()) return false;
  const std::filesystem::path file(std::u16string{path});
  const std::lock_guard lock(mutex_);
  const auto text = ReadFileBytes(file);
  if (!text) return !std::filesystem::exists(file);
  const std::vector<Line> lines = SplitLines(*text);
  const auto body = FindSection(lines, section);
  const auto index = body ? FindKey(lines, *body, key) : std::nullopt;
  if (!index) return true;
  const Line& line = lines[*index];
  return ReplaceFileAtomically(file, text->substr(0, line.begin) + text->substr(line.end));
}

std::u16string IniEngineStore::Read(std::u16string_view path, std::u16string_view section,
                                    std::u16string_view key, std::u16string_view defaultValue,
                                    std::size_t capacity) const {
  if (capacity == 0) return {};
  std::optional<std::u16string> value;
  {
    const std::lock_guard lock(mutex_);
    if (const auto text = ReadFileBytes(std::filesystem::path(std::u16string(path)))) {
      value = FindIniValue(*text, section, key);
    }
  }
  std::u16string result = value ? std::move(*value) : std::u16string(defaultValue);
  if (result.size() > capacity - 1) result.resize(capacity - 1);
  return result;
}

bool IniEngineStore::Write(std::u16string_view path, std::u16string_view section,
                           std::u16string_view key, std::u16string_view value) {
  if (path.empty() || !IsWritableIniEntry(section, key, value)) return false;
  const std::filesystem::path file(std::u16string{path});
  const std::lock_guard lock(mutex_);
  std::error_code error;
  std::string text;
  if (std::filesystem::exists(file, error)) {
    auto existing = ReadFileBytes(file);
    if (!existing) return false;
    text = std::move(*existing);
  } else if (error) {
    return false;
  }
  return ReplaceFileAtomically(file, WithIniValue(text, section, key, value));
}

}  // namespace quilmarr
