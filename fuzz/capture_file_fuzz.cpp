// libFuzzer target: any bytes as a saved capture (pcap or pcapng).
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "discovery/capture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  quilmarr::CaptureFileReader reader(in);
  static volatile std::uint8_t sink = 0;
  while (const auto frame = reader.Next()) {
    // Every byte handed out is read, so the sanitizers see any read past the buffer.
    for (const std::uint8_t byte : *frame) sink = static_cast<std::uint8_t>(sink ^ byte);
  }
  return 0;
}
