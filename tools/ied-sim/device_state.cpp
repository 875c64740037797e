#include "tools/ied-sim/device_state.h"

#include <charconv>
#include <fstream>
#include <optional>
#include <system_error>

namespace quilmarr::iedsim {
namespace {

std::filesystem::path AppVersionFile(const std::filesystem::path& folder, const std::string& ip) {
  return folder / (ip + ".app");
}

std::filesystem::path SilentUntilFile(const std::filesystem::path& folder, const std::string& ip) {
  return folder / (ip + ".silent-until");
}

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

bool ReplaceFile(const std::filesystem::path& target, const std::string& line) {
  std::filesystem::path temporary = target;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << line << '\n';
    if (!out.flush()) return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, target, error);
  if (error) std::filesystem::remove(temporary, error);
  return !error;
}

}  // namespace

DeviceState ReadDeviceState(const std::filesystem::path& folder, const std::string& ipText,
                            const std::string& defaultAppVersion, std::int64_t nowUnixSeconds) {
  DeviceState state;
  state.appVersion = ReadFirstLine(AppVersionFile(folder, ipText)).value_or(defaultAppVersion);
  if (const auto until = ReadFirstLine(SilentUntilFile(folder, ipText))) {
    const auto time = ParseUnixTime(*until);
    state.silent = time.has_value() && nowUnixSeconds < *time;
  }
  return state;
}

bool RestartDevice(const std::filesystem::path& folder, const std::string& ipText,
                   const std::string& appVersion, std::int64_t silentUntil) {
  return ReplaceFile(SilentUntilFile(folder, ipText), std::to_string(silentUntil)) &&
         ReplaceFile(AppVersionFile(folder, ipText), appVersion);
}

}  // namespace quilmarr::iedsim
