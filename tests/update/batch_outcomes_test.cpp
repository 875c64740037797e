#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "update/batch_outcomes.h"

namespace quilmarr::test {
namespace {

using std::chrono::seconds;

DeviceTable TableWith(std::u16string ip, std::u16string version, UnixSeconds lastSeen) {
  DeviceTable table;
  auto record = std::make_unique<DeviceRecord>();
  record->ipText = std::move(ip);
  record->originalAppVersion = version;
  record->currentAppVersion = std::move(version);
  record->lastSeen = lastSeen;
  table.push_back(std::move(record));
  return table;
}

// Each tick also compares the table: a frame merged after the run's end counts
// even when nobody reported it as heard.
TEST(BatchOutcomesTest, TickComparesTheTableAfterTheRunsEnd) {
  DeviceTable table = TableWith(u"10.0.0.1", u"1.0", 100);
  BatchOutcomes outcomes({100, u"fw.pck", u"10.0.0.9", seconds(60)}, {u"10.0.0.1"}, table);
  outcomes.DeviceStarted(u"10.0.0.1", table);
  outcomes.DeviceEnded({u"10.0.0.1", 101, 130, {ProcessRun::End::Exited, 0}}, table);
  EXPECT_TRUE(outcomes.Watching());
  table[0]->currentAppVersion = u"2.0";
  table[0]->lastSeen = 131;

  outcomes.Tick(132, table);
  EXPECT_EQ(OutcomeText(*outcomes.Find(u"10.0.0.1")), u"Verified 2.0");
  EXPECT_FALSE(outcomes.Watching());
}

// A device may announce its new version before its updater has exited.
TEST(BatchOutcomesTest, NewVersionHeardDuringTheRunVerifiesWhenItEndsWell) {
  DeviceTable table = TableWith(u"10.0.0.1", u"1.0", 100);
  BatchOutcomes outcomes({100, u"fw.pck", u"10.0.0.9", seconds(60)}, {u"10.0.0.1"}, table);
  outcomes.DeviceStarted(u"10.0.0.1", table);
  table[0]->currentAppVersion = u"2.0";
  outcomes.DeviceHeard(*table[0]);
  EXPECT_EQ(OutcomeText(*outcomes.Find(u"10.0.0.1")), u"Updating");
  outcomes.DeviceEnded({u"10.0.0.1", 101, 130, {ProcessRun::End::Exited, 0}}, table);
  EXPECT_EQ(OutcomeText(*outcomes.Find(u"10.0.0.1")), u"Verified 2.0");
}

TEST(BatchOutcomesTest, OnlyAWellEndedRunIsWatched) {
  DeviceTable table = TableWith(u"10.0.0.1", u"1.0", 100);
  const std::vector<std::u16string> targets{u"10.0.0.1", u"10.0.0.2", u"10.0.0.3", u"10.0.0.4"};
  BatchOutcomes outcomes({100, u"fw.pck", u"10.0.0.9", seconds(60)}, targets, table);
  outcomes.DeviceEnded({u"10.0.0.1", 101, 110, {ProcessRun::End::Exited, 2}}, table);
  outcomes.DeviceEnded({u"10.0.0.2", 111, 120, {ProcessRun::End::TimedOut, 0}}, table);
  outcomes.DeviceEnded({u"10.0.0.3", 121, 121, {ProcessRun::End::NotStarted, 0}}, table);
  outcomes.BatchEnded(false);
  EXPECT_FALSE(outcomes.Watching());
  EXPECT_TRUE(outcomes.Over());
  std::vector<std::u16string> texts;
  for (const DeviceResult& result : outcomes.Results()) texts.push_back(OutcomeText(result));
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"Failed (exit 2)", u"Timed out", u"Not started",
                                                u"Not started"}));
  EXPECT_EQ(outcomes.Results()[0].appVersionBefore, u"1.0");
  EXPECT_EQ(outcomes.Results()[0].exitStatus, 2);
  EXPECT_FALSE(outcomes.Results()[1].exitStatus.has_value());
}

}  // namespace
}  // namespace quilmarr::test
