#pragma once
// IEEE 802.1AB LLDP frame decoder: validates one captured Ethernet frame and
// picks out the values the device table needs, as slices into the frame copy.
#include <cstdint>
#include <exception>
#include <memory>
#include <span>
#include <string>

namespace quilmarr {

class CLldpException : public std::exception {
 public:
  explicit CLldpException(const char* message) : message_(message != nullptr ? message : "") {}
  [[nodiscard]] const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Why a frame was rejected; each has exactly one message text.
enum class LldpRejection : std::uint8_t {
  None,
  MulticastAddress,
  EthernetType,
  Ipv4Address,
  SystemDescription,
  Package,
};
[[nodiscard]] const char* RejectionText(LldpRejection rejection) noexcept;

// The decoder's first two checks (destination address, EtherType), shared with
// the capture worker so that it can drop what the decoder would reject anyway.
[[nodiscard]] LldpRejection CheckEthernetHeader(std::span<const std::uint8_t> frame) noexcept;

// A slice: pointer into the frame copy plus a byte count; empty is {nullptr, 0}.
struct SystemDescriptionFields {
  const std::uint8_t* iedName = nullptr;
  std::uint32_t iedNameLength = 0;
  const std::uint8_t* bootVersion = nullptr;
  std::uint32_t bootVersionLength = 0;
  const std::uint8_t* appVersion = nullptr;
  std::uint32_t appVersionLength = 0;
};

// Parses "key:value & key:value" pairs of a System Description TLV value and
// updates `fields` in place; throws CLldpException("invalid LLDP System
// Description") unless all three keys then hold a non-empty value.
void ParseSystemDescription(std::span<const std::uint8_t> value, SystemDescriptionFields& fields);

// The Chassis ID TLV's value (subtype byte, then the ID) as text that tells
// IDs apart exactly and holds only [0-9a-f:]: subtype 4 (MAC address) with six
// bytes as "aa:bb:cc:dd:ee:ff", any other as "<subtype>:<hex bytes>"; empty
// for an empty value.
[[nodiscard]] std::string ChassisIdText(std::span<const std::uint8_t> value);

struct LldpFrameView {
  std::unique_ptr<std::uint8_t[]> frame;
  std::int32_t frameLength = 0;
  // The Chassis ID TLV's value when it is the LLDPDU's first TLV (802.1AB 8.2).
  const std::uint8_t* chassisId = nullptr;
  std::uint32_t chassisIdLength = 0;
  const std::uint8_t* mgmtAddress = nullptr;
  std::uint32_t mgmtAddressLength = 0;
  const std::uint8_t* iedName = nullptr;
  std::uint32_t iedNameLength = 0;
  const std::uint8_t* systemName = nullptr;
  std::uint32_t systemNameLength = 0;
  const std::uint8_t* bootVersion = nullptr;
  std::uint32_t bootVersionLength = 0;
  const std::uint8_t* appVersion = nullptr;
  std::uint32_t appVersionLength = 0;

  // Fills every slice, or throws CLldpException and leaves them all empty.
  void Decode();
};

// A view holding its own copy of `bytes`, ready for Decode.
[[nodiscard]] LldpFrameView MakeFrameView(std::span<const std::uint8_t> bytes);

}  // namespace quilmarr
