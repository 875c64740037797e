#include "platform/csv.h"

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

}  // namespace quilmarr
