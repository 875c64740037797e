#pragma once
// Per-device state that another program may change while ied-sim runs.
// In the state folder, for the device with management address <ip>:
//   <ip>.app           the application version to announce: one line, trailing
//                      newline optional. Absent: the --app-version value.
//   <ip>.silent-until  a decimal unix time in seconds. While now < that time
//                      the device sends nothing. Absent or unreadable: not silent.
// Both files are read again before every frame.
#include <cstdint>
#include <filesystem>
#include <string>

namespace quilmarr::iedsim {

struct DeviceState {
  std::string appVersion;
  bool silent = false;
};

[[nodiscard]] DeviceState ReadDeviceState(const std::filesystem::path& folder,
                                          const std::string& ipText,
                                          const std::string& defaultAppVersion,
                                          std::int64_t nowUnixSeconds);

}  // namespace quilmarr::iedsim
