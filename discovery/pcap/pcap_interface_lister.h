#pragma once
#include "discovery/adapters.h"

namespace quilmarr {

// pcap_findalldevs, copied out, then pcap_freealldevs.
class PcapInterfaceLister final : public InterfaceLister {
 public:
  [[nodiscard]] std::optional<std::vector<CaptureInterfaceEntry>> FindAllDevs() override;
};

}  // namespace quilmarr
