#include "discovery/pcap/capture_file.h"

#include <pcap/pcap.h>

#include <memory>

namespace quilmarr {

std::string ReadCaptureFile(const std::string& path,
                            const std::function<void(std::span<const std::uint8_t>)>& onFrame) {
  char error[PCAP_ERRBUF_SIZE] = {};
  std::unique_ptr<pcap_t, decltype(&pcap_close)> capture(pcap_open_offline(path.c_str(), error),
                                                         &pcap_close);
  if (!capture) return error[0] != '\0' ? error : "cannot open capture file";
  pcap_pkthdr* header = nullptr;
  const u_char* data = nullptr;
  int result = 0;
  while ((result = pcap_next_ex(capture.get(), &header, &data)) == 1) {
    onFrame(std::span<const std::uint8_t>(data, header->caplen));
  }
  if (result == PCAP_ERROR) return pcap_geterr(capture.get());
  return {};
}

}  // namespace quilmarr
