#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "discovery/adapters.h"
#include "discovery/ipv4_subnet.h"
#include "platform/text.h"
#include "tests/support/fake_interface_lister.h"

namespace quilmarr::test {
namespace {

constexpr int kIpv6 = 10;

InterfaceAddressEntry V4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  return {kAddressFamilyIpv4, {a, b, c, d}, std::nullopt};
}
InterfaceAddressEntry V6() { return {kIpv6, {}, std::nullopt}; }

struct Listed {
  std::string ip;
  std::string description;
  std::string name;
  bool operator==(const Listed&) const = default;
};

std::vector<Listed> Enumerate(std::vector<CaptureInterfaceEntry> entries) {
  FakeInterfaceLister lister(std::move(entries));
  const auto list = EnumerateAdapters(lister);
  std::vector<Listed> out;
  for (const auto& a : *list) {
    out.push_back({ToUtf8(a->ipAddress), ToUtf8(a->description), ToUtf8(a->deviceName)});
  }
  return out;
}

struct EnumerationCase {
  const char* title;
  std::vector<CaptureInterfaceEntry> interfaces;
  std::vector<Listed> expected;
};

class EnumerationTest : public ::testing::TestWithParam<EnumerationCase> {};

TEST_P(EnumerationTest, ListsUsableAdaptersInTextOrder) {
  EXPECT_EQ(Enumerate(GetParam().interfaces), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Adapters, EnumerationTest,
    ::testing::Values(
        EnumerationCase{"NoInterfaces", {}, {}},
        EnumerationCase{"LoopbackWithIpv4Skipped",
                        {{"lo", "Loopback", kInterfaceLoopbackFlag, {V4(127, 0, 0, 1)}},
                         {"eth0", "Wired", 0, {V4(10, 1, 2, 3)}}},
                        {{"10.1.2.3", "Wired", "eth0"}}},
        EnumerationCase{"LoopbackBitAmongOtherFlags",
                        {{"lo", "", kInterfaceLoopbackFlag | 6u, {V4(127, 0, 0, 1)}}},
                        {}},
        EnumerationCase{"Ipv6OnlyAndNoAddressSkipped",
                        {{"v6", "Six", 0, {V6(), V6()}}, {"bare", "None", 0, {}}},
                        {}},
        EnumerationCase{"FirstIpv4AfterIpv6",
                        {{"eth1", "Two", 0, {V6(), V4(192, 168, 1, 20), V4(10, 0, 0, 1)}}},
                        {{"192.168.1.20", "Two", "eth1"}}},
        EnumerationCase{"NoDescriptionIsEmpty",
                        {{"eth2", std::nullopt, 0, {V4(172, 16, 0, 1)}}},
                        {{"172.16.0.1", "", "eth2"}}},
        EnumerationCase{"HighBytesAreUnsigned",
                        {{"eth3", "High", 0, {V4(200, 201, 255, 128)}}},
                        {{"200.201.255.128", "High", "eth3"}}},
        EnumerationCase{"NarrowTextsWiden",
                        {{"\\Device\\NPF_{A}",
                          NarrowForPlatform(u"Contr\u00F4leur").value(),
                          0,
                          {V4(10, 0, 0, 9)}}},
                        {{"10.0.0.9", "Contr\xC3\xB4leur", "\\Device\\NPF_{A}"}}},
        EnumerationCase{"TextOrderNotNumeric",
                        {{"a", "", 0, {V4(9, 1, 1, 1)}},
                         {"b", "", 0, {V4(192, 168, 0, 9)}},
                         {"c", "", 0, {V4(172, 16, 1, 1)}},
                         {"d", "", 0, {V4(192, 168, 0, 10)}},
                         {"e", "", 0, {V4(10, 0, 0, 5)}}},
                        {{"10.0.0.5", "", "e"},
                         {"172.16.1.1", "", "c"},
                         {"192.168.0.10", "", "d"},
                         {"192.168.0.9", "", "b"},
                         {"9.1.1.1", "", "a"}}}),
    [](const auto& testInfo) { return std::string(testInfo.param.title); });

TEST(Adapters, EqualAddressesAreBothListedSideBySide) {
  const auto listed = Enumerate({{"x", "", 0, {V4(10, 0, 0, 2)}},
                                 {"y", "", 0, {V4(10, 0, 0, 1)}},
                                 {"z", "", 0, {V4(10, 0, 0, 2)}}});
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0], (Listed{"10.0.0.1", "", "y"}));
  EXPECT_EQ(listed[1].ip, "10.0.0.2");
  EXPECT_EQ(listed[2].ip, "10.0.0.2");
  EXPECT_NE(listed[1].name, listed[2].name);
}

TEST(Adapters, LibraryFailureThrowsWithItsText) {
  FakeInterfaceLister lister(std::nullopt);
  try {
    static_cast<void>(EnumerateAdapters(lister));
    FAIL() << "no exception";
  } catch (const CPcapException& e) {
    EXPECT_STREQ(e.what(), "Cant find any network adapter");
  }
}

TEST(Adapters, SuccessWithoutUsableInterfaceIsAnEmptyListNotAnError) {
  FakeInterfaceLister lister(
      std::vector<CaptureInterfaceEntry>{{"lo", "", kInterfaceLoopbackFlag, {}}});
  const auto list = EnumerateAdapters(lister);
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->empty());
}

using enum TargetPlace;
using Mask = std::optional<Ipv4Bytes>;
const Mask k24{{255, 255, 255, 0}}, k30{{255, 255, 255, 252}}, k31{{255, 255, 255, 254}},
    k32{{255, 255, 255, 255}};

// The adapter is 10.1.2.5 with this mask.
struct PlaceCase {
  const char* name;
  Mask netmask;
  const char16_t* target;
  TargetPlace expected;
};
class TargetPlaceTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(TargetPlaceTest, RefusesWhatIsNoDeviceAndTellsWhatIsOffTheSubnet) {
  const PlaceCase& c = GetParam();
  EXPECT_EQ(PlaceUpdateTarget(c.target, AdapterSubnet(u"10.1.2.5", c.netmask)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, TargetPlaceTest,
    ::testing::Values(PlaceCase{"OwnAddress", k24, u"10.1.2.5", NotOneDevice},
                      PlaceCase{"NetworkAddress", k24, u"10.1.2.0", NotOneDevice},
                      PlaceCase{"Broadcast", k24, u"10.1.2.255", NotOneDevice},
                      PlaceCase{"Slash30Broadcast", k30, u"10.1.2.7", NotOneDevice},
                      PlaceCase{"Slash31PeerAtTheNetworkAddress", k31, u"10.1.2.4", Reachable},
                      PlaceCase{"Slash32Other", k32, u"10.1.2.6", OffSubnet},
                      PlaceCase{"OffSubnet", k24, u"10.1.3.7", OffSubnet},
                      PlaceCase{"UnknownMaskOwnAddress", std::nullopt, u"10.1.2.5", Reachable},
                      PlaceCase{"GappedMask", Mask{{255, 0, 255, 0}}, u"10.1.2.255", Reachable},
                      PlaceCase{"LimitedBroadcast", k24, u"255.255.255.255", NotOneDevice},
                      PlaceCase{"Multicast", std::nullopt, u"224.0.0.1", NotOneDevice}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
}  // namespace quilmarr::test
