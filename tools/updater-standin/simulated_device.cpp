#include "simulated_device.h"

#include <fstream>
#include <system_error>

namespace quilmarr::standin {
namespace {

[[nodiscard]] bool ReplaceFile(const std::filesystem::path& target, const std::string& content) {
  std::filesystem::path temporary = target;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << content << '\n';
    if (!out.flush()) return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, target, error);
  if (error) std::filesystem::remove(temporary, error);
  return !error;
}

}  // namespace

bool RestartSimulatedDevice(const std::filesystem::path& stateDir, const std::string& ip,
                            const std::string& version, std::int64_t silentUntil) {
  // Silence first, so the device never announces the new version before going quiet.
  return ReplaceFile(stateDir / (ip + ".silent-until"), std::to_string(silentUntil)) &&
         ReplaceFile(stateDir / (ip + ".app"), version);
}

}  // namespace quilmarr::standin
