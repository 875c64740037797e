#include <gtest/gtest.h>

#include <string>

#include "discovery/ipv4_text.h"
#include "discovery/lldp_frame_view.h"
#include "tests/support/lldp_frames.h"

namespace quilmarr::test {
namespace {

struct Outcome {
  std::string error;  // empty when decoded
  std::string systemName, address, iedName, bootVersion, appVersion, chassis;
};

std::string SliceText(const std::uint8_t* data, std::uint32_t length) {
  return data == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(data), length);
}

Outcome DecodeBytes(const Bytes& bytes) {
  LldpFrameView view = MakeFrameView(bytes);
  Outcome outcome;
  try {
    view.Decode();
  } catch (const CLldpException& e) {
    outcome.error = e.what();
    EXPECT_EQ(view.systemName, nullptr);
    EXPECT_EQ(view.mgmtAddress, nullptr);
    EXPECT_EQ(view.iedName, nullptr);
    EXPECT_EQ(view.bootVersion, nullptr);
    EXPECT_EQ(view.appVersion, nullptr);
    EXPECT_EQ(view.chassisId, nullptr);
    EXPECT_EQ(view.chassisIdLength + view.systemNameLength + view.mgmtAddressLength +
                  view.iedNameLength + view.bootVersionLength + view.appVersionLength,
              0u);
    return outcome;
  }
  outcome.systemName = SliceText(view.systemName, view.systemNameLength);
  if (view.mgmtAddress != nullptr) {
    EXPECT_EQ(view.mgmtAddressLength, 4u);
    for (int i = 0; i < 4; ++i) {
      outcome.address += (i ? "." : "") + std::to_string(view.mgmtAddress[i]);
    }
  }
  outcome.iedName = SliceText(view.iedName, view.iedNameLength);
  outcome.bootVersion = SliceText(view.bootVersion, view.bootVersionLength);
  outcome.appVersion = SliceText(view.appVersion, view.appVersionLength);
  outcome.chassis = ChassisIdText({view.chassisId, view.chassisIdLength});
  return outcome;
}

constexpr const char* kMulticast = "invalid multicast address";
constexpr const char* kEtherType = "invalid ethernet type";
constexpr const char* kIpv4 = "invalid IPV4 address";
constexpr const char* kDescription = "invalid LLDP System Description";
constexpr const char* kPackage = "invalid LLDP package";

TEST(RejectionText, EachReasonHasItsExactText) {
  EXPECT_STREQ(RejectionText(LldpRejection::MulticastAddress), kMulticast);
  EXPECT_STREQ(RejectionText(LldpRejection::EthernetType), kEtherType);
  EXPECT_STREQ(RejectionText(LldpRejection::Ipv4Address), kIpv4);
  EXPECT_STREQ(RejectionText(LldpRejection::SystemDescription), kDescription);
  EXPECT_STREQ(RejectionText(LldpRejection::Package), kPackage);
}

struct FrameCase {
  const char* name;
  Bytes frame;
  const char* error;  // nullptr: decodes
  const char* systemName = "";
  const char* address = "";
  const char* chassis = "";
};

class DecodeFrame : public testing::TestWithParam<FrameCase> {};

TEST_P(DecodeFrame, GivesItsOutcome) {
  const FrameCase& c = GetParam();
  const Outcome outcome = DecodeBytes(c.frame);
  if (c.error != nullptr) {
    EXPECT_EQ(outcome.error, c.error);
  } else {
    ASSERT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.systemName, c.systemName);
    EXPECT_EQ(outcome.address, c.address);
    EXPECT_EQ(outcome.chassis, c.chassis);
  }
}

Bytes Minimal(std::uint8_t destinationLast) {
  return FrameBuilder(destinationLast).SystemName("ied").Ipv4(10, 0, 0, 255).End().Build();
}

Bytes WithByte(Bytes frame, std::size_t index, std::uint8_t value) {
  frame[index] = value;
  return frame;
}

Bytes Prefix(const Bytes& frame, std::size_t length) {
  return Bytes(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(length));
}

Bytes VlanTagged() {
  Bytes frame = Minimal(0x0E);
  frame[12] = 0x81;
  frame[13] = 0x00;
  return frame;
}

Bytes ShortManagementAddress() {
  // Management Address TLV with only string length and subtype: the four
  // address bytes would come from the System Name TLV behind it.
  return FrameBuilder().Tlv(8, Bytes{5, 1}).SystemName("ghost").End().Build();
}

Bytes WithChassis(const Bytes& chassisValue) {
  return FrameBuilder().Tlv(1, chassisValue).SystemName("a").Ipv4(1, 2, 3, 4).End().Build();
}

