// The device lines and progress line of quilmarr-cli update. Device texts
// come from frames, so they may hold anything.
#include "tools/cli/batch_console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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
  EXPECT_EQ(DeviceJsonLine(failed, false),
            "{\"ip\":\"10.0.0.2\",\"outcome\":\"Failed (exit 3)\",\"succeeded\":false,"
            "\"systemName\":\"bay \\\"7\\\"\\\\x\",\"iedName\":\"line\\nbreak\\ttab\\u0001\","
            "\"bootVersion\":\"1\",\"appVersionBefore\":\"4.1\",\"appVersionAfter\":\"S\xC3\xBC"
            "d\",\"updaterStart\":null,\"updaterEnd\":null,\"exitStatus\":3}");
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
  const std::string line = DeviceJsonLine(verified, true);
  EXPECT_NE(line.find("\"outcome\":\"Verified 5.0\",\"succeeded\":true"), std::string::npos);
  EXPECT_NE(line.find("\"updaterStart\":\"20"), std::string::npos) << line;
  EXPECT_TRUE(line.ends_with(",\"exitStatus\":0}")) << line;
}

TEST(BatchConsole, ProgressSaysWhatHappensNow) {
  RunProgress listening;
  listening.listening = true;
  listening.heard = 1;
  listening.listenLeft = std::chrono::seconds(5);
  EXPECT_EQ(ProgressText(listening), "Listening: 1 device heard, 5 s left");

  RunProgress run;
  BatchProgress& batch = run.batch;
  batch.total = 3;
  batch.finished = 1;
  batch.watched = 1;
  batch.updatingIp = u"10.0.0.2";
  batch.updatingFor = std::chrono::seconds(14);
  EXPECT_EQ(ProgressText(run), "1 of 3 finished, 1 verifying, updating 10.0.0.2 (14 s)");
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
  const std::string first = "0 of 10 finished, updating 10.0.0.200 (0 s)";
  const std::string second = "0 of 10 finished, updating 10.0.0.2 (0 s)";
  EXPECT_EQ(read(err), '\r' + first + '\r' + second + "  " + '\r' +
                           std::string(second.size(), ' ') + "\rquilmarr-cli: done\n");
  EXPECT_EQ(read(out), "");
}

}  // namespace
}  // namespace quilmarr::cli
