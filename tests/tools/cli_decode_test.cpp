// quilmarr-cli decode and table, run as a user would, on captures the test writes.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/lldp_frames.h"
#include "tests/support/pcap_writer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/child_process.h"

namespace quilmarr::test {
namespace {

CommandResult RunCli(std::vector<std::string> args) {
  args.insert(args.begin(), QUILMARR_CLI_PATH);
  return RunCommand(args);
}

class CliDecode : public ::testing::Test {
 protected:
  std::string Capture(const std::vector<Bytes>& frames) {
    const std::string path = folder_.File("capture.pcap").string();
    test::WritePcap(path, frames);
    return path;
  }
  TempFolder folder_;
};

Bytes Goose() {
  Bytes frame(60, 0);
  const std::uint8_t header[] = {0x01, 0x0C, 0xCD, 0x01, 0x00, 0x01, 2, 0, 0, 0, 0, 1, 0x88, 0xB8};
  std::copy(std::begin(header), std::end(header), frame.begin());
  return frame;
}

TEST_F(CliDecode, OneLinePerFrameWithEscapedFields) {
  const std::string path = Capture({
      test::DeviceFrame("bay-1", 5),
      Goose(),
      FrameBuilder()
          .SystemName("tab\there\\nl\nS\xC3\xBC"
                      "d")
          .Ipv4(10, 0, 0, 255)
          .SystemDescription("BootVer:1 & AppVer:2 & IDE Name:X")
          .End()
          .Build(),
      FrameBuilder().SystemName("x").Ipv6().End().Build(),
  });
  const auto result = RunCli({"decode", path});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "1\tok\t192.168.0.5\tbay-1\tFEEDER_7\t1.0.2\t4.1.7\n"
            "2\trejected\tinvalid multicast address\n"
            "3\tok\t10.0.0.255\ttab\\x09here\\x5cnl\\x0aS\xC3\xBC"
            "d\tX\t1\t2\n"
            "4\trejected\tinvalid IPV4 address\n");
}

TEST_F(CliDecode, TableKeepsTheFirstHeardAppVersionBesideTheCurrentOne) {
  const std::string path = Capture({
      test::DeviceFrame("bay-1", 5, "BootVer:1 & AppVer:4.1 & IDE Name:F5"),
      test::DeviceFrame("bay-2", 6, "BootVer:1 & AppVer:4.1 & IDE Name:F6"),
      test::DeviceFrame("bay-1", 5, "BootVer:2 & AppVer:4.2 & IDE Name:F5"),
  });
  const auto result = RunCli({"table", path});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "192.168.0.5\tbay-1\tF5\t2\t4.1\t4.2\n"
            "192.168.0.6\tbay-2\tF6\t1\t4.1\t4.1\n");
}

TEST_F(CliDecode, TableAsCsvHasTheListsHeadersWithoutStatus) {
  const std::string path = Capture({
      test::DeviceFrame("bay \"1\", west", 5, "BootVer:1 & AppVer:4.1 & IDE Name:F5"),
      test::DeviceFrame("bay-1", 5, "BootVer:2 & AppVer:4.2 & IDE Name:F5"),
  });
  const auto result = RunCli({"table", "--csv", path});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "\"IP\",\"Sys Name\",\"IED Name\",\"Boot Version\",\"Original App Version\","
            "\"Current App Version\"\r\n"
            "\"192.168.0.5\",\"bay-1\",\"F5\",\"2\",\"4.1\",\"4.2\"\r\n");
  const auto quoted = RunCli({"table", "--csv", Capture({test::DeviceFrame("a \"b\", c", 6)})});
  EXPECT_NE(quoted.out.find("\r\n\"192.168.0.6\",\"a \"\"b\"\", c\","), std::string::npos)
      << quoted.out;
}

TEST_F(CliDecode, BadInputGivesStatusTwoAndNothingOnStdout) {
  WriteBytes(folder_.File("junk.pcap"), "not a capture");
  const std::vector<std::vector<std::string>> cases = {
      {"decode", folder_.File("missing.pcap").string()},
      {"table", folder_.File("junk.pcap").string()},
      {"decode"},
      {"frobnicate"},
  };
  for (const auto& args : cases) {
    const auto result = RunCli(args);
    EXPECT_EQ(result.status, 2) << args[0];
    EXPECT_EQ(result.out, "") << args[0];
    EXPECT_NE(result.err, "") << args[0];
  }
  EXPECT_EQ(RunCli({"--help"}).status, 0);
}

// A saved capture lists every device in it, as `table` does.
TEST_F(CliDecode, AuditComparesACaptureWithTheRoster) {
  const std::string roster = folder_.File("site.csv").string();
  WriteBytes(roster,
             "IP,System Name,IED Name,Target App Version,Update\n192.168.0.5,bay-1,,4.1.7,yes\n"
             "192.168.0.9,bay-9,F9,4.1.7,no\n");
  const std::string capture = Capture({test::DeviceFrame("bay-1", 5), test::DeviceFrame("x", 6)});
  const auto result = RunCli({"audit", "--capture", capture, "--roster", roster, "--json"});
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_EQ(result.out,
            "{\"ip\":\"192.168.0.5\",\"state\":\"OK\",\"systemName\":\"bay-1\",\"iedName\":"
            "\"FEEDER_7\",\"appVersion\":\"4.1.7\",\"targetVersion\":\"4.1.7\"}\n"
            "{\"ip\":\"192.168.0.9\",\"state\":\"Missing\",\"systemName\":\"bay-9\",\"iedName\":"
            "\"F9\",\"appVersion\":\"\",\"targetVersion\":\"4.1.7\"}\n"
            "{\"ip\":\"192.168.0.6\",\"state\":\"Unexpected\",\"systemName\":\"x\",\"iedName\":"
            "\"FEEDER_7\",\"appVersion\":\"4.1.7\",\"targetVersion\":\"\"}\n");

  WriteBytes(roster,
             "IP,System Name,IED Name,Target App Version,Update\n192.168.0.5,,,4.1,maybe\n");
  const auto refused = RunCli({"audit", "--capture", capture, "--roster", roster});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, "quilmarr-cli: Roster " + roster +
                             ", line 2: Update must be yes or no, not \"maybe\"\n");
  EXPECT_EQ(
      RunCli({"audit", "--capture", capture, "--adapter", "10.0.0.1", "--roster", roster}).status,
      2);
}

TEST_F(CliDecode, RealCaptureDecodesEveryFrame) {
  const auto result = RunCli({"decode", QUILMARR_CORPUS_DIR "/smc_gs8p_switch.pcap"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "1\trejected\tinvalid LLDP System Description\n");
}

}  // namespace
}  // namespace quilmarr::test