const FrameCase kFrameCases[] = {
    {"ChassisMac", WithChassis({4, 0xAA, 0xBB, 0x0C, 0, 0, 0xFF}), nullptr, "a", "1.2.3.4",
     "aa:bb:0c:00:00:ff"},
    {"ChassisLocal", WithChassis({7, 'a', 'b', ':'}), nullptr, "a", "1.2.3.4", "7:61623a"},
    {"ChassisTruncated", FrameBuilder().Raw({0x02, 0x07, 0x04, 0xAA}).Build(), kPackage},
    {"NearestBridge", Minimal(0x0E), nullptr, "ied", "10.0.0.255"},
    {"NearestNonTpmrBridge", Minimal(0x03), nullptr, "ied", "10.0.0.255"},
    {"NearestCustomerBridge", Minimal(0x00), nullptr, "ied", "10.0.0.255"},
    {"OtherReservedGroupAddress", Minimal(0x01), kMulticast},
    {"WrongPrefix", WithByte(Minimal(0x0E), 2, 0xC3), kMulticast},
    {"SourceAddressIgnored", WithByte(Minimal(0x0E), 6, 0xFF), nullptr, "ied", "10.0.0.255"},
    {"VlanTag", VlanTagged(), kEtherType},
    {"WrongEtherType", WithByte(Minimal(0x0E), 13, 0xCD), kEtherType},
    {"EmptyFrame", Bytes{}, kMulticast},
    {"FiveBytes", Bytes{0x01, 0x80, 0xC2, 0x00, 0x00}, kMulticast},
    {"HeaderOnly", FrameBuilder().Build(), kPackage},
    {"ThirteenBytes", Prefix(Minimal(0x0E), 13), kEtherType},
    {"EndFirst", FrameBuilder().End().SystemName("x").Ipv4(1, 2, 3, 4).End().Build(), kPackage},
    {"AddressWithoutName", FrameBuilder().Ipv4(1, 2, 3, 4).End().Build(), kPackage},
    {"NameWithoutAddress", FrameBuilder().SystemName("x").End().Build(), kPackage},
    {"EmptyNameCounts", FrameBuilder().SystemName("").Ipv4(1, 2, 3, 4).End().Build(), nullptr, "",
     "1.2.3.4"},
    {"Ipv6Address", FrameBuilder().SystemName("x").Ipv6().End().Build(), kIpv4},
    {"Ipv6AfterIpv4", FrameBuilder().SystemName("x").Ipv4(1, 2, 3, 4).Ipv6().End().Build(), kIpv4},
    {"Ipv6BeforeIpv4", FrameBuilder().SystemName("x").Ipv6().Ipv4(1, 2, 3, 4).End().Build(), kIpv4},
    {"AddressStringLengthNotFive",
     FrameBuilder().SystemName("x").Tlv(8, Bytes{4, 1, 1, 2, 3, 4}).End().Build(), kIpv4},
    {"ShortManagementAddressRegression", ShortManagementAddress(), kIpv4},
    {"ManagementAddressOfOneByte", FrameBuilder().SystemName("x").Tlv(8, Bytes{5}).End().Build(),
     kIpv4},
    {"ManagementAddressWithoutInterfaceFields",
     FrameBuilder().SystemName("x").Tlv(8, Bytes{5, 1, 9, 8, 7, 6}).End().Build(), nullptr, "x",
     "9.8.7.6"},
    {"LaterNameWins", FrameBuilder().SystemName("a").SystemName("b").Ipv4(1, 2, 3, 4).End().Build(),
     nullptr, "b", "1.2.3.4"},
    {"LaterAddressWins",
     FrameBuilder().SystemName("a").Ipv4(1, 2, 3, 4).Ipv4(5, 6, 7, 8).End().Build(), nullptr, "a",
     "5.6.7.8"},
    {"LongOrgTlvSteppedOver",
     FrameBuilder().Tlv(127, Bytes(300, 0xAB)).SystemName("a").Ipv4(1, 2, 3, 4).End().Build(),
     nullptr, "a", "1.2.3.4"},
    {"MaximumTlvLength",
     FrameBuilder().Tlv(127, Bytes(511, 0x05)).SystemName("a").Ipv4(1, 2, 3, 4).End().Build(),
     nullptr, "a", "1.2.3.4"},
    {"DescriptionFailsBeforeMissingName",
     FrameBuilder().SystemDescription("nothing here").Ipv4(1, 2, 3, 4).End().Build(), kDescription},
    {"NoEndTlv", FrameBuilder().SystemName("a").Ipv4(1, 2, 3, 4).Build(), kPackage},
    {"TlvValueCrossesEnd",
     FrameBuilder().SystemName("a").Ipv4(1, 2, 3, 4).Raw({0x0A, 0x10, 'x'}).Build(), kPackage},
    {"OneByteLeftForHeader", FrameBuilder().SystemName("a").Ipv4(1, 2, 3, 4).Raw({0x00}).Build(),
     kPackage},
    {"BytesAfterEndIgnored",
     FrameBuilder().SystemName("a").Ipv4(1, 2, 3, 4).End().Raw({0xDE, 0xAD, 0xBE, 0xEF}).Build(),
     nullptr, "a", "1.2.3.4"},
    {"EndWithNonZeroLength",
     FrameBuilder().SystemName("a").Ipv4(1, 2, 3, 4).Raw({0x01, 0xFF}).Build(), nullptr, "a",
     "1.2.3.4"},
};

