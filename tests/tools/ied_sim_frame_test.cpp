#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "discovery/lldp_frame_view.h"
#include "tools/ied-sim/device_state.h"
#include "discovery/lldp_constants.h"
#include "tools/ied-sim/lldp_announcement.h"
#include "tests/support/temp_folder.h"

namespace quilmarr::test {
namespace {

using namespace iedsim;

std::string Slice(const std::uint8_t* p, std::uint32_t n) {
  return {reinterpret_cast<const char*>(p), n};
}

TEST(IedSimFrame, DecoderReadsEveryField) {
  Announcement a;
  a.source = DeviceMac(258);
  a.managementAddress = {192, 0, 2, 7};
  a.systemName = "BAY-258";
  a.systemDescription = SystemDescription("B1.2", "A3.4", "BAY_258");
  const auto frame = BuildAnnouncementFrame(a);

  auto view = MakeFrameView(frame);
  ASSERT_NO_THROW(view.Decode());
  EXPECT_EQ(Slice(view.mgmtAddress, view.mgmtAddressLength), std::string("\xC0\x00\x02\x07", 4));
  EXPECT_EQ(Slice(view.systemName, view.systemNameLength), "BAY-258");
  EXPECT_EQ(Slice(view.iedName, view.iedNameLength), "BAY_258");
  EXPECT_EQ(Slice(view.bootVersion, view.bootVersionLength), "B1.2");
  EXPECT_EQ(Slice(view.appVersion, view.appVersionLength), "A3.4");
  EXPECT_EQ(CheckEthernetHeader(frame), LldpRejection::None);
  // Source address: locally administered, unicast, index in the last two bytes.
  EXPECT_EQ(frame[6], 0x02);
  EXPECT_EQ(frame[10], 1);
  EXPECT_EQ(frame[11], 2);
}

TEST(IedSimFrame, LongTextsAreCutToOneTlv) {
  Announcement a;
  a.systemName = std::string(600, 'n');
  a.systemDescription = SystemDescription("1", "2", "x");
  auto view = MakeFrameView(BuildAnnouncementFrame(a));
  ASSERT_NO_THROW(view.Decode());
  EXPECT_EQ(view.systemNameLength, lldp::kMaxTlvValueLength);
}

TEST(IedSimFrame, FloodFrameIsGooseSizedAndNotLldp) {
  const auto frame = BuildFloodFrame(DeviceMac(1));
  EXPECT_EQ(frame.size(), 200u);
  EXPECT_EQ(frame[12], 0x88);
  EXPECT_EQ(frame[13], 0xB8);
  EXPECT_EQ(frame[0], 0x01);
  EXPECT_EQ(frame[5], 0x01);
  EXPECT_NE(CheckEthernetHeader(frame), LldpRejection::None);
}

TEST(IedSimAddress, ParseIpv4AcceptsOnlyDottedDecimal) {
  const std::pair<const char*, bool> cases[] = {
      {"10.0.0.1", true}, {"255.255.255.255", true}, {"0.0.0.0", true},   {"256.0.0.1", false},
      {"1.2.3", false},   {"1.2.3.4.5", false},      {"1.2.3.4 ", false}, {"a.b.c.d", false},
      {"", false},        {"1..2.3", false},         {"-1.2.3.4", false}, {"0001.2.3.4", false},
  };
  for (const auto& [text, valid] : cases) EXPECT_EQ(ParseIpv4(text).has_value(), valid) << text;
  EXPECT_EQ(FormatIpv4(*ParseIpv4("10.20.30.40")), "10.20.30.40");
}

TEST(IedSimAddress, DeviceAddressCarriesAcrossBytesAndStopsAtTheTop) {
  EXPECT_EQ(FormatIpv4(*DeviceAddress({10, 0, 0, 250}, 10)), "10.0.1.4");
  EXPECT_EQ(FormatIpv4(*DeviceAddress({255, 255, 255, 254}, 1)), "255.255.255.255");
  EXPECT_FALSE(DeviceAddress({255, 255, 255, 254}, 2).has_value());
}

// --chassis: two runs with different ones put two devices on one address.
TEST(IedSimAddress, ChassisIsAMacTextAndCarriesAcrossBytes) {
  EXPECT_EQ(ParseMac("02:00:0A:ff:00:01"), (MacAddress{2, 0, 10, 0xFF, 0, 1}));
  EXPECT_FALSE(ParseMac("02-00-0A-ff-00-01").has_value());
  EXPECT_EQ(DeviceMac({2, 0, 0, 0, 0xFF, 0xFE}, 3), (MacAddress{2, 0, 0, 1, 0, 1}));
  EXPECT_FALSE(DeviceMac({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}, 2).has_value());
}

class DeviceStateTest : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& content) {
    WriteBytes(folder_.File(name), content);
  }
  DeviceState Read(std::int64_t now) {
    return ReadDeviceState(folder_.Path(), "10.0.0.1", "dflt", now);
  }
  TempFolder folder_;
};

TEST_F(DeviceStateTest, NoFilesMeansDefaultVersionAndSending) {
  const auto state = Read(1000);
  EXPECT_EQ(state.appVersion, "dflt");
  EXPECT_FALSE(state.silent);
}

TEST_F(DeviceStateTest, AppVersionIsTheFirstLineWithOrWithoutNewline) {
  for (const char* content : {"2.0.1", "2.0.1\n", "2.0.1\r\n", "2.0.1\nignored\n"}) {
    Write("10.0.0.1.app", content);
    EXPECT_EQ(Read(0).appVersion, "2.0.1") << content;
  }
}

TEST_F(DeviceStateTest, SilentWhileNowIsBeforeTheGivenTime) {
  const std::tuple<const char*, std::int64_t, bool> cases[] = {
      {"2000\n", 1999, true}, {"2000", 2000, false}, {"2000", 2001, false},
      {"soon", 0, false},     {"", 0, false},        {"3000 \n", 100, true},
  };
  for (const auto& [content, now, silent] : cases) {
    Write("10.0.0.1.silent-until", content);
    EXPECT_EQ(Read(now).silent, silent) << content << " at " << now;
  }
}

}  // namespace
}  // namespace quilmarr::test
