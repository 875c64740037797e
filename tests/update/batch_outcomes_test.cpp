#include <gtest/gtest.h>

#include <tuple>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
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
  record->systemName = u"BAY-1";
  record->iedName = u"FEEDER_1";
  record->lastSeen = lastSeen;
  table.push_back(std::move(record));
  return table;
}

BatchInfo Info() {
  BatchInfo info;
  info.start = 100;
  info.packagePath = u"fw.pck";
  info.adapterIp = u"10.0.0.9";
  info.verifyFor = seconds(60);
  return info;
}

// Each tick also compares the table: a frame merged after the run's end counts
// even when nobody reported it as heard.
TEST(BatchOutcomesTest, TickComparesTheTableAfterTheRunsEnd) {
  DeviceTable table = TableWith(u"10.0.0.1", u"1.0", 100);
  BatchOutcomes outcomes(Info(), {u"10.0.0.1"}, table);
  outcomes.DeviceStarted(u"10.0.0.1", table);
  outcomes.DeviceEnded({u"10.0.0.1", 101, 130, {ProcessRun::End::Exited, 0}}, table, 0);
  EXPECT_TRUE(outcomes.Watching());
  table[0]->currentAppVersion = u"2.0";
  table[0]->lastSeen = 131;

  outcomes.Tick(2, table);
  EXPECT_EQ(OutcomeText(*outcomes.Find(u"10.0.0.1")), u"Verified 2.0");
  EXPECT_FALSE(outcomes.Watching());
}

// A device may announce its new version before its updater has exited.
TEST(BatchOutcomesTest, NewVersionHeardDuringTheRunVerifiesWhenItEndsWell) {
  DeviceTable table = TableWith(u"10.0.0.1", u"1.0", 100);
  BatchOutcomes outcomes(Info(), {u"10.0.0.1"}, table);
  outcomes.DeviceStarted(u"10.0.0.1", table);
  table[0]->currentAppVersion = u"2.0";
  outcomes.DeviceHeard(*table[0]);
  EXPECT_EQ(OutcomeText(*outcomes.Find(u"10.0.0.1")), u"Updating");
  outcomes.DeviceEnded({u"10.0.0.1", 101, 130, {ProcessRun::End::Exited, 0}}, table, 0);
  EXPECT_EQ(OutcomeText(*outcomes.Find(u"10.0.0.1")), u"Verified 2.0");
}

TEST(BatchOutcomesTest, OnlyAWellEndedRunIsWatched) {
  DeviceTable table = TableWith(u"10.0.0.1", u"1.0", 100);
  const std::vector<std::u16string> targets{u"10.0.0.1", u"10.0.0.2", u"10.0.0.3", u"10.0.0.4"};
  BatchOutcomes outcomes(Info(), targets, table);
  outcomes.DeviceEnded({u"10.0.0.1", 101, 110, {ProcessRun::End::Exited, 2}}, table, 0);
  outcomes.DeviceEnded({u"10.0.0.2", 111, 120, {ProcessRun::End::TimedOut, 0}}, table, 0);
  outcomes.DeviceEnded({u"10.0.0.3", 121, 121, {ProcessRun::End::NotStarted, 0}}, table, 0);
  outcomes.BatchEnded(DeviceOutcome::NotStarted);
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

// Verified only when the device heard after its run is the one updated (its
// names, and its chassis ID if it sent one) and announces a real new version;
// anything else is heard, but not verified.
TEST(BatchOutcomesTest, VerifiedOnlyForTheSameDeviceWithARealNewVersion) {
  struct Case {
    std::u16string version, systemName, iedName, outcome;
    std::string chassisBefore = "a", chassisAfter = "a";
  };
  using namespace std::string_literals;
  for (const Case& c : {Case{u"2.0", u"BAY-1", u"FEEDER_1", u"Verified 2.0"},
                        Case{u"1.0  ", u"BAY-1", u"FEEDER_1", u"Unchanged"},
                        Case{u"1.0\0\0"s, u"BAY-1", u"FEEDER_1", u"Unchanged"},
                        Case{u"1.0\t\r\n", u"BAY-1", u"FEEDER_1", u"Unchanged"},
                        Case{u"2.0\t", u"BAY-1", u"FEEDER_1", u"Verified 2.0"},
                        Case{u"", u"BAY-1", u"FEEDER_1", u"Unchanged"},
                        Case{u"2.0", u"BAY-2", u"FEEDER_1", u"Other device at address"},
                        Case{u"2.0", u"BAY-1", u"FEEDER_9", u"Other device at address"},
                        Case{u"2.0", u"BAY-1", u"FEEDER_1", u"Other device at address", "a", "b"},
                        Case{u"2.0", u"BAY-1", u"FEEDER_1", u"Verified 2.0", "", "b"}}) {
    DeviceTable table = TableWith(u"10.0.0.1", u"1.0", 100);
    table[0]->chassisId = c.chassisBefore;
    BatchOutcomes outcomes(Info(), {u"10.0.0.1"}, table);
    outcomes.DeviceStarted(u"10.0.0.1", table);
    outcomes.DeviceEnded({u"10.0.0.1", 101, 130, {ProcessRun::End::Exited, 0}}, table, 0);
    table[0]->currentAppVersion = c.version;
    table[0]->systemName = c.systemName;
    table[0]->iedName = c.iedName;
    table[0]->chassisId = c.chassisAfter;
    outcomes.DeviceHeard(*table[0]);
    outcomes.Tick(60, table);
    EXPECT_EQ(OutcomeText(*outcomes.Find(u"10.0.0.1")), c.outcome) << ToUtf8(c.version);
    EXPECT_FALSE(DeviceSucceeded(*outcomes.Find(u"10.0.0.1"), seconds(60)) &&
                 c.outcome != u"Verified 2.0");
  }
}

// With a target, only the target verifies a device, a forced run included.
TEST(BatchOutcomesTest, WithATargetOnlyTheTargetVerifies) {
  for (const auto& [before, after, outcome] :
       {std::tuple{u"1.0", u"3.0", u"Unexpected version 3.0"},
        std::tuple{u"2.0", u"2.0 ", u"Verified 2.0"},
        std::tuple{u"1.0", u"2.0", u"Verified 2.0"}}) {
    DeviceTable table = TableWith(u"10.0.0.1", before, 100);
    BatchOutcomes outcomes(Info(), {u"10.0.0.1"}, table);
    outcomes.LeaveAsTargetSays(0, u"2.0", TargetAction::Update);
    outcomes.DeviceStarted(u"10.0.0.1", table);
    outcomes.DeviceEnded({u"10.0.0.1", 101, 130, {ProcessRun::End::Exited, 0}}, table, 0);
    table[0]->currentAppVersion = after;
    table[0]->lastSeen = 140;
    outcomes.Tick(1, table);
    const DeviceResult& result = *outcomes.Find(u"10.0.0.1");
    EXPECT_EQ(OutcomeText(result), outcome);
    EXPECT_EQ(DeviceSucceeded(result, seconds(60)), outcome[0] == u'V');
  }
}

}  // namespace
}  // namespace quilmarr::test
