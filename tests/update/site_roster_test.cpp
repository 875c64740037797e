#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "platform/text.h"
#include "update/site_roster.h"

namespace quilmarr::test {
namespace {

TEST(SiteRosterTest, ReadsRowsInFileOrder) {
  const auto roster = ParseSiteRoster(
      "\xEF\xBB\xBF Ip ,Notes,system name,IED NAME,Target App Version,update\r\n"
      "10.0.0.2,\"feeder 2, west\",BAY-2,,\"4.\"\"2\"\"\",YES\r\n"
      "\r\n"
      "10.0.0.1,\"two\nlines\", BAY-1 ,F1,4.1,No",
      u"site.csv");
  ASSERT_TRUE(std::holds_alternative<SiteRoster>(roster)) << ToUtf8(std::get<1>(roster));
  const auto& rows = std::get<SiteRoster>(roster).rows;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].ip, u"10.0.0.2");
  EXPECT_EQ(rows[0].systemName, u"BAY-2");
  EXPECT_EQ(rows[0].iedName, u"");
  EXPECT_EQ(rows[0].targetVersion, u"4.\"2\"");
  EXPECT_TRUE(rows[0].update);
  EXPECT_EQ(rows[0].line, 2u);
  EXPECT_EQ(rows[1].ip, u"10.0.0.1");
  EXPECT_EQ(rows[1].systemName, u"BAY-1");
  EXPECT_FALSE(rows[1].update);
  EXPECT_EQ(rows[1].line, 4u);
}

TEST(SiteRosterTest, RefusesAMalformedRosterWithTheLineOfTheRecord) {
  const std::string header = "IP,System Name,IED Name,Target App Version,Update\n";
  std::string tooMany = header;
  for (std::size_t i = 0; i <= kMaxRosterRows; ++i) {
    tooMany += "10." + std::to_string(i >> 16) + '.' + std::to_string((i >> 8) & 255) + '.' +
               std::to_string(i & 255) + ",A,B,1,yes\n";
  }
  const struct {
    std::string text;
    std::string refusal;
  } cases[] = {
      {tooMany, "line 100002: more than 100000 rows"},
      {"", "line 1: no header row"},
      {"IP,System Name,IED Name,Target,Update\n", "line 1: no column \"Target App Version\""},
      {"IP,ip,System Name,IED Name,Target App Version,Update\n",
       "line 1: column \"IP\" appears twice"},
      {header + "10.0.0.1,A,B,1,maybe\n", "line 2: Update must be yes or no, not \"maybe\""},
      {header + "10.0.0.1,\"a\nb\",B,1,yes\n10.0.0.300,A,B,1,yes\n",
       "line 4: 10.0.0.300 is not an IPv4 address"},
      {header + "10.0.0.01,A,B,1,yes\n", "line 2: 10.0.0.01 is not an IPv4 address"},
      {header + "255.255.255.255,A,B,1,yes\n", "line 2: 255.255.255.255 is not a device address"},
      {header + "10.0.0.7,A,B,1,yes\n10.0.0.7,A,B,1,no\n", "line 3: 10.0.0.7 is listed twice"},
      {header + "10.0.0.7,A,B,,yes\n", "line 2: no Target App Version"},
      {header + ",A,B,1,yes\n", "line 2: no IP"},
      {header + "10.0.0.7,A,B,1\n", "line 2: 4 fields where the header has 5"},
      {header + "10.0.0.7,\"A,B,1,yes\n", "line 2: unterminated quoted field"},
      {header + "10.0.0.7,A\"x,B,1,yes\n", "line 2: quote inside an unquoted field"},
      {header + "10.0.0.7,\"A\"x,B,1,yes\n", "line 2: text after a closing quote"},
      {header + "10.0.0.7,\xC4,B,1,yes\n", "line 2: not UTF-8 text"},
  };
  for (const auto& c : cases) {
    const auto roster = ParseSiteRoster(c.text, u"site.csv");
    ASSERT_TRUE(std::holds_alternative<std::u16string>(roster)) << c.refusal;
    EXPECT_EQ(ToUtf8(std::get<std::u16string>(roster)), "Roster site.csv, " + c.refusal);
  }
}

}  // namespace
}  // namespace quilmarr::test
