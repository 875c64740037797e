// quilmarr-cli.exe, the Windows build, under Wine: capture through Wine's own
// wpcap.dll on a veth pair between two namespaces each test makes (the
// Windows program runs inside the capture namespace, ied-sim in the other),
// and the saved-capture and settings commands against the Linux build.
// scripts/test-windows.sh names the program in QUILMARR_WINDOWS_CLI.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include "tests/live/wine_session.h"
#include "tests/support/child_process.h"
#include "tests/support/netns_pair.h"
#include "tests/support/temp_folder.h"

namespace quilmarr::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using SteadyClock = std::chrono::steady_clock;

const std::string kIedSim = IED_SIM_PATH;
const std::string kLinuxCli = QUILMARR_CLI_PATH;
const std::string kCorpus = QUILMARR_CORPUS_DIR;
// Longer than any run here takes: a capture that never ends is killed, not waited for.
const std::string kRunLimitSeconds = "30";

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(WithoutCarriageReturns(text));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

class WineCli : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* cli = std::getenv("QUILMARR_WINDOWS_CLI");
    if (cli == nullptr || !std::filesystem::exists(cli)) {
      GTEST_SKIP() << "QUILMARR_WINDOWS_CLI names no quilmarr-cli.exe (scripts/test-windows.sh "
                      "sets it)";
    }
    cli_ = cli;
  }

  // quilmarr-cli.exe under Wine, inside `ns` when given, killed after the limit.
  CommandResult Run(const std::vector<std::string>& arguments,
                    const std::optional<std::string>& ns = std::nullopt,
                    const std::vector<std::string>& environment = {}) const {
    std::vector<std::string> argv{"timeout", kRunLimitSeconds};
    if (ns) argv.insert(argv.end(), {"ip", "netns", "exec", *ns});
    if (!environment.empty()) {
      argv.emplace_back("env");
      argv.insert(argv.end(), environment.begin(), environment.end());
    }
    argv.insert(argv.end(), {"wine", cli_});
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunCommand(argv);
  }

  std::string cli_;
};

TEST_F(WineCli, DecodesAndTablesCapturesExactlyAsTheLinuxBuildDoes) {
  const std::vector<std::string> files{"smc_gs8p_switch.pcap", "mudurl_ipv6_mgmt.pcap",
                                       "fuzz_mgmt_addr_tlv.pcap", "h3c_s5800_erspan_mix.pcap",
                                       "versamax_scalance_profinet.pcapng"};
  for (const std::string command : {"decode", "table"}) {
    for (const std::string& file : files) {
      SCOPED_TRACE(command + " " + file);
      const std::string path = kCorpus + "/" + file;
      const auto onLinux = RunCommand({kLinuxCli, command, path});
      ASSERT_EQ(onLinux.status, 0) << onLinux.err;
      // A path as Linux writes it (which CLI11 would take for an option on
      // Windows) and as Windows does.
      for (const std::string& asGiven : {path, WindowsPath(path)}) {
        const auto windows = Run({command, asGiven});
        EXPECT_EQ(windows.status, 0) << windows.err;
        EXPECT_EQ(WithoutCarriageReturns(windows.out), onLinux.out);
      }
    }
  }
  const auto notACapture = Run({"decode", kCorpus + "/README.md"});
  EXPECT_EQ(notACapture.status, 2);
  EXPECT_EQ(notACapture.out, "");
  EXPECT_NE(notACapture.err.find("not a pcap or pcapng capture"), std::string::npos)
      << notACapture.err;
}

TEST_F(WineCli, IniValuesGoThroughTheWindowsProfileFunctions) {
  const TempFolder folder;
  const std::string file = WindowsPath(folder.File("Pendravel.ini"));
  EXPECT_EQ(Run({"ini", "set", file, "UDP", "REMOTE_IP", "10.0.0.7"}).status, 0);
  const auto read = Run({"ini", "get", file, "udp", "remote_ip", "50"});
  const std::string text = ReadBytes(folder.File("Pendravel.ini"));
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(WithoutCarriageReturns(read.out), "10.0.0.7\n");
  EXPECT_NE(text.find("REMOTE_IP=10.0.0.7"), std::string::npos) << text;
}

