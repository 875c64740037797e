// How each device of a batch went: the Status column, verification against
// what the device announces afterwards, the updater's time limit, the batch
// report and the exported list.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "dialog_fixture.h"
#include "platform/text.h"

namespace quilmarr::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::u16string>;
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

class BatchOutcomeTest : public BatchUpdateTest {
 protected:
  [[nodiscard]] fs::path ReportsFolder() const { return fs::path(settings_.Folder()) / "Reports"; }
  [[nodiscard]] std::vector<fs::path> Reports() const {
    std::vector<fs::path> files;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(ReportsFolder(), ignored)) {
      files.push_back(entry.path());
    }
    return files;
  }
  // Every device's Status text, in row order.
  [[nodiscard]] Strings Statuses() {
    dialog_->OnTimer(kRefreshTimerId);
    return Column(6);
  }
};

TEST_F(BatchOutcomeTest, EachDeviceShowsHowItsUpdaterEnded) {
  PrepareBatch({1, 2, 3, 4}, {0, 1, 2, 3});
  Write(settings::kSectionQuilmarr, settings::kKeyVerifySeconds, u"0");
  Write(settings::kSectionQuilmarr, settings::kKeyUpdateTimeoutSeconds, u"120");
  launcher_.EndRunsWith({{ProcessRun::End::Exited, 0},
                         {ProcessRun::End::Exited, 3},
                         {ProcessRun::End::NotStarted, 0},
                         {ProcessRun::End::TimedOut, 0}});
  dialog_->OnBatchUpdateClicked();
  ASSERT_TRUE(PumpUntilBatchEnded());

  EXPECT_EQ(Statuses(), (Strings{u"Done", u"Failed (exit 3)", u"Not started", u"Timed out"}));
  EXPECT_EQ(host_.BoxTexts(), Strings{u"create process fail"});
  for (const LaunchCall& call : launcher_.Calls()) EXPECT_EQ(call.timeLimit, seconds(120));

  dialog_->OnQueryClicked();  // Stop Query
  ASSERT_TRUE(Pump([&] { return dialog_->Mode() == UiMode::Idle; }));
  dialog_->OnQueryClicked();  // the next Query Device clears the outcomes
  Hear(1);
  EXPECT_EQ(Statuses(), Strings{u""});
}

TEST_F(BatchOutcomeTest, WithoutALimitTheUpdaterRunsAsLongAsItTakes) {
  PrepareBatch({1}, {0});
  dialog_->OnBatchUpdateClicked();
  ASSERT_TRUE(PumpUntilBatchEnded());
  ASSERT_EQ(launcher_.CallCount(), 1u);
  EXPECT_EQ(launcher_.Calls()[0].timeLimit, seconds(0));
}

// After an updater ended with status 0 the device is watched: heard with a
// new version it is verified at once; at the end of the window it is
// unchanged if heard only with the old version, and not back if not heard.
TEST_F(BatchOutcomeTest, VerificationComparesWhatTheDeviceAnnouncesAfterItsRun) {
  PrepareBatch({1, 2, 3}, {0, 1, 2});
  Write(settings::kSectionQuilmarr, settings::kKeyVerifySeconds, u"60");
  launcher_.Hold();
  dialog_->OnBatchUpdateClicked();
  ASSERT_TRUE(Pump([&] { return launcher_.CallCount() == 1; }));
  Hear(1, "4.1.7");  // during its own run: not a sign of anything
  launcher_.ReleaseAll();
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(Statuses(), (Strings{u"Done", u"Done", u"Done"}));

  clock_.Advance(5);
  Hear(1, "5.0.0");
  Hear(2, "4.1.7");
  EXPECT_EQ(Statuses(), (Strings{u"Verified 5.0.0", u"Done", u"Done"}));

  clock_.Advance(30);  // device 3 silent for 35 s, yet still listed and ticked
  EXPECT_EQ(Column(0), (Strings{u"192.168.0.1", u"192.168.0.2", u"192.168.0.3"}));
  EXPECT_TRUE(list_.rows[2].checked);
  EXPECT_TRUE(Reports().empty()) << "written once the verification is over";

  clock_.Advance(30);
  Hear(1, "5.0.0");
  Hear(2, "4.1.7");
  EXPECT_EQ(Statuses(), (Strings{u"Verified 5.0.0", u"Unchanged", u"Not back"}));
  ASSERT_EQ(Reports().size(), 1u);
  clock_.Advance(60);
  EXPECT_EQ(Statuses(), (Strings{u"Verified 5.0.0", u"Unchanged", u"Not back"}))
      << "the outcomes stay until the next batch or query";
}

