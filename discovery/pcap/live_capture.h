#pragma once
// The platform's capture library behind the discovery seams: libpcap, or the
// WinPcap/Npcap API on Windows.
#include <memory>

#include "discovery/adapters.h"
#include "discovery/packet_source.h"

namespace quilmarr {

[[nodiscard]] std::unique_ptr<InterfaceLister> MakeLiveInterfaceLister();
// A live capture: promiscuous, snapshot length 65536, read time-out 1000 ms.
[[nodiscard]] std::unique_ptr<PacketSource> MakeLivePacketSource();

}  // namespace quilmarr
