#include "package_file.h"

#include <cstdint>
#include <fstream>
#include <string_view>
#include <system_error>

namespace quilmarr::standin {
namespace {

constexpr std::uintmax_t kMaxDescriptionBytes = 64 * 1024;
constexpr std::string_view kStateDirKey = "state-dir=";
constexpr std::string_view kVersionKey = "version=";

}  // namespace

std::optional<SimulatedPackage> ReadSimulatedPackage(const std::filesystem::path& file) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error || size > kMaxDescriptionBytes) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;

  std::optional<std::string> stateDir;
  std::optional<std::string> version;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string_view text(line);
    if (text.starts_with(kStateDirKey)) stateDir = std::string(text.substr(kStateDirKey.size()));
    if (text.starts_with(kVersionKey)) version = std::string(text.substr(kVersionKey.size()));
  }
  if (!stateDir || stateDir->empty() || !version || version->empty()) return std::nullopt;
  return SimulatedPackage{std::filesystem::path(*stateDir), *version};
}

}  // namespace quilmarr::standin
