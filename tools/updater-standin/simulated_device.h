#pragma once
// The state files through which ied-sim lets another program steer a
// simulated device: "<dir>/<ip>.app" holds the application version text and
// "<dir>/<ip>.silent-until" a decimal unix time in seconds; the device sends
// nothing while now is before that time.
#include <cstdint>
#include <filesystem>
#include <string>

namespace quilmarr::standin {

// Silences the device at `ip` until `silentUntil`, after which it announces
// `version`. Each file is replaced whole (temporary file, then rename), so
// ied-sim never reads half a file. False when a file could not be written.
[[nodiscard]] bool RestartSimulatedDevice(const std::filesystem::path& stateDir,
                                          const std::string& ip, const std::string& version,
                                          std::int64_t silentUntil);

}  // namespace quilmarr::standin
