#pragma once
// The capture library's interface list as the test gives it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "discovery/adapters.h"

namespace quilmarr::test {

// One interface with one IPv4 address.
[[nodiscard]] inline CaptureInterfaceEntry Interface(
    std::string name, std::string description, std::array<std::uint8_t, 4> ipv4,
    std::optional<std::array<std::uint8_t, 4>> netmask = std::nullopt) {
  return {std::move(name), std::move(description), 0, {{kAddressFamilyIpv4, ipv4, netmask}}};
}

// Two adapters with IPv4 addresses, as on a typical engineer's PC: "Test
// Adapter A" at 10.0.0.1 and "Test Adapter B" at 10.0.0.2.
[[nodiscard]] inline std::vector<CaptureInterfaceEntry> TwoAdapters() {
  return {Interface("adapter-a", "Test Adapter A", {10, 0, 0, 1}),
          Interface("adapter-b", "Test Adapter B", {10, 0, 0, 2})};
}

class FakeInterfaceLister final : public InterfaceLister {
 public:
  FakeInterfaceLister() = default;
  explicit FakeInterfaceLister(std::optional<std::vector<CaptureInterfaceEntry>> listed)
      : entries(std::move(listed)) {}

  [[nodiscard]] std::optional<std::vector<CaptureInterfaceEntry>> FindAllDevs() override {
    if (throwsWithoutText) throw CPcapException(nullptr);
    return entries;
  }

  // nullopt: the listing fails, as it does without the capture library.
  std::optional<std::vector<CaptureInterfaceEntry>> entries = std::vector<CaptureInterfaceEntry>{};
  bool throwsWithoutText = false;
};

}  // namespace quilmarr::test
