// The logind sleep inhibitor against logind as python3-dbusmock plays it, on a
// private bus that stands in for the system bus; never the machine's own.
#include <dbus/dbus.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
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

using Inhibitors = std::vector<std::string>;  // "what|who|why|mode" each

template <typename Condition>
bool PollUntil(Condition done) {
  const auto end = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

struct CloseBus {
  void operator()(DBusConnection* bus) const {
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
  }
};
using Bus = std::unique_ptr<DBusConnection, CloseBus>;

Bus Connect(const std::string& address) {
  Bus bus(dbus_connection_open_private(address.c_str(), nullptr));
  return bus && dbus_bus_register(bus.get(), nullptr) ? std::move(bus) : nullptr;
}

// logind's ListInhibitors on the bus at `address`; nullopt while nobody answers.
std::optional<Inhibitors> ListInhibitors(const std::string& address) {
  const Bus bus = Connect(address);
  if (!bus) return std::nullopt;
  DBusMessage* call =
      dbus_message_new_method_call("org.freedesktop.login1", "/org/freedesktop/login1",
                                   "org.freedesktop.login1.Manager", "ListInhibitors");
  DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus.get(), call, 2000, nullptr);
  dbus_message_unref(call);
  if (reply == nullptr) return std::nullopt;
  Inhibitors listed;
  DBusMessageIter array, entry;
  dbus_message_iter_init(reply, &array);
  for (dbus_message_iter_recurse(&array, &entry);
       dbus_message_iter_get_arg_type(&entry) == DBUS_TYPE_STRUCT; dbus_message_iter_next(&entry)) {
    DBusMessageIter field;
    std::string line;
    dbus_message_iter_recurse(&entry, &field);
    for (int i = 0; i < 4; ++i, dbus_message_iter_next(&field)) {
      const char* text = "";
      dbus_message_iter_get_basic(&field, static_cast<void*>(&text));
      line += (i > 0 ? "|" : "") + std::string(text);
    }
    listed.push_back(line);
  }
  dbus_message_unref(reply);
  return listed;
}

class LogindInhibitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RunCommand({"dbus-daemon", "--version"}).status != 0 ||
        RunCommand({"/usr/bin/python3", "-c", "import dbusmock"}).status != 0) {
      GTEST_SKIP() << "needs dbus-daemon and python3-dbusmock";
    }
    bus_.emplace(
        std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--address=" + address_});
    ASSERT_TRUE(PollUntil([&] { return Connect(address_) != nullptr; }));
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
  }
  void TearDown() override { unsetenv("DBUS_SYSTEM_BUS_ADDRESS"); }

  void StartLogind() {
    logind_.emplace(std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--system",
                                             "--template", "logind"});
    ASSERT_TRUE(PollUntil([&] { return ListInhibitors(address_).has_value(); }));
  }

  TempFolder temp_;
  std::string address_ = "unix:path=" + temp_.File("bus").string();
  std::unique_ptr<SleepInhibitor> inhibitor_ = MakePlatformSleepInhibitor();
  std::optional<BackgroundProcess> bus_;  // ended after the mock, which is on it
  std::optional<BackgroundProcess> logind_;
};

TEST_F(LogindInhibitorTest, AHoldIsListedByLogindUntilReleased) {
  StartLogind();
  SleepHoldAttempt attempt = inhibitor_->Hold(u"Firmware update in progress");
  ASSERT_NE(attempt.hold, nullptr) << ToUtf8(attempt.failure);
  EXPECT_EQ(ListInhibitors(address_),
            Inhibitors{"sleep:handle-lid-switch|Quilmarr|Firmware update in progress|block"});
  attempt.hold.reset();
  EXPECT_TRUE(PollUntil([&] { return ListInhibitors(address_) == Inhibitors{}; }));
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
