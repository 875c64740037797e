#pragma once
// The platform's capture library behind the discovery seams: libpcap, or the
// WinPcap/Npcap API on Windows (wpcap.dll, loaded at run time).
#include <memory>

#include "discovery/adapters.h"
#include "discovery/packet_source.h"

namespace quilmarr {

[[nodiscard]] std::unique_ptr<InterfaceLister> MakeLiveInterfaceLister();
// A live capture: promiscuous, snapshot length 65536, read time-out 1000 ms.
[[nodiscard]] std::unique_ptr<PacketSource> MakeLivePacketSource();

// True when the capture library itself is not installed (Windows without
// Npcap). The front end then says so once, with this text; listing the
// adapters fails as usual ("Cant find any network adapter").
[[nodiscard]] bool LiveCaptureLibraryMissing();
inline constexpr char kCaptureLibraryMissing[] =
    "Please install Npcap from https://npcap.com/ to capture on this computer";

}  // namespace quilmarr
