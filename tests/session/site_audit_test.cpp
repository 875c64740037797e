// The site audit over a device table filled through the packet pipeline.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "platform/text.h"
#include "session/device_rows.h"
#include "session/site_audit.h"
#include "tests/support/fake_clock.h"
#include "tests/support/lldp_frames.h"

namespace quilmarr::test {
namespace {

void Hear(DeviceTable& table, const FakeClock& clock, int last, std::string_view app,
          std::uint8_t chassis = 1) {
  DeviceAnnouncement device;
  device.ip = {10, 0, 0, static_cast<std::uint8_t>(last)};
  device.appVersion = app;
  device.chassis[5] = chassis;
  ASSERT_NE(ProcessCapturedFrame(LldpFrame(device), table, clock), nullptr);
}

TEST(SiteAuditTest, EachRosterRowThenEachUnlistedDeviceGetsItsState) {
  FakeClock clock;
  DeviceTable table;
  Hear(table, clock, 9, "4.1.7");  // heard too long ago to count
  clock.Advance(kFreshSeconds + 1);
  Hear(table, clock, 1, "4.1.7\r\n");  // padded
  for (const int last : {6, 3, 5, 4}) Hear(table, clock, last, "4.1.7");
  Hear(table, clock, 2, "4.1.6");
  Hear(table, clock, 4, "4.1.7", 2);  // a second device announcing 10.0.0.4
  Hear(table, clock, 7, "4.1.7", 3);
  Hear(table, clock, 7, "4.1.7", 4);
  const auto roster =
      std::get<SiteRoster>(ParseSiteRoster("IP,System Name,IED Name,Target App Version,Update\n"
                                           "10.0.0.1,,,4.1.7,yes\n"
                                           "10.0.0.2,BAY-1,FEEDER_1,4.1.7,yes\n"
                                           "10.0.0.3,BAY-1,FEEDER_9,4.1.7,yes\n"
                                           "10.0.0.4,BAY-1,FEEDER_1,4.1.7,yes\n"
                                           "10.0.0.9,BAY-9,FEEDER_9,5.0,no\n"
                                           "10.0.0.5,OTHER,,5.0,yes\n",
                                           u"r"));

  const auto rows = AuditSite(roster, table, clock.Now());
  std::string states;
  for (const AuditRow& row : rows) {
    states += ToUtf8(row.ip + u' ' + std::u16string(AuditStateText(row.state))) + ';';
  }
  EXPECT_EQ(states,
            "10.0.0.1 OK;10.0.0.2 Off target;10.0.0.3 Identity mismatch;10.0.0.4 Address "
            "conflict;10.0.0.9 Missing;10.0.0.5 Identity mismatch;10.0.0.6 Unexpected;"
            "10.0.0.7 Address conflict;");
  EXPECT_FALSE(AuditPassed(rows));
  EXPECT_TRUE(AuditPassed({rows[0]}));

  const std::string csv = AuditCsv({rows[1], rows[4], rows[6]});
  EXPECT_EQ(csv,
            "\"IP\",\"State\",\"System Name\",\"IED Name\",\"App Version\",\"Target App "
            "Version\"\r\n"
            "\"10.0.0.2\",\"Off target\",\"BAY-1\",\"FEEDER_1\",\"4.1.6\",\"4.1.7\"\r\n"
            "\"10.0.0.9\",\"Missing\",\"BAY-9\",\"FEEDER_9\",\"\",\"5.0\"\r\n"
            "\"10.0.0.6\",\"Unexpected\",\"BAY-1\",\"FEEDER_1\",\"4.1.7\",\"\"\r\n");

  std::string statuses;
  for (const auto& record : table) {
    statuses += ToUtf8(RosterStatus(&roster, *record, clock.Now())) + ';';
  }
  EXPECT_EQ(statuses,
            "Names differ;At target;Not on roster;Names differ;Names differ;Address conflict;"
            "Off target;Address conflict;");
  EXPECT_EQ(RosterStatus(nullptr, *table[0], clock.Now()), u"");
}

}  // namespace
}  // namespace quilmarr::test
