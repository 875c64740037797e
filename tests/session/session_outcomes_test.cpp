// How each device of a batch went: the Status column, verification against
// what the device announces afterwards, the updater's time limit, the batch
// report.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "session_fixture.h"
#include "platform/text.h"
#include "quilmarr_version.h"

namespace quilmarr::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

std::vector<std::string> ReadLines(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    EXPECT_TRUE(line.ends_with('\r')) << "RFC 4180 ends records with CRLF";
    if (line.ends_with('\r')) line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

using BatchOutcomeTest = SessionTest;

TEST_F(BatchOutcomeTest, EachDeviceShowsHowItsUpdaterEnded) {
  PrepareBatch({1, 2, 3, 4});
  temp_.Write(settings::kSectionQuilmarr, settings::kKeyVerifySeconds, u"0");
  temp_.Write(settings::kSectionQuilmarr, settings::kKeyUpdateTimeoutSeconds, u"120");
  launcher_.EndRunsWith({{ProcessRun::End::Exited, 0},
                         {ProcessRun::End::Exited, 3},
                         {ProcessRun::End::NotStarted, 0},
                         {ProcessRun::End::TimedOut, 0}});
  ASSERT_TRUE(StartBatch({1, 2, 3, 4}));
  ASSERT_TRUE(PumpUntilBatchEnded());

  EXPECT_EQ(Statuses(), (Strings{u"Done", u"Failed (exit 3)", u"Not started", u"Timed out"}));
  EXPECT_EQ(errors_, Strings{u"create process fail"});
  for (const LaunchCall& call : launcher_.Calls()) EXPECT_EQ(call.timeLimit, seconds(120));

  session_->RequestCaptureStop();
  ASSERT_TRUE(Pump([&] { return session_->Mode() == UiMode::Idle; }));
  ASSERT_TRUE(session_->StartCapture(*session_->AdapterAt(0)));  // clears the outcomes
  Hear(1);
  EXPECT_EQ(Statuses(), Strings{u""});
}

// A target version, the failure limit and the finish time decide which
// devices an updater runs for; the rest say why not.
TEST_F(BatchOutcomeTest, TargetsAndRolloutLimitsDecideWhichDevicesRun) {
  const struct {
    const char* name;
    std::u16string target;
    std::u16string maxFailures;
    bool pastFinishTime;
    Strings statuses;
    std::size_t runs;
  } cases[] = {
      {"at target",
       u"4.1.7",
       u"",
       false,
       {u"Already at 4.1.7", u"Not started: newer than 4.1.7"},
       0},
      {"older and newer", u"4.2", u"", false, {u"Done", u"Not started: newer than 4.2"}, 1},
      {"failure limit",
       u"",
       u"1",
       false,
       {u"Failed (exit 3)", u"Not started: failure limit reached"},
       1},
      {"finish time",
       u"",
       u"",
       true,
       {u"Failed (exit 3)", u"Not started: past the finish time"},
       1},
  };
  for (const auto& c : cases) {
    PrepareBatch({1});
    Hear(2, "4.10");  // newer than 4.2: ordered as numbers
    temp_.Write(settings::kSectionQuilmarr, settings::kKeyVerifySeconds, u"0");
    temp_.Write(settings::kSectionQuilmarr, settings::kKeyMaxFailures, c.maxFailures);
    const std::size_t runsBefore = launcher_.CallCount();
    std::vector<ProcessRun> runs(runsBefore, ProcessRun{ProcessRun::End::Exited, 0});
    runs.push_back({ProcessRun::End::Exited, c.target.empty() ? 3 : 0});
    launcher_.EndRunsWith(runs);
    BatchRequest request = Request({Ip(1), Ip(2)});
    if (!c.target.empty()) request.targetVersions = {c.target, c.target};
    if (c.pastFinishTime) request.finishBy = kStartTime - 1;
    ASSERT_TRUE(session_->StartBatch(request)) << c.name;
    ASSERT_TRUE(PumpUntilBatchEnded());
    EXPECT_EQ(Statuses(), c.statuses) << c.name;
    EXPECT_EQ(launcher_.CallCount() - runsBefore, c.runs) << c.name;
    CloseAndWait();
  }
  EXPECT_EQ(CompareVersions(u"2.10", u"2.9 "), VersionOrder::Newer);
  EXPECT_EQ(CompareVersions(u"2.0", u"2.00"), VersionOrder::Unordered);
  EXPECT_EQ(CompareVersions(u"2.0-rc1", u"1.0"), VersionOrder::Unordered);
  EXPECT_EQ(ActionForTarget(u"5.0", u"4.2", true, false), TargetAction::Update);
  EXPECT_EQ(ActionForTarget(u"4.2\t", u"4.2", false, true), TargetAction::Update);
}

// Values given for one batch (command-line options) replace the stored ones,
// which are then not read; without any, an updater runs as long as it takes.
TEST_F(BatchOutcomeTest, OverridesReplaceTheStoredOptions) {
  PrepareBatch({1});
  ASSERT_TRUE(StartBatch({1}));
  ASSERT_TRUE(PumpUntilBatchEnded());
  temp_.Write(settings::kSectionQuilmarr, settings::kKeyVerifySeconds, u"never");
  temp_.Write(settings::kSectionQuilmarr, settings::kKeyUpdateTimeoutSeconds, u"45");
  BatchRequest request = Request({Ip(1)});
  request.overrides.verifyFor = seconds(0);
  ASSERT_TRUE(session_->StartBatch(request));
  ASSERT_TRUE(PumpUntilBatchEnded());
  request.overrides.updateTimeLimit = seconds(120);
  ASSERT_TRUE(session_->StartBatch(request));
  ASSERT_TRUE(PumpUntilBatchEnded());

  std::vector<seconds> limits;
  for (const LaunchCall& call : launcher_.Calls()) limits.push_back(call.timeLimit);
  EXPECT_EQ(limits, (std::vector<seconds>{seconds(0), seconds(45), seconds(120)}));
  EXPECT_EQ(Statuses(), Strings{u"Done"}) << "not watched";
  EXPECT_TRUE(DeviceSucceeded(session_->Outcomes()->Results()[0], seconds(0)));
  EXPECT_TRUE(errors_.empty());
}

// After an updater ended with status 0 the device is watched: heard with a
// new version it is verified at once; at the end of the window it is
// unchanged if heard only with the old version, and not back if not heard.
TEST_F(BatchOutcomeTest, VerificationComparesWhatTheDeviceAnnouncesAfterItsRun) {
  PrepareBatch({1, 2, 3});
  temp_.Write(settings::kSectionQuilmarr, settings::kKeyVerifySeconds, u"60");
  launcher_.Hold();
  ASSERT_TRUE(StartBatch({1, 2, 3}));
  ASSERT_TRUE(Pump([&] { return launcher_.CallCount() == 1; }));
  Hear(1, "4.1.7");  // during its own run: not a sign of anything
  launcher_.ReleaseAll();
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(Statuses(), (Strings{u"Done", u"Done", u"Done"}));

  clock_.Advance(5);
  Hear(1, "5.0.0");
  Hear(2, "4.1.7");
  EXPECT_EQ(Statuses(), (Strings{u"Verified 5.0.0", u"Done", u"Done"}));

  clock_.Advance(30);  // device 3 silent for 35 s, yet still listed
  EXPECT_EQ(Column(false), (Strings{Ip(1), Ip(2), Ip(3)}));
  EXPECT_TRUE(Reports().empty()) << "written once the verification is over";

  clock_.Advance(30);
  Hear(1, "5.0.0");
  Hear(2, "4.1.7");
  EXPECT_EQ(Statuses(), (Strings{u"Verified 5.0.0", u"Unchanged", u"Not back"}));
  EXPECT_FALSE(session_->Outcomes()->AllSucceeded()) << "quilmarr-cli's exit status";
  ASSERT_EQ(Reports().size(), 1u);
  clock_.Advance(60);
  EXPECT_EQ(Statuses(), (Strings{u"Verified 5.0.0", u"Unchanged", u"Not back"}))
      << "the outcomes stay until the next batch or query";
}

TEST_F(BatchOutcomeTest, ReportHoldsOneRowPerTickedDevice) {
  PrepareBatch({1, 2, 3});
  temp_.Write(settings::kSectionQuilmarr, settings::kKeyVerifySeconds, u"0");
  launcher_.EndRunsWith({{ProcessRun::End::Exited, 0}, {ProcessRun::End::Exited, 7}});
  ASSERT_TRUE(StartBatch({1, 3}));
  ASSERT_TRUE(PumpUntilBatchEnded());

  const auto reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(
      std::regex_match(reports[0].filename().string(), std::regex(R"(batch-\d{8}-\d{6}\.csv)")));
  const auto lines = ReadLines(reports[0]);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "\"IP\",\"System name\",\"IED name\",\"Boot version\",\"App version before\","
            "\"App version after\",\"Updater start\",\"Updater end\",\"Exit status\","
            "\"Outcome\",\"Package\",\"Adapter\",\"Package SHA-256\",\"Updater SHA-256\","
            "\"Operator\",\"Computer\",\"Quilmarr version\",\"Target version\"");
  const std::string time = R"("\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d")";
  EXPECT_TRUE(std::regex_match(
      lines[1],
      std::regex(R"("192\.168\.0\.1","BAY-1","FEEDER_1","1\.0\.2","4\.1\.7","4\.1\.7",)" + time +
                 "," + time + R"(,"0","Done","[^"]*fw 1\.pck","10\.0\.0\.5",)" +
                 R"("[0-9a-f]{64}","[0-9a-f]{64}","[^"]*","[^"]*",")" QUILMARR_VERSION_TEXT
                 "\",\"\"")))
      << lines[1];
  EXPECT_TRUE(std::regex_match(lines[2],
                               std::regex(R"re("192\.168\.0\.3",.*,"7","Failed \(exit 7\)",.*)re")))
      << lines[2];
}

