#include "tools/ied-sim/device_state.h"

#include <charconv>
#include <fstream>
#include <optional>

namespace quilmarr::iedsim {
namespace {

std::optional<std::string> ReadFirstLine(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::optional<std::int64_t> ParseUnixTime(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

DeviceState ReadDeviceState(const std::filesystem::path& folder, const std::string& ipText,
                            const std::string& defaultAppVersion, std::int64_t nowUnixSeconds) {
  DeviceState state;
  state.appVersion = ReadFirstLine(folder / (ipText + ".app")).value_or(defaultAppVersion);
  if (const auto until = ReadFirstLine(folder / (ipText + ".silent-until"))) {
    const auto time = ParseUnixTime(*until);
    state.silent = time.has_value() && nowUnixSeconds < *time;
  }
  return state;
}

}  // namespace quilmarr::iedsim
