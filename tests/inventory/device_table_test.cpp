#include <gtest/gtest.h>

#include "inventory/device_table.h"
#include "tests/support/fake_clock.h"
#include "tests/support/lldp_frames.h"

namespace quilmarr::test {
namespace {

Bytes Frame(std::uint8_t lastOctet, std::string_view name, std::string_view boot,
            std::string_view app, std::string_view ied) {
  const std::string description = "BootVer:" + std::string(boot) + " & AppVer:" + std::string(app) +
                                  " & IDE Name:" + std::string(ied);
  return FrameBuilder()
      .SystemName(name)
      .Ipv4(192, 168, 0, lastOctet)
      .SystemDescription(description)
      .End()
      .Build();
}

class DeviceTableTest : public testing::Test {
 protected:
  void Feed(const Bytes& frame) { ProcessCapturedFrame(frame, table, clock); }
  FakeClock clock;
  DeviceTable table;
};

TEST_F(DeviceTableTest, FirstFrameCreatesARecordWithBothVersionsEqual) {
  Feed(Frame(5, "bay-5", "1.0", "V1", "IED_5"));
  ASSERT_EQ(table.size(), 1u);
  const DeviceRecord& r = *table[0];
  EXPECT_EQ(r.ipText, u"192.168.0.5");
  EXPECT_EQ(r.systemName, u"bay-5");
  EXPECT_EQ(r.iedName, u"IED_5");
  EXPECT_EQ(r.bootVersion, u"1.0");
  EXPECT_EQ(r.originalAppVersion, u"V1");
  EXPECT_EQ(r.currentAppVersion, u"V1");
  EXPECT_EQ(r.lastSeen, clock.Now());
}

TEST_F(DeviceTableTest, LaterFrameRefreshesTheRecordButKeepsTheFirstAppVersionAndOrder) {
  Feed(Frame(5, "bay-5", "1.0", "V1", "IED_5"));
  Feed(Frame(6, "bay-6", "1.0", "V1", "IED_6"));
  clock.Advance(30);
  Feed(Frame(5, "bay-5b", "1.1", "V2", "IED_5b"));
  ASSERT_EQ(table.size(), 2u);
  const DeviceRecord& r = *table[0];
  EXPECT_EQ(r.ipText, u"192.168.0.5");
  EXPECT_EQ(r.originalAppVersion, u"V1");
  EXPECT_EQ(r.currentAppVersion, u"V2");
  EXPECT_EQ(r.bootVersion, u"1.1");
  EXPECT_EQ(r.systemName, u"bay-5b");
  EXPECT_EQ(r.iedName, u"IED_5b");
  EXPECT_EQ(r.lastSeen, clock.Now());
  EXPECT_EQ(table[1]->ipText, u"192.168.0.6");
}

TEST_F(DeviceTableTest, FrameWithoutDescriptionEmptiesTheLatestValuesOnly) {
  Feed(Frame(5, "bay-5", "1.0", "V1", "IED_5"));
  Feed(FrameBuilder().SystemName("bay-5").Ipv4(192, 168, 0, 5).End().Build());
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0]->originalAppVersion, u"V1");
  EXPECT_EQ(table[0]->currentAppVersion, u"");
  EXPECT_EQ(table[0]->bootVersion, u"");
  EXPECT_EQ(table[0]->iedName, u"");
}

TEST_F(DeviceTableTest, RejectedFrameChangesNothing) {
  Feed(Frame(5, "bay-5", "1.0", "V1", "IED_5"));
  Bytes broken = Frame(5, "other", "9", "V9", "X");
  broken[5] = 0x01;  // not an LLDP destination
  Feed(broken);
  Feed(Bytes{});
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0]->systemName, u"bay-5");
}

TEST_F(DeviceTableTest, IedNameEndsAtAZeroByteButOtherFieldsDoNot) {
  using namespace std::string_literals;
  Feed(Frame(5, "na\0me"s, "1\0b"s, "V\0x"s, "IED\0tail"s));
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0]->iedName, u"IED");
  EXPECT_EQ(table[0]->systemName, u"na\0me"s);
  EXPECT_EQ(table[0]->bootVersion, u"1\0b"s);
  EXPECT_EQ(table[0]->currentAppVersion, u"V\0x"s);
}

TEST_F(DeviceTableTest, TextIsUtf8WithInvalidBytesReplaced) {
#ifdef _WIN32
  GTEST_SKIP() << "narrow text is the ANSI code page on Windows";
#endif
  Feed(Frame(5,
             "Umspannwerk S\xC3\xBC"
             "d",
             "1", "2", "Feld\xFF"));
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0]->systemName, u"Umspannwerk S\u00FCd");
  EXPECT_EQ(table[0]->iedName, u"Feld\uFFFD");
}

TEST_F(DeviceTableTest, ClearEmptiesAndTheNextFrameStartsAFreshRecord) {
  Feed(Frame(5, "bay-5", "1.0", "V1", "IED_5"));
  ClearDeviceTable(table);
  EXPECT_TRUE(table.empty());
  Feed(Frame(5, "bay-5", "1.0", "V2", "IED_5"));
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0]->originalAppVersion, u"V2");
}

TEST(FormatIpv4, NoLeadingZerosOrBlanks) {
  const std::uint8_t cases[][4] = {{10, 0, 0, 255}, {0, 0, 0, 0}, {255, 255, 255, 255}};
  const char* texts[] = {"10.0.0.255", "0.0.0.0", "255.255.255.255"};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(FormatIpv4(cases[i]), texts[i]);
}

TEST(HasSameIp, ComparesWholeTextsCaseSensitively) {
  DeviceRecord a, b;
  a.ipText = u"192.168.0.1";
  b.ipText = u"192.168.0.10";
  EXPECT_FALSE(HasSameIp(a, b));
  b.ipText = u"192.168.0.1";
  EXPECT_TRUE(HasSameIp(a, b));
}

}  // namespace
}  // namespace quilmarr::test