TEST_F(BatchOutcomeTest, ClosingDuringVerificationWritesTheOutcomesKnownSoFar) {
  PrepareBatch({1, 2});
  ASSERT_TRUE(StartBatch({1, 2}));  // verification window: the default 300 s
  ASSERT_TRUE(PumpUntilBatchEnded());
  clock_.Advance(3);
  Hear(2, "9.9.9");
  session_->Tick();
  EXPECT_TRUE(Reports().empty());

  CloseAndWait();

  const auto reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  const auto lines = ReadLines(reports[0]);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[1].find("\"Done\""), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("\"Verified 9.9.9\""), std::string::npos) << lines[2];
}

// Each device once, as soon as its outcome is final: a failure before an
// earlier device's verification has ended.
TEST_F(BatchOutcomeTest, EachDeviceIsFinishedOnceAsSoonAsItsOutcomeIsFinal) {
  PrepareBatch({1, 2, 3});
  temp_.Write(settings::kSectionQuilmarr, settings::kKeyVerifySeconds, u"60");
  launcher_.EndRunsWith(
      {{ProcessRun::End::Exited, 0}, {ProcessRun::End::Exited, 3}, {ProcessRun::End::Exited, 0}});
  ASSERT_TRUE(StartBatch({1, 2, 3}));
  ASSERT_TRUE(PumpUntilBatchEnded());
  const auto finished = [&] {
    Strings texts;
    for (const DeviceResult& r : session_->TakeFinishedDevices()) {
      texts.push_back(r.ip + u" " + OutcomeText(r));
    }
    return texts;
  };
  EXPECT_EQ(finished(), Strings{Ip(2) + u" Failed (exit 3)"});
  clock_.Advance(5);
  Hear(3, "4.1.7");
  clock_.Advance(60);
  session_->Tick();
  EXPECT_EQ(finished(), (Strings{Ip(1) + u" Not back", Ip(3) + u" Unchanged"}));
  EXPECT_TRUE(finished().empty());
}

}  // namespace
}  // namespace quilmarr::test
