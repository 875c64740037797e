#include <dbus/dbus.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/sleep_inhibitor.h"
#include "platform/text.h"

namespace quilmarr {
namespace {

// logind answers at once; a bus that hangs must not hold up the batch for long.
constexpr int kCallTimeoutMs = 2000;
// libdbus's own default, used when DBUS_SYSTEM_BUS_ADDRESS is not set.
constexpr char kDefaultSystemBus[] = "unix:path=/var/run/dbus/system_bus_socket";

struct CloseConnection {
  void operator()(DBusConnection* bus) const {
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
  }
};
struct UnrefMessage {
  void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using Connection = std::unique_ptr<DBusConnection, CloseConnection>;
using MessagePtr = std::unique_ptr<DBusMessage, UnrefMessage>;

class Error {
 public:
  Error() { dbus_error_init(&error_); }
  Error(const Error&) = delete;
  Error& operator=(const Error&) = delete;
  ~Error() { dbus_error_free(&error_); }
  DBusError* get() noexcept { return &error_; }
  [[nodiscard]] std::u16string Name() const {
    return FromUtf8(dbus_error_is_set(&error_) ? error_.name : "no answer");
  }

 private:
  DBusError error_;
};

// logind keeps the inhibitor until every copy of this descriptor is closed.
class InhibitorFd final : public SleepHold {
 public:
  explicit InhibitorFd(int fd) : fd_(fd) {}
  ~InhibitorFd() override { ::close(fd_); }

 private:
  int fd_;
};

MessagePtr Call(DBusConnection* bus, DBusMessage* call, Error& error) {
  MessagePtr owned(call);
  if (call == nullptr) return nullptr;
  return MessagePtr(
      dbus_connection_send_with_reply_and_block(bus, call, kCallTimeoutMs, error.get()));
}

class LogindInhibitor final : public SleepInhibitor {
 public:
  SleepHoldAttempt Hold(std::u16string_view why) override {
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    Error error;
    const Connection bus(dbus_connection_open_private(
        address != nullptr && *address != '\0' ? address : kDefaultSystemBus, error.get()));
    if (!bus) return {nullptr, u"no system bus"};
    // Hello by hand rather than dbus_bus_register, which waits 25 s for an answer.
    if (!Call(bus.get(),
              dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS,
                                           "Hello"),
              error)) {
      return {nullptr, error.Name()};
    }
    const std::string whyText = ToUtf8(why);
    const char* what = "sleep:handle-lid-switch";
    const char* who = "Quilmarr";
    const char* whyArgument = whyText.c_str();
    const char* mode = "block";
    DBusMessage* inhibit =
        dbus_message_new_method_call("org.freedesktop.login1", "/org/freedesktop/login1",
                                     "org.freedesktop.login1.Manager", "Inhibit");
    if (inhibit != nullptr &&
        !dbus_message_append_args(inhibit, DBUS_TYPE_STRING, &what, DBUS_TYPE_STRING, &who,
                                  DBUS_TYPE_STRING, &whyArgument, DBUS_TYPE_STRING, &mode,
                                  DBUS_TYPE_INVALID)) {
      dbus_message_unref(inhibit);
      inhibit = nullptr;
    }
    const MessagePtr reply = Call(bus.get(), inhibit, error);
    int fd = -1;
    if (!reply || !dbus_message_get_args(reply.get(), error.get(), DBUS_TYPE_UNIX_FD, &fd,
                                         DBUS_TYPE_INVALID)) {
      return {nullptr, error.Name()};
    }
    // An updater started during the batch must not keep the system awake after it.
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return {std::make_unique<InhibitorFd>(fd), {}};
  }
};

}  // namespace

std::unique_ptr<SleepInhibitor> MakePlatformSleepInhibitor() {
  return std::make_unique<LogindInhibitor>();
}

}  // namespace quilmarr
