// The logind sleep inhibitor against logind as python3-dbusmock plays it, on a
// private bus that stands in for the system bus; never the machine's own.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/sleep_inhibitor.h"
#include "platform/text.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_services.h"
#include "tests/support/temp_folder.h"

namespace quilmarr::test {
namespace {

bool PollUntil(const std::function<bool()>& done) {
  for (const auto end = std::chrono::steady_clock::now() + kPatience; !done();) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// "what|who|why|mode" a line, through python3-dbus (which dbusmock needs
// anyway); nullopt while logind does not answer.
std::optional<std::string> ListInhibitors() {
  const CommandResult listed = RunCommand(
      {"/usr/bin/python3", "-c",
       "import dbus\n"
       "m = dbus.SystemBus().get_object('org.freedesktop.login1', '/org/freedesktop/login1')\n"
       "for i in m.ListInhibitors(dbus_interface='org.freedesktop.login1.Manager'):\n"
       "  print(*i[:4], sep='|')"});
  return listed.status == 0 ? std::optional(listed.out) : std::nullopt;
}

class LogindInhibitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RunCommand({"dbus-daemon", "--version"}).status != 0 ||
        RunCommand({"/usr/bin/python3", "-c", "import dbusmock"}).status != 0) {
      GTEST_SKIP() << "needs dbus-daemon and python3-dbusmock";
    }
    // It prints its address once it listens.
    bus_.emplace(std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address",
                                          "--address=" + address_},
                 temp_.Path().string());
    ASSERT_TRUE(PollUntil([&] { return !ReadBytes(temp_.File("out")).empty(); }));
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
  }
  void TearDown() override { unsetenv("DBUS_SYSTEM_BUS_ADDRESS"); }

  TempFolder temp_;
  std::string address_ = "unix:path=" + temp_.File("bus").string();
  std::unique_ptr<SleepInhibitor> inhibitor_ = MakePlatformSleepInhibitor();
  std::optional<BackgroundProcess> bus_;  // ended after logind, which is on it
  std::optional<BackgroundProcess> logind_;
};

TEST_F(LogindInhibitorTest, AHoldIsListedByLogindUntilReleased) {
  logind_.emplace(std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--system",
                                           "--template", "logind"});
  ASSERT_TRUE(PollUntil([] { return ListInhibitors().has_value(); }));
  SleepHoldAttempt attempt = inhibitor_->Hold(u"Firmware update in progress");
  ASSERT_NE(attempt.hold, nullptr) << ToUtf8(attempt.failure);
  EXPECT_EQ(ListInhibitors(),
            "sleep:handle-lid-switch|Quilmarr|Firmware update in progress|block\n");
  attempt.hold.reset();
  EXPECT_TRUE(PollUntil([] { return ListInhibitors() == ""; }));
}

TEST_F(LogindInhibitorTest, WithoutLogindNoHoldIsTakenAndTheReasonIsGiven) {
  const SleepHoldAttempt noLogind = inhibitor_->Hold(u"Firmware update in progress");
  EXPECT_EQ(noLogind.hold, nullptr);
  EXPECT_EQ(noLogind.failure, u"org.freedesktop.DBus.Error.ServiceUnknown");

  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + temp_.File("none").string()).c_str(), 1);
  const SleepHoldAttempt noBus = inhibitor_->Hold(u"Firmware update in progress");
  EXPECT_EQ(noBus.hold, nullptr);
  EXPECT_EQ(noBus.failure, u"no system bus");
}

}  // namespace
}  // namespace quilmarr::test
