// The logind inhibitor against python3-dbusmock's logind on a private bus that
// stands in for the system bus; never the machine's own.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "platform/sleep_inhibitor.h"
#include "platform/text.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace quilmarr::test {
namespace {

bool Eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 200 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return done();
}

// "what|who|why|mode" a line, through python3-dbus (dbusmock's own); "-" while logind is silent.
std::string Inhibitors() {
  const CommandResult listed = RunCommand(
      {"/usr/bin/python3", "-c",
       "import dbus\n"
       "m = dbus.SystemBus().get_object('org.freedesktop.login1', '/org/freedesktop/login1')\n"
       "for i in m.ListInhibitors(dbus_interface='org.freedesktop.login1.Manager'):\n"
       "  print(*i[:4], sep='|')"});
  return listed.status == 0 ? listed.out : "-";
}

TEST(LogindInhibitorTest, HeldUntilReleasedAndRefusedWithAReasonWithoutLogind) {
  if (RunCommand({"dbus-daemon", "--version"}).status != 0 ||
      RunCommand({"/usr/bin/python3", "-c", "import dbusmock"}).status != 0) {
    GTEST_SKIP() << "needs dbus-daemon and python3-dbusmock";
  }
  const TempFolder temp;
  const auto inhibitor = MakePlatformSleepInhibitor();
  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + temp.File("none").string()).c_str(), 1);
  EXPECT_EQ(inhibitor->Hold(u"test").failure, u"no system bus");

  const std::string address = "unix:path=" + temp.File("bus").string();
  // It prints its address once it listens.
  const BackgroundProcess bus(
      {"dbus-daemon", "--session", "--nofork", "--print-address", "--address=" + address},
      temp.Path().string());
  ASSERT_TRUE(Eventually([&] { return !ReadBytes(temp.File("out")).empty(); }));
  setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
  EXPECT_EQ(inhibitor->Hold(u"test").failure, u"org.freedesktop.DBus.Error.ServiceUnknown");

  const BackgroundProcess logind(
      {"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "logind"});
  ASSERT_TRUE(Eventually([] { return Inhibitors().empty(); }));
  SleepHoldAttempt attempt = inhibitor->Hold(u"Firmware update in progress");
  EXPECT_EQ(Inhibitors(), "sleep:handle-lid-switch|Quilmarr|Firmware update in progress|block\n")
      << ToUtf8(attempt.failure);
  attempt.hold.reset();
  EXPECT_TRUE(Eventually([] { return Inhibitors().empty(); }));
}

}  // namespace
}  // namespace quilmarr::test
