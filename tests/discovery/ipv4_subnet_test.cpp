#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "discovery/ipv4_subnet.h"

namespace quilmarr::test {
namespace {

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
                      PlaceCase{"OnSubnet", k24, u"10.1.2.200", Reachable},
                      PlaceCase{"OffSubnet", k24, u"10.1.3.7", OffSubnet},
                      PlaceCase{"UnknownMaskOwnAddress", std::nullopt, u"10.1.2.5", Reachable},
                      PlaceCase{"GappedMaskIsUnknown", Mask{{255, 0, 255, 0}}, u"10.1.2.255",
                                Reachable},
                      PlaceCase{"LimitedBroadcast", k24, u"255.255.255.255", NotOneDevice},
                      PlaceCase{"Multicast", std::nullopt, u"224.0.0.1", NotOneDevice}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
}  // namespace quilmarr::test