TEST_F(WineCli, WithoutWpcapDllItStartsAndSaysWhatIsMissing) {
  for (const std::string command : {"adapters", "listen"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> arguments{command};
    if (command == "listen") arguments.insert(arguments.end(), {"10.0.0.1", "1"});
    const auto run = Run(arguments, std::nullopt, {"WINEDLLOVERRIDES=wpcap=d"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(WithoutCarriageReturns(run.err),
              "Please install Npcap from https://npcap.com/ to capture on this computer\n"
              "Cant find any network adapter\n");
    EXPECT_EQ(run.out, "");
  }
}

// The live tests: a fresh namespace pair each, quilmarr-cli.exe inside the capture end.
class WineLive : public WineCli {
 protected:
  void SetUp() override {
    WineCli::SetUp();
    if (IsSkipped()) return;
    std::string whyNot;
    pair_ = NetnsPair::Create(whyNot);
    if (!pair_) GTEST_SKIP() << whyNot;
    ASSERT_TRUE(StartWineIn(pair_->captureNamespace));
  }
  // No Wine process of this prefix is left in the namespace that goes away.
  void TearDown() override {
    if (pair_) static_cast<void>(StopWine());
  }

  std::unique_ptr<BackgroundProcess> StartSim(std::vector<std::string> options) const {
    options.insert(options.begin(), {"--seconds", kRunLimitSeconds});
    return std::make_unique<BackgroundProcess>(pair_->IedSimCommand(kIedSim, std::move(options)));
  }

  // True once a packet socket is open in the capture namespace: wpcap.dll
  // has opened the adapter.
  bool WaitUntilCapturing() const {
    const auto limit = SteadyClock::now() + seconds(20);
    while (SteadyClock::now() < limit) {
      const auto sockets =
          RunCommand({"ip", "netns", "exec", pair_->captureNamespace, "cat", "/proc/net/packet"});
      if (std::count(sockets.out.begin(), sockets.out.end(), '\n') > 1) return true;
      std::this_thread::sleep_for(milliseconds(20));
    }
    return false;
  }

  // Runs `listen` on a thread; `whenCapturing` runs once the adapter is open.
  struct TimedListen {
    CommandResult result;
    SteadyClock::duration afterCaptureStarted{};
  };
  TimedListen Listen(const std::string& duration, const std::function<void()>& whenCapturing) {
    TimedListen timed;
    SteadyClock::time_point ended;
    std::thread runner([&] {
      timed.result = Run({"listen", pair_->captureAddress, duration}, pair_->captureNamespace);
      ended = SteadyClock::now();
    });
    const bool capturing = WaitUntilCapturing();
    const auto started = SteadyClock::now();
    if (capturing) whenCapturing();
    runner.join();
    EXPECT_TRUE(capturing) << "the adapter was never opened: " << timed.result.err;
    timed.afterCaptureStarted = ended - started;
    return timed;
  }

  std::unique_ptr<NetnsPair> pair_;
};

TEST_F(WineLive, AdaptersListsTheVethWithItsAddressAndInterfaceName) {
  const auto adapters = Run({"adapters"}, pair_->captureNamespace);
  ASSERT_EQ(adapters.status, 0) << adapters.err;
  const auto lines = SortedLines(adapters.out);
  ASSERT_EQ(lines.size(), 1u) << adapters.out;
  // Address, description (Wine gives the Linux interface name), device name.
  EXPECT_EQ(lines[0].rfind(pair_->captureAddress + "\t" + pair_->captureInterface + "\t", 0), 0u)
      << lines[0];
  EXPECT_NE(lines[0].find("\\x5cDevice\\x5cNPF_{"), std::string::npos) << lines[0];
}

TEST_F(WineLive, ListenHearsTheSimulatedDevicesWithTheirFields) {
  const auto sim =
      StartSim({"--count", "2", "--base-ip", "198.51.100.7", "--interval-ms", "200",
                "--name-prefix", "WIN", "--boot-version", "b\\1", "--app-version", "a7"});
  const auto listen = Run({"listen", pair_->captureAddress, "2"}, pair_->captureNamespace);
  ASSERT_EQ(listen.status, 0) << listen.err;
  EXPECT_EQ(SortedLines(listen.out),
            (std::vector<std::string>{"198.51.100.7\tWIN-0\tWIN_0\tb\\x5c1\ta7\ta7",
                                      "198.51.100.8\tWIN-1\tWIN_1\tb\\x5c1\ta7\ta7"}));
}

// Wine's wpcap.dll never times out a read on a silent link: only the
// interrupt on stop ends the capture there.
TEST_F(WineLive, StopOnACompletelySilentAdapterEndsTheCapturePromptly) {
  const auto timed = Listen("1", [] {});
  EXPECT_EQ(timed.result.status, 0) << timed.result.err;
  EXPECT_EQ(timed.result.out, "");
  EXPECT_LT(timed.afterCaptureStarted, milliseconds(1000 + 1500));
}

TEST_F(WineLive, DeletingTheInterfaceEndsTheCaptureWithTheReadFailure) {
  const auto timed = Listen(kRunLimitSeconds, [&] {
    // Past pcap_open's set-up, into the first read.
    std::this_thread::sleep_for(milliseconds(500));
    ASSERT_TRUE(pair_->DeleteCaptureInterface());
  });
  EXPECT_EQ(timed.result.status, 1);
  EXPECT_EQ(WithoutCarriageReturns(timed.result.err),
            "Capture stopped: the network adapter could not be read\n");
  EXPECT_LT(timed.afterCaptureStarted, seconds(5));
}

}  // namespace
}  // namespace quilmarr::test
