// The text formats the tool writes for other programs: CSV records and times.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/csv.h"
#include "platform/local_time.h"

namespace quilmarr::test {
namespace {

TEST(CsvRecordTest, QuotesEveryFieldAndDoublesQuotes) {
  EXPECT_EQ(
      CsvRecord({u"192.168.0.1", u"", u"a,b", u"say \"hi\"", u"two\r\nlines", u"Zürich"}),
      "\"192.168.0.1\",\"\",\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",\"Z\xC3\xBCrich\"\r\n");
  EXPECT_EQ(CsvRecord({}), "\r\n");
}

// Cells come from devices on the wire: one that a spreadsheet would run as a
// formula gets a leading apostrophe (OWASP), and stays RFC 4180-quoted.
TEST(CsvRecordTest, FormulaStartsAreNeutralised) {
  const struct {
    const char16_t* field;
    const char* cell;
  } cases[] = {
      {u"=1+1", "\"'=1+1\""}, {u"+1", "\"'+1\""},
      {u"-1", "\"'-1\""},     {u"@SUM(A1)", "\"'@SUM(A1)\""},
      {u"\tx", "\"'\tx\""},   {u"\rx", "\"'\rx\""},
      {u"1-2", "\"1-2\""},    {u"", "\"\""},
      {u"a,b", "\"a,b\""},    {u"=a,\"b\"", "\"'=a,\"\"b\"\"\""},
  };
  for (const auto& c : cases) EXPECT_EQ(CsvRecord({c.field}), std::string(c.cell) + "\r\n");
}

#ifndef _WIN32
// Sets TZ for one scope.
class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  TimeZone(const TimeZone&) = delete;
  TimeZone& operator=(const TimeZone&) = delete;
  ~TimeZone() {
    if (saved_) {
      ::setenv("TZ", saved_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  std::optional<std::string> saved_;
};

TEST(LocalTimeTest, Iso8601CarriesTheOffsetOfTheLocalZone) {
  constexpr UnixSeconds kTime = 1'765'098'930;  // 2025-12-07 09:15:30 UTC
  {
    const TimeZone utc("UTC0");
    EXPECT_EQ(Iso8601LocalTime(kTime), "2025-12-07T09:15:30+00:00");
    EXPECT_EQ(FileNameLocalTime(kTime), "20251207-091530");
  }
  {
    const TimeZone east("XST-5:30");  // POSIX signs: 5:30 east of Greenwich
    EXPECT_EQ(Iso8601LocalTime(kTime), "2025-12-07T14:45:30+05:30");
  }
  {
    const TimeZone west("XST3");
    EXPECT_EQ(Iso8601LocalTime(kTime), "2025-12-07T06:15:30-03:00");
    EXPECT_EQ(Iso8601LocalTime(0), "1969-12-31T21:00:00-03:00");
  }
}
#endif

}  // namespace
}  // namespace quilmarr::test
