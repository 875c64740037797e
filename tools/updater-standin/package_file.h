#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace quilmarr::standin {

// A package that asks the stand-in to act on an ied-sim device: a small text
// file with the lines "state-dir=DIR" and "version=V".
struct SimulatedPackage {
  std::filesystem::path stateDir;
  std::string version;
};

// nullopt for any other file (missing, large, binary, or lacking a line).
[[nodiscard]] std::optional<SimulatedPackage> ReadSimulatedPackage(
    const std::filesystem::path& file);

}  // namespace quilmarr::standin