TEST_F(BatchOutcomeTest, ReportHoldsOneRowPerTickedDevice) {
  PrepareBatch({1, 2, 3}, {0, 2});
  Write(settings::kSectionQuilmarr, settings::kKeyVerifySeconds, u"0");
  launcher_.EndRunsWith({{ProcessRun::End::Exited, 0}, {ProcessRun::End::Exited, 7}});
  dialog_->OnBatchUpdateClicked();
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
            "\"Outcome\",\"Package\",\"Adapter\"");
  const std::string time = R"("\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d")";
  EXPECT_TRUE(std::regex_match(
      lines[1], std::regex(R"("192\.168\.0\.1","BAY-1","FEEDER_1","1\.0\.2","4\.1\.7","4\.1\.7",)" +
                           time + "," + time + R"(,"0","Done","/pkg/fw 1\.pck","10\.0\.0\.5")")))
      << lines[1];
  EXPECT_TRUE(std::regex_match(lines[2],
                               std::regex(R"re("192\.168\.0\.3",.*,"7","Failed \(exit 7\)",.*)re")))
      << lines[2];
}

TEST_F(BatchOutcomeTest, ClosingDuringVerificationWritesTheOutcomesKnownSoFar) {
  PrepareBatch({1, 2}, {0, 1});
  dialog_->OnBatchUpdateClicked();  // verification window: the default 300 s
  ASSERT_TRUE(PumpUntilBatchEnded());
  clock_.Advance(3);
  Hear(2, "9.9.9");
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_TRUE(Reports().empty());

  CloseAndWait();

  const auto reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  const auto lines = ReadLines(reports[0]);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[1].find("\"Done\""), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("\"Verified 9.9.9\""), std::string::npos) << lines[2];
}

TEST_F(BatchOutcomeTest, InvalidOptionIsRefusedBeforeAnythingStarts) {
  PrepareBatch({1}, {0});
  Write(settings::kSectionQuilmarr, settings::kKeyUpdateTimeoutSeconds, u"10 min");
  dialog_->OnBatchUpdateClicked();
  EXPECT_EQ(host_.BoxTexts(),
            Strings{u"Invalid [Quilmarr] UpdateTimeoutSeconds \"10 min\": a whole number of "
                    u"seconds from 0 to 86400 is expected"});
  EXPECT_EQ(dialog_->Mode(), UiMode::Querying);
  EXPECT_EQ(launcher_.CallCount(), 0u);
  EXPECT_EQ(Read(settings::kSectionQuilmarr, settings::kKeyPckFile), u"");
}

TEST_F(BatchOutcomeTest, ExportWritesTheRowsShownAsCsv) {
  PrepareBatch({1, 2}, {});
  const fs::path file = fs::path(settings_.Folder()) / "list, 1.csv";
  host_.saveDialogAnswer = file.u16string();
  dialog_->OnExportListClicked();

  EXPECT_EQ(host_.suggestedNames, Strings{u"devices.csv"});
  const auto lines = ReadLines(file);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "\"IP\",\"Sys Name\",\"IED Name\",\"Boot Version\",\"Original App Version\","
            "\"Current App Version\",\"Status\"");
  EXPECT_EQ(lines[2], "\"192.168.0.2\",\"BAY-1\",\"FEEDER_1\",\"1.0.2\",\"4.1.7\",\"4.1.7\",\"\"");

  host_.saveDialogAnswer = (fs::path(settings_.Folder()) / "missing" / "x.csv").u16string();
  dialog_->OnExportListClicked();
  EXPECT_EQ(host_.BoxTexts(),
            Strings{u"The list could not be written: " + *host_.saveDialogAnswer});

  host_.saveDialogAnswer.reset();  // cancelled
  dialog_->OnExportListClicked();
  EXPECT_EQ(host_.boxes.size(), 1u);
}

}  // namespace
}  // namespace quilmarr::test
