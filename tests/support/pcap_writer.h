#pragma once
// Writes a classic little-endian pcap file (link type Ethernet) for tests.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace quilmarr::test {

inline void WritePcap(const std::string& path,
                      const std::vector<std::vector<std::uint8_t>>& frames) {
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto u16 = [&](std::uint16_t v) {
    out.put(static_cast<char>(v & 0xFF));
    out.put(static_cast<char>(v >> 8));
  };
  u32(0xA1B2C3D4);
  u16(2);
  u16(4);
  u32(0);
  u32(0);
  u32(65535);
  u32(1);  // LINKTYPE_ETHERNET
  std::uint32_t second = 1'700'000'000;
  for (const auto& frame : frames) {
    u32(second++);
    u32(0);
    u32(static_cast<std::uint32_t>(frame.size()));
    u32(static_cast<std::uint32_t>(frame.size()));
    out.write(reinterpret_cast<const char*>(frame.data()),
              static_cast<std::streamsize>(frame.size()));
  }
}

}  // namespace quilmarr::test
