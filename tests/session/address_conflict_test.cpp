// One address, the chassis IDs heard with it, and when: two devices or one.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "session/address_conflict.h"
#include "tests/support/fake_clock.h"
#include "tests/support/lldp_frames.h"

namespace quilmarr::test {
namespace {

struct ConflictCase {
  const char* name;
  std::vector<std::pair<std::uint8_t, UnixSeconds>> frames;  // chassis 02:..:<n>, at second
  UnixSeconds askedAt;
  bool conflict;
  std::size_t sightings;
};

class AddressConflict : public testing::TestWithParam<ConflictCase> {};

TEST_P(AddressConflict, NeedsTwoChassisIdsHeardWithinTheFreshWindow) {
  const ConflictCase& c = GetParam();
  FakeClock clock(0);
  DeviceTable table;
  for (const auto& [chassis, second] : c.frames) {
    clock.Set(second);
    ProcessCapturedFrame(LldpFrame({.ip = {10, 0, 0, 1}, .chassis = {2, 0, 0, 0, 0, chassis}}),
                         table, clock);
  }
  ASSERT_EQ(table.size(), 1u);
  const DeviceRecord& record = *table[0];
  EXPECT_EQ(HasAddressConflict(record, c.askedAt), c.conflict);
  EXPECT_EQ(record.chassisHeard.size(), c.sightings);
  EXPECT_EQ(record.chassisId, "02:00:00:00:00:0" + std::to_string(c.frames.back().first));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddressConflict,
    testing::Values(ConflictCase{"SameChassisTwice", {{1, 0}, {1, 3}}, 3, false, 1},
                    ConflictCase{"TwoWithinSixSeconds", {{1, 0}, {2, 6}}, 6, true, 2},
                    ConflictCase{"OtherOlderThanSixSeconds", {{2, 0}, {1, 7}}, 7, false, 2},
                    ConflictCase{"ManyKeepTheMostRecent",
                                 {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 5}, {1, 20}, {7, 21}},
                                 21,
                                 true,
                                 kMaxChassisPerAddress}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quilmarr::test
