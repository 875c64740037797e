// The tools as a user runs them: options, messages and exit status. Nothing
// here opens an interface for capture or sending.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace quilmarr::test {
namespace {

const std::string kIedSim = IED_SIM_PATH;
const std::string kCli = QUILMARR_CLI_PATH;

struct BadOptions {
  const char* title;
  std::vector<std::string> arguments;
  const char* messagePart;
};

class IedSimBadOptions : public ::testing::TestWithParam<BadOptions> {};

TEST_P(IedSimBadOptions, ExitWithStatusTwoAndSayWhy) {
  std::vector<std::string> argv{kIedSim};
  argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
  const auto result = RunCommand(argv);
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find(GetParam().messagePart), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Tools, IedSimBadOptions,
    ::testing::Values(
        BadOptions{"NoInterface", {"--count", "1", "--base-ip", "10.0.0.1"}, "--interface"},
        BadOptions{"NoCount", {"--interface", "x", "--base-ip", "10.0.0.1"}, "--count"},
        BadOptions{
            "ZeroCount", {"--interface", "x", "--count", "0", "--base-ip", "10.0.0.1"}, "--count"},
        BadOptions{"CountNotANumber",
                   {"--interface", "x", "--count", "many", "--base-ip", "10.0.0.1"},
                   "--count"},
        BadOptions{"BadBaseIp",
                   {"--interface", "x", "--count", "1", "--base-ip", "10.0.0.256"},
                   "--base-ip"},
        BadOptions{"AddressesRunOut",
                   {"--interface", "x", "--count", "3", "--base-ip", "255.255.255.254"},
                   "255.255.255.255"},
        BadOptions{
            "ZeroInterval",
            {"--interface", "x", "--count", "1", "--base-ip", "1.2.3.4", "--interval-ms", "0"},
            "--interval-ms"},
        BadOptions{"MissingStateDir",
                   {"--interface", "x", "--count", "1", "--base-ip", "1.2.3.4", "--state-dir",
                    "/nonexistent/quilmarr"},
                   "--state-dir"},
        BadOptions{"NameTooLong",
                   {"--interface", "x", "--count", "1", "--base-ip", "1.2.3.4", "--name-prefix",
                    std::string(600, 'n')},
                   "511"},
        BadOptions{"UnknownOption",
                   {"--interface", "x", "--count", "1", "--base-ip", "1.2.3.4", "--bogus"},
                   "--bogus"}),
    [](const auto& testInfo) { return std::string(testInfo.param.title); });

TEST(Tools, IedSimHelpDescribesTheStateFiles) {
  const auto result = RunCommand({kIedSim, "--help"});
  EXPECT_EQ(result.status, 0);
  for (const char* part : {"<ip>.app", "<ip>.silent-until", "unix time", "--flood-rate"}) {
    EXPECT_NE(result.out.find(part), std::string::npos) << part;
  }
}

TEST(Tools, IedSimUnknownInterfaceFailsWithStatusOne) {
  const auto result = RunCommand({kIedSim, "--interface", "quilmarr-none0", "--count", "1",
                                  "--base-ip", "10.0.0.1", "--seconds", "1"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("quilmarr-none0"), std::string::npos) << result.err;
}

TEST(Tools, ListenWithoutSuchAdapterIsAUsageError) {
  const auto result = RunCommand({kCli, "listen", "203.0.113.254", "1"});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("203.0.113.254"), std::string::npos) << result.err;
  EXPECT_TRUE(result.out.empty());
}

TEST(Tools, ListenArgumentsAreChecked) {
  EXPECT_EQ(RunCommand({kCli, "listen", "10.0.0.1"}).status, 2);
  EXPECT_EQ(RunCommand({kCli, "listen", "10.0.0.1", "soon"}).status, 2);
  EXPECT_EQ(RunCommand({kCli, "listen", "10.0.0.1", "-1"}).status, 2);
}

// Refused as arguments, before any adapter or file is looked at.
TEST(Tools, UpdateListenSecondsAndDigestAreChecked) {
  for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
           {"--listen-seconds", "nan"},
           {"--listen-seconds", "inf"},
           {"--listen-seconds", "-1"},
           {"--package-sha256", std::string(63, 'a') + "g"},
           {"--package-sha256", "abc"}}) {
    const auto result = RunCommand({kCli, "update", "--adapter", "203.0.113.254", "--package",
                                    "none", "--all-heard", option, value});
    EXPECT_EQ(result.status, 2) << value;
    EXPECT_NE(result.err.find(option), std::string::npos) << result.err;
  }
}

TEST(Tools, AdaptersPrintsThreeFieldsPerLine) {
  const auto result = RunCommand({kCli, "adapters"});
  ASSERT_EQ(result.status, 0) << result.err;
  std::size_t start = 0;
  while (start < result.out.size()) {
    const auto end = result.out.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = result.out.substr(start, end - start);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
    start = end + 1;
  }
}

}  // namespace
}  // namespace quilmarr::test
