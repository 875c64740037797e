#pragma once
// Capture-capable adapters: not loopback, with an IPv4 address, sorted by text.
#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/ipv4_text.h"

namespace quilmarr {

class CPcapException : public std::exception {
 public:
  explicit CPcapException(const char* message) : message_(message != nullptr ? message : "") {}
  [[nodiscard]] const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

struct AdapterInfo {
  std::u16string deviceName;
  std::u16string description;
  std::u16string ipAddress;
  std::optional<Ipv4Bytes> netmask;  // of ipAddress; nullopt when the library gave none
};

// Owning, ordered, indexed; entries stay in place until the list is destroyed.
using AdapterList = std::vector<std::unique_ptr<AdapterInfo>>;

// What the capture library reports of one interface (pcap_if_t), copied out.
inline constexpr unsigned kInterfaceLoopbackFlag = 1;  // PCAP_IF_LOOPBACK
inline constexpr int kAddressFamilyIpv4 = 2;           // AF_INET
struct InterfaceAddressEntry {
  int family = 0;
  std::array<std::uint8_t, 4> ipv4{};                  // network order; meaningful for family 2
  std::optional<std::array<std::uint8_t, 4>> netmask;  // of an IPv4 address, when given
};
struct CaptureInterfaceEntry {
  std::string name;
  std::optional<std::string> description;
  unsigned flags = 0;
  std::vector<InterfaceAddressEntry> addresses;
};

// Seam over pcap_findalldevs/pcap_freealldevs; nullopt when the library fails.
class InterfaceLister {
 public:
  virtual ~InterfaceLister() = default;
  [[nodiscard]] virtual std::optional<std::vector<CaptureInterfaceEntry>> FindAllDevs() = 0;
};

// Throws CPcapException("Cant find any network adapter") when listing fails.
[[nodiscard]] std::unique_ptr<AdapterList> EnumerateAdapters(InterfaceLister& lister);

// The entry whose address equals `ip` ignoring case, the last one when several
// do (as the adapter box preselects the remembered adapter); null when none.
[[nodiscard]] const AdapterInfo* FindAdapterByIp(const AdapterList& adapters,
                                                 std::u16string_view ip) noexcept;

}  // namespace quilmarr
