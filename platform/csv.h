#pragma once
// Comma-separated values as RFC 4180 writes them, in UTF-8.
#include <string>
#include <string_view>
#include <vector>

namespace quilmarr {

// One record: every field quoted, a quote inside a field doubled, fields
// separated by commas, the record ended by CRLF.
[[nodiscard]] std::string CsvRecord(const std::vector<std::u16string>& fields);

}  // namespace quilmarr
