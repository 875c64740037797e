#pragma once
// Comma-separated values as RFC 4180 writes them, in UTF-8.
#include <string>
#include <string_view>
#include <vector>

namespace quilmarr {

// One cell: the field quoted, a quote inside doubled. Text that starts with
// '=', '+', '-', '@', a tab or a carriage return gets a leading apostrophe, so
// a spreadsheet shows it as text instead of running it as a formula (OWASP's
// advice against CSV injection: these texts come from devices on the wire).
[[nodiscard]] std::string CsvCell(std::u16string_view field);

// One record: every field written by CsvCell, fields separated by commas, the
// record ended by CRLF.
[[nodiscard]] std::string CsvRecord(const std::vector<std::u16string>& fields);

}  // namespace quilmarr
