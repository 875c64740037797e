#pragma once
// Saved captures (pcap and pcapng) through libpcap's offline reader.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace quilmarr {

// Calls `onFrame` with each frame's captured bytes, in file order. Returns an
// empty text on success, else why the file could not be read.
[[nodiscard]] std::string ReadCaptureFile(
    const std::string& path, const std::function<void(std::span<const std::uint8_t>)>& onFrame);

}  // namespace quilmarr