INSTANTIATE_TEST_SUITE_P(Frames, DecodeFrame, testing::ValuesIn(kFrameCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(DecodeFrame, WithoutSystemDescriptionLeavesTheThreeValuesEmpty) {
  const Outcome outcome =
      DecodeBytes(FrameBuilder().SystemName("n").Ipv4(1, 2, 3, 4).End().Build());
  ASSERT_EQ(outcome.error, "");
  EXPECT_EQ(outcome.iedName, "");
  EXPECT_EQ(outcome.bootVersion, "");
  EXPECT_EQ(outcome.appVersion, "");
}

TEST(DecodeFrame, SlicesPointIntoTheFrameCopy) {
  LldpFrameView view = MakeFrameView(test::DeviceFrame("bay-1", 5));
  view.Decode();
  const auto* begin = view.frame.get();
  const auto* end = begin + view.frameLength;
  for (const auto* p :
       {view.systemName, view.mgmtAddress, view.iedName, view.bootVersion, view.appVersion}) {
    EXPECT_GE(p, begin);
    EXPECT_LT(p, end);
  }
}

struct DescriptionCase {
  const char* name;
  std::string description;
  const char* error;
  std::string boot = "";
  std::string app = "";
  std::string ied = "";
};

class SystemDescription : public testing::TestWithParam<DescriptionCase> {};

TEST_P(SystemDescription, ParsesPairs) {
  const DescriptionCase& c = GetParam();
  const Outcome outcome = DecodeBytes(FrameBuilder()
                                          .SystemName("n")
                                          .Ipv4(1, 2, 3, 4)
                                          .SystemDescription(c.description)
                                          .End()
                                          .Build());
  if (c.error != nullptr) {
    EXPECT_EQ(outcome.error, c.error);
    return;
  }
  ASSERT_EQ(outcome.error, "");
  EXPECT_EQ(outcome.bootVersion, c.boot);
  EXPECT_EQ(outcome.appVersion, c.app);
  EXPECT_EQ(outcome.iedName, c.ied);
}

using namespace std::string_literals;

const DescriptionCase kDescriptionCases[] = {
    {"AllThree", "BootVer:1.0.2 & AppVer:4.1.7 & IDE Name:FEEDER_7", nullptr, "1.0.2", "4.1.7",
     "FEEDER_7"},
    {"OtherOrder", "IDE Name:FEEDER_7 & AppVer:4.1.7 & BootVer:1.0.2", nullptr, "1.0.2", "4.1.7",
     "FEEDER_7"},
    {"LeadingBlankBelongsToValue", "BootVer:1 & AppVer:2 & IDE Name: FEEDER_7", nullptr, "1", "2",
     " FEEDER_7"},
    {"ValueKeepsColons", "AppVer:4.1:7 & BootVer:1 & IDE Name:F", nullptr, "1", "4.1:7", "F"},
    {"LastValueRunsToTheEnd", "BootVer:1 & AppVer:2 & IDE Name:F  \0\0"s, nullptr, "1", "2",
     "F  \0\0"s},
    {"KeyCaseMatters", "bootver:1 & AppVer:2 & IDE Name:F", kDescription},
    {"BlankBeforeColon", "BootVer :1 & AppVer:2 & IDE Name:F", kDescription},
    {"UnknownKeyFirstSwallowsTheRest", "Model:X1 & BootVer:1 & AppVer:2 & IDE Name:F",
     kDescription},
    {"UnknownKeyLastIgnored", "BootVer:1 & AppVer:2 & IDE Name:F & Model:X1", nullptr, "1", "2",
     "F"},
    {"NoBlanksAroundAmpersand", "BootVer:1&AppVer:2&IDE Name:F", kDescription},
    {"EmptyValue", "BootVer: & AppVer:2 & IDE Name:F", kDescription},
    {"LaterDuplicateWins", "BootVer: & AppVer:2 & IDE Name:F & BootVer:3", nullptr, "3", "2", "F"},
    {"EmptyTlv", "", kDescription},
    {"NoColon", "just text", kDescription},
    {"ZeroByteIsOrdinary", "BootVer:1\0x & AppVer:2 & IDE Name:F"s, nullptr, "1\0x"s, "2", "F"},
    {"ValueEndingAtTlvEnd", "AppVer:2 & IDE Name:F & BootVer:", kDescription},
};

INSTANTIATE_TEST_SUITE_P(Grammar, SystemDescription, testing::ValuesIn(kDescriptionCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(SystemDescription, EveryTlvOfAFrameMustLeaveAllThreeKeysSet) {
  const Bytes split = FrameBuilder()
                          .SystemName("n")
                          .Ipv4(1, 2, 3, 4)
                          .SystemDescription("BootVer:1 & AppVer:2")
                          .SystemDescription("IDE Name:F")
                          .End()
                          .Build();
  EXPECT_EQ(DecodeBytes(split).error, kDescription);
  const Bytes complement = FrameBuilder()
                               .SystemName("n")
                               .Ipv4(1, 2, 3, 4)
                               .SystemDescription("BootVer:1 & AppVer:2 & IDE Name:F")
                               .SystemDescription("AppVer:3")
                               .End()
                               .Build();
  const Outcome outcome = DecodeBytes(complement);
  ASSERT_EQ(outcome.error, "");
  EXPECT_EQ(outcome.appVersion, "3");
}

// Every prefix of a good frame must be rejected cleanly, with the text of the
// first check that needs the missing bytes; run under AddressSanitizer this
// also proves nothing past the end is read (the copy is exactly that long).
TEST(TruncationSweep, EveryPrefixRejectsWithTheCheckThatNeedsTheMissingBytes) {
  const Bytes frames[] = {
      test::DeviceFrame("bay-1", 5),
      FrameBuilder().Tlv(127, Bytes(300, 1)).SystemName("x").Ipv4(1, 2, 3, 4).End().Build(),
      FrameBuilder(0x03).SystemName("").Ipv4(0, 0, 0, 0).Ipv4(10, 0, 0, 1).End().Build(),
  };
  for (const Bytes& frame : frames) {
    ASSERT_EQ(DecodeBytes(frame).error, "");
    for (std::size_t length = 0; length < frame.size(); ++length) {
      const char* expected = length < 6 ? kMulticast : length < 14 ? kEtherType : kPackage;
      EXPECT_EQ(DecodeBytes(Prefix(frame, length)).error, expected)
          << "prefix of " << length << " bytes";
    }
  }
}

TEST(CheckEthernetHeader, AgreesWithTheDecodersFirstTwoChecks) {
  EXPECT_EQ(CheckEthernetHeader(Minimal(0x0E)), LldpRejection::None);
  EXPECT_EQ(CheckEthernetHeader(Minimal(0x01)), LldpRejection::MulticastAddress);
  EXPECT_EQ(CheckEthernetHeader(VlanTagged()), LldpRejection::EthernetType);
  EXPECT_EQ(CheckEthernetHeader(Bytes{}), LldpRejection::MulticastAddress);
  EXPECT_EQ(CheckEthernetHeader(FrameBuilder().Build()), LldpRejection::None);
}

// A management address is only a target when it names one reachable host.
TEST(Ipv4Text, UnicastHostAddressIsOnlyADottedQuadOutsideTheSpecialRanges) {
  const struct {
    const char16_t* text;
    bool host;
  } cases[] = {
      {u"192.168.0.1", true},  {u"1.0.0.0", true},          {u"126.255.255.255", true},
      {u"128.0.0.1", true},    {u"223.255.255.254", true},  {u"10.0.0.255", true},
      {u"0.0.0.0", false},     {u"0.1.2.3", false},         {u"127.0.0.1", false},
      {u"127.255.0.9", false}, {u"224.0.0.1", false},       {u"239.255.255.255", false},
      {u"240.0.0.1", false},   {u"255.255.255.255", false}, {u"", false},
      {u"1.2.3", false},       {u"1.2.3.4.5", false},       {u"256.1.1.1", false},
      {u"1.2.3.4 ", false},    {u" 1.2.3.4", false},        {u"1.2.3.-4", false},
      {u"010.0.0.1", false},   {u"\uFF11.2.3.4", false},    {u"1.2.3.4\u0100", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsUnicastHostAddress(c.text), c.host) << "case " << &c - cases;
}

}  // namespace
}  // namespace quilmarr::test
