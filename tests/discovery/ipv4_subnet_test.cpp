#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "discovery/ipv4_subnet.h"

namespace quilmarr::test {
namespace {

constexpr Ipv4Bytes k24{255, 255, 255, 0};

struct PlaceCase {
  const char* name;
  const char16_t* adapter;
  std::optional<Ipv4Bytes> netmask;
  const char16_t* target;
  TargetPlace expected;
};

class TargetPlaceTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(TargetPlaceTest, RefusesWhatIsNoDeviceAndNamesWhatIsOffTheSubnet) {
  const PlaceCase& c = GetParam();
  EXPECT_EQ(PlaceUpdateTarget(c.target, AdapterSubnet(c.adapter, c.netmask)), c.expected);
}

using enum TargetPlace;
INSTANTIATE_TEST_SUITE_P(
    Targets, TargetPlaceTest,
    ::testing::Values(
        PlaceCase{"OwnAddress", u"10.1.2.5", k24, u"10.1.2.5", NotOneDevice},
        PlaceCase{"NetworkAddress", u"10.1.2.5", k24, u"10.1.2.0", NotOneDevice},
        PlaceCase{"SubnetBroadcast", u"10.1.2.5", k24, u"10.1.2.255", NotOneDevice},
        PlaceCase{"Slash16Broadcast", u"10.1.2.5", Ipv4Bytes{255, 255, 0, 0}, u"10.1.255.255",
                  NotOneDevice},
        PlaceCase{"Slash30Broadcast", u"10.1.2.5", Ipv4Bytes{255, 255, 255, 252}, u"10.1.2.7",
                  NotOneDevice},
        PlaceCase{"Slash30Peer", u"10.1.2.5", Ipv4Bytes{255, 255, 255, 252}, u"10.1.2.6",
                  Reachable},
        PlaceCase{"Slash31PeerAtTheNetworkAddress", u"10.1.2.5", Ipv4Bytes{255, 255, 255, 254},
                  u"10.1.2.4", Reachable},
        PlaceCase{"Slash31Own", u"10.1.2.4", Ipv4Bytes{255, 255, 255, 254}, u"10.1.2.4",
                  NotOneDevice},
        PlaceCase{"Slash32Own", u"10.1.2.5", Ipv4Bytes{255, 255, 255, 255}, u"10.1.2.5",
                  NotOneDevice},
        PlaceCase{"Slash32Other", u"10.1.2.5", Ipv4Bytes{255, 255, 255, 255}, u"10.1.2.6",
                  OffSubnet},
        PlaceCase{"OnSubnet", u"10.1.2.5", k24, u"10.1.2.200", Reachable},
        PlaceCase{"OffSubnet", u"10.1.2.5", k24, u"10.1.3.7", OffSubnet},
        PlaceCase{"UnknownMaskKeepsOwnAddress", u"10.1.2.5", std::nullopt, u"10.1.2.5", Reachable},
        PlaceCase{"UnknownMaskKeepsBroadcast", u"10.1.2.5", std::nullopt, u"10.1.2.255", Reachable},
        PlaceCase{"GappedMaskIsUnknown", u"10.1.2.5", Ipv4Bytes{255, 0, 255, 0}, u"10.1.2.255",
                  Reachable},
        PlaceCase{"LimitedBroadcast", u"10.1.2.5", k24, u"255.255.255.255", NotOneDevice},
        PlaceCase{"Multicast", u"10.1.2.5", std::nullopt, u"224.0.0.1", NotOneDevice},
        PlaceCase{"Loopback", u"10.1.2.5", k24, u"127.0.0.1", NotOneDevice},
        PlaceCase{"ThisNetwork", u"10.1.2.5", k24, u"0.1.2.3", NotOneDevice},
        PlaceCase{"LeadingZero", u"10.1.2.5", k24, u"10.1.2.07", NotOneDevice}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(AdapterSubnet, IsWrittenAsNetworkAddressAndPrefixLength) {
  const auto text = [](Ipv4Bytes mask) { return SubnetText(*AdapterSubnet(u"10.1.2.5", mask)); };
  EXPECT_EQ(text(k24), "10.1.2.0/24");
  EXPECT_EQ(text({255, 255, 255, 254}), "10.1.2.4/31");
  EXPECT_EQ(text({255, 240, 0, 0}), "10.0.0.0/12");
  EXPECT_EQ(text({0, 0, 0, 0}), "0.0.0.0/0");
}

}  // namespace
}  // namespace quilmarr::test
