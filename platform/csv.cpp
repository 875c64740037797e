#include "platform/csv.h"

#include "platform/text.h"

namespace quilmarr {

std::string CsvRecord(const std::vector<std::u16string>& fields) {
  std::string record;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) record += ',';
    record += '"';
    for (const char c : ToUtf8(fields[i])) {
      if (c == '"') record += '"';
      record += c;
    }
    record += '"';
  }
  record += "\r\n";
  return record;
}

}  // namespace quilmarr
