#pragma once
// Comma-separated values as RFC 4180 writes them, in UTF-8.
#include <cstddef>
#include <functional>
#include <optional>
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

// Why a text is not read as CSV, and the line (from 1) of the record at fault.
struct CsvFault {
  std::size_t line = 0;
  std::u16string reason;
};

// Given one record's fields and the line it starts on; a reason stops the reading.
using CsvRecordHandler = std::function<std::optional<std::u16string>(
    std::vector<std::u16string>& fields, std::size_t line)>;

// Reads RFC 4180 records from UTF-8 text (an optional byte order mark, records
// ended by CRLF or LF, quoted fields holding commas, quotes doubled and line
// breaks), handing each to `onRecord` in order. Nullopt when every record was
// read; else the handler's reason or "unterminated quoted field", "quote
// inside an unquoted field", "text after a closing quote", "not UTF-8 text".
[[nodiscard]] std::optional<CsvFault> ReadCsvRecords(std::string_view text,
                                                     const CsvRecordHandler& onRecord);

}  // namespace quilmarr
