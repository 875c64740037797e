// The device lines and progress line of quilmarr-cli update. Device texts
// come from frames, so they may hold anything.
#include "tools/cli/batch_console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace quilmarr::cli {
namespace {

DeviceResult FailedDevice() {
  DeviceResult result;
  result.ip = u"10.0.0.2";
  result.outcome = DeviceOutcome::Failed;
  result.exitStatus = 3;
  result.systemName = u"bay \"7\"\\x";
  result.iedName = u"line\nbreak\ttab\x01";
  result.bootVersion = u"1";
  result.appVersionBefore = u"4.1";
  result.appVersionAfter = u"S\u00fcd";
  return result;
}

TEST(BatchConsole, JsonStringsEscapeQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(JsonString(u"plain"), "\"plain\"");
  EXPECT_EQ(JsonString(u"a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString(u"\n\r\t\x01\x1f\x7f"), "\"\\n\\r\\t\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(JsonString(u"S\u00fcd \U0001F600"),
            "\"S\xC3\xBC"
            "d \xF0\x9F\x98\x80\"");
  EXPECT_EQ(JsonString(std::u16string(1, u'\xD800')), "\"\xEF\xBF\xBD\"") << "lone surrogate";
}

TEST(BatchConsole, DeviceLinesCarryTheOutcomeAndTheReportsColumns) {
  const DeviceResult failed = FailedDevice();
  BatchInfo batch;
  batch.packageSha256 = "ab12";
  batch.operatorName = u"tech\\one";
  batch.computerName = u"PC-7";
  batch.toolVersion = u"3.1.0";
  EXPECT_EQ(DeviceJsonLine(failed, false, batch),
            "{\"ip\":\"10.0.0.2\",\"outcome\":\"Failed (exit 3)\",\"succeeded\":false,"
            "\"systemName\":\"bay \\\"7\\\"\\\\x\",\"iedName\":\"line\\nbreak\\ttab\\u0001\","
            "\"bootVersion\":\"1\",\"appVersionBefore\":\"4.1\",\"appVersionAfter\":\"S\xC3\xBC"
            "d\",\"updaterStart\":null,\"updaterEnd\":null,\"exitStatus\":3,"
            "\"packageSha256\":\"ab12\",\"updaterSha256\":\"\",\"operator\":\"tech\\\\one\","
            "\"computer\":\"PC-7\",\"quilmarrVersion\":\"3.1.0\",\"changed\":false}");
  EXPECT_EQ(DeviceTextLine(failed),
            "10.0.0.2\tFailed (exit 3)\tbay \"7\"\\x5cx\tline\\x0abreak\\x09tab\\x01\t4.1\t"
            "S\xC3\xBC"
            "d");

  DeviceResult verified;
  verified.ip = u"10.0.0.3";
  verified.outcome = DeviceOutcome::Verified;
  verified.appVersionAfter = u"5.0";
  verified.start = 1'700'000'000;
  verified.end = 1'700'000'060;
  verified.exitStatus = 0;
  const std::string line = DeviceJsonLine(verified, true, {});
  EXPECT_NE(line.find("\"outcome\":\"Verified 5.0\",\"succeeded\":true"), std::string::npos);
  EXPECT_NE(line.find("\"updaterStart\":\"20"), std::string::npos) << line;
  EXPECT_NE(line.find(",\"exitStatus\":0,\"packageSha256\":\"\","), std::string::npos) << line;
  EXPECT_TRUE(line.ends_with(",\"changed\":true}")) << "an updater was started for it";
}

// The text lines are checked end to end; the JSON ones only here.
TEST(BatchConsole, DryRunPlanInJsonListsDevicesThenTheFiles) {
  BatchPlan plan;
  plan.request.packagePath = u"/fw\\1.pck";
  plan.packageSha256 = "ab12";
  plan.offSubnet = {u"10.0.0.2"};
  plan.adapterSubnet = u"10.0.1.0/24";
  EXPECT_EQ(PlanLines({{u"10.0.0.2", u"bay\t7", u"IED_2", u"1", u"4.1", u"would update"}}, plan,
                      DeviceLineFormat::JsonLines),
            (std::vector<std::string>{
                "{\"ip\":\"10.0.0.2\",\"systemName\":\"bay\\t7\",\"iedName\":\"IED_2\","
                "\"bootVersion\":\"1\",\"appVersion\":\"4.1\",\"action\":\"would update\","
                "\"note\":\"not on the adapter's subnet 10.0.1.0/24\"}",
                "{\"package\":\"/fw\\\\1.pck\",\"packageSha256\":\"ab12\",\"updater\":\"\","
                "\"updaterSha256\":\"\"}"}));
}

TEST(BatchConsole, ProgressSaysWhatHappensNow) {
  RunProgress listening;
  listening.listening = true;
  listening.heard = 1;
  listening.listenLeft = std::chrono::seconds(5);
  EXPECT_EQ(ProgressText(listening), "Listening: 1 device heard, 5 s left");

  using std::chrono::seconds;
  const struct {
    const char16_t* updating;
    seconds elapsed;
    std::optional<seconds> left;
    std::string text;
  } cases[] = {
      {u"10.0.0.2", seconds(14), std::nullopt,
       "1 of 3 finished, 1 verifying, updating 10.0.0.2 (14 s), 14 s elapsed"},
      {u"", seconds(545), seconds(3725),
       "1 of 3 finished, 1 verifying, 9 min elapsed, about 1 h 2 min left"},
      // Beyond 79 columns the estimate gives way.
      {u"100.100.100.100", seconds(540), seconds(540),
       "1 of 3 finished, 1 verifying, updating 100.100.100.100 (14 s), 9 min elapsed"},
  };
  for (const auto& c : cases) {
    RunProgress run{false, 0, seconds(0), {3, 1, 1, c.updating, 2, seconds(14), c.elapsed, c.left}};
    EXPECT_EQ(ProgressText(run), c.text);
  }
}

// On a terminal the progress line is overwritten in place and cleared before
// any other line, so device lines and messages never share a line with it.
TEST(BatchConsole, ProgressLineGivesWayToDeviceLinesAndMessages) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ASSERT_NE(err, nullptr);
  {
    ConsoleReporter reporter(out, err, DeviceLineFormat::Text, true);
    RunProgress progress;
    progress.batch.total = 10;
    progress.batch.updatingIp = u"10.0.0.200";
    reporter.Progress(progress);
    progress.batch.updatingIp = u"10.0.0.2";
    reporter.Progress(progress);  // shorter: blanks cover the rest
    reporter.Say(u"done");
  }
  const auto read = [](std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    std::fclose(file);
    return text;
  };
  const std::string first = "0 of 10 finished, updating 10.0.0.200 (0 s), 0 s elapsed";
  const std::string second = "0 of 10 finished, updating 10.0.0.2 (0 s), 0 s elapsed";
  EXPECT_EQ(read(err), '\r' + first + '\r' + second + "  " + '\r' +
                           std::string(second.size(), ' ') + "\rquilmarr-cli: done\n");
  EXPECT_EQ(read(out), "");
}

}  // namespace
}  // namespace quilmarr::cli
