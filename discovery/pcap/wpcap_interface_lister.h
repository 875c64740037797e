#pragma once
#include "discovery/adapters.h"
#include "discovery/pcap/wpcap_library.h"

namespace quilmarr {

// pcap_findalldevs_ex on the local machine, copied out, then pcap_freealldevs.
class WpcapInterfaceLister final : public InterfaceLister {
 public:
  // `functions` may be null (no wpcap.dll): listing then fails.
  explicit WpcapInterfaceLister(const WpcapFunctions* functions) noexcept : functions_(functions) {}

  [[nodiscard]] std::optional<std::vector<CaptureInterfaceEntry>> FindAllDevs() override;
  // Listing fails because there is no capture library at all, not because it failed.
  [[nodiscard]] bool LibraryMissing() const noexcept { return functions_ == nullptr; }

 private:
  const WpcapFunctions* functions_;
};

}  // namespace quilmarr
