#pragma once
// Per-device state that another program (the stand-in updater) may change
// while ied-sim runs.
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

// Silences the device at `ipText` until `silentUntil`, after which it
// announces `appVersion`. Each file is replaced whole (temporary file, then
// rename), so a reader never sees half a file; the silence is written first,
// so the new version is never announced before the device went quiet. False
// when a file could not be written.
[[nodiscard]] bool RestartDevice(const std::filesystem::path& folder, const std::string& ipText,
                                 const std::string& appVersion, std::int64_t silentUntil);

}  // namespace quilmarr::iedsim
