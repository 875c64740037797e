#include "platform/csv.h"

#include <utf8.h>

#include "platform/text.h"

namespace quilmarr {

std::string CsvCell(std::u16string_view field) {
  std::string cell(1, '"');
  if (!field.empty() && std::u16string_view(u"=+-@\t\r").find(field.front()) != field.npos) {
    cell += '\'';
  }
  for (const char c : ToUtf8(field)) {
    if (c == '"') cell += '"';
    cell += c;
  }
  cell += '"';
  return cell;
}

std::string CsvRecord(const std::vector<std::u16string>& fields) {
  std::string record;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) record += ',';
    record += CsvCell(fields[i]);
  }
  record += "\r\n";
  return record;
}

namespace {

bool AtLineEnd(std::string_view text, std::size_t i) noexcept {
  return text[i] == '\n' || (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
}

}  // namespace

std::optional<CsvFault> ReadCsvRecords(std::string_view text, const CsvRecordHandler& onRecord) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  const std::size_t n = text.size();
  std::size_t i = 0;
  std::size_t line = 1;
  std::vector<std::u16string> fields;
  std::string field;
  while (i < n) {
    const std::size_t recordLine = line;
    auto fault = [recordLine](std::u16string_view reason) {
      return CsvFault{recordLine, std::u16string(reason)};
    };
    fields.clear();
    for (;;) {
      field.clear();
      if (i < n && text[i] == '"') {
        for (++i;; ++i) {
          if (i == n) return fault(u"unterminated quoted field");
          if (text[i] == '"') {
            if (i + 1 < n && text[i + 1] == '"') {
              ++i;
            } else {
              break;
            }
          } else if (text[i] == '\n') {
            ++line;
          }
          field += text[i];
        }
        ++i;  // the closing quote
        if (i < n && text[i] != ',' && !AtLineEnd(text, i)) {
          return fault(u"text after a closing quote");
        }
      } else {
        for (; i < n && text[i] != ',' && !AtLineEnd(text, i); ++i) {
          if (text[i] == '"') return fault(u"quote inside an unquoted field");
          field += text[i];
        }
      }
      if (!utf8::is_valid(field.begin(), field.end())) return fault(u"not UTF-8 text");
      fields.push_back(FromUtf8(field));
      if (i == n || text[i] != ',') break;
      ++i;
    }
    if (i < n) {
      i += text[i] == '\r' ? 2u : 1u;
      ++line;
    }
    if (auto reason = onRecord(fields, recordLine)) return fault(*reason);
  }
  return std::nullopt;
}

}  // namespace quilmarr
