#include "tools/ied-sim/lldp_announcement.h"

#include <algorithm>
#include <charconv>
#include <span>

namespace quilmarr::iedsim {
namespace {

constexpr MacAddress kNearestBridge{0x01, 0x80, 0xC2, 0x00, 0x00, 0x0E};
constexpr MacAddress kGooseMulticast{0x01, 0x0C, 0xCD, 0x01, 0x00, 0x01};
constexpr std::uint16_t kLldpEtherType = 0x88CC;
constexpr std::uint16_t kGooseEtherType = 0x88B8;
constexpr std::size_t kMinimumFrame = 60;  // without the frame check sequence

enum TlvType : std::uint8_t {
  kEnd = 0,
  kChassisId = 1,
  kPortId = 2,
  kTimeToLive = 3,
  kSystemName = 5,
  kSystemDescription = 6,
  kManagementAddress = 8,
};
constexpr std::uint8_t kChassisSubtypeMac = 4;
constexpr std::uint8_t kPortSubtypeLocal = 7;
constexpr std::uint8_t kAddressFamilyIpv4 = 1;  // IANA address family numbers
constexpr std::uint8_t kInterfaceSubtypeIfIndex = 2;
constexpr std::uint16_t kTimeToLiveSeconds = 120;

class FrameWriter {
 public:
  void Bytes(std::span<const std::uint8_t> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }
  void Byte(std::uint8_t value) { out_.push_back(value); }
  void Word(std::uint16_t value) {
    Byte(static_cast<std::uint8_t>(value >> 8));
    Byte(static_cast<std::uint8_t>(value & 0xFF));
  }
  void Text(std::string_view text) {
    for (const char c : text) Byte(static_cast<std::uint8_t>(c));
  }
  // 802.1AB: 7-bit type, 9-bit length.
  void TlvHeader(TlvType type, std::size_t length) {
    Word(static_cast<std::uint16_t>((static_cast<std::size_t>(type) << 9) | (length & 0x1FF)));
  }
  void TextTlv(TlvType type, std::string_view text) {
    const auto value = text.substr(0, kMaxTlvValue);
    TlvHeader(type, value.size());
    Text(value);
  }
  [[nodiscard]] std::vector<std::uint8_t> Finish() {
    if (out_.size() < kMinimumFrame) out_.resize(kMinimumFrame, 0);
    return std::move(out_);
  }

 private:
  std::vector<std::uint8_t> out_;
};

}  // namespace

MacAddress DeviceMac(std::uint32_t index) noexcept {
  return {0x02,
          0x00,
          0x00,
          0x00,
          static_cast<std::uint8_t>((index >> 8) & 0xFF),
          static_cast<std::uint8_t>(index & 0xFF)};
}

std::optional<Ipv4Address> DeviceAddress(const Ipv4Address& base, std::uint32_t index) noexcept {
  std::uint64_t value = 0;
  for (const auto b : base) value = (value << 8) | b;
  value += index;
  if (value > 0xFFFFFFFFu) return std::nullopt;
  return Ipv4Address{static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                     static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::optional<Ipv4Address> ParseIpv4(std::string_view text) {
  Ipv4Address address{};
  const char* p = text.data();
  const char* const end = text.data() + text.size();
  for (std::size_t i = 0; i < address.size(); ++i) {
    if (i > 0) {
      if (p == end || *p != '.') return std::nullopt;
      ++p;
    }
    if (p == end || *p < '0' || *p > '9') return std::nullopt;
    unsigned value = 0;
    const auto [next, error] = std::from_chars(p, end, value);
    if (error != std::errc() || value > 255 || next - p > 3) return std::nullopt;
    address[i] = static_cast<std::uint8_t>(value);
    p = next;
  }
  if (p != end) return std::nullopt;
  return address;
}

std::string FormatIpv4(const Ipv4Address& address) {
  std::string text;
  for (std::size_t i = 0; i < address.size(); ++i) {
    if (i > 0) text += '.';
    text += std::to_string(address[i]);
  }
  return text;
}

std::string SystemDescription(std::string_view bootVersion, std::string_view appVersion,
                              std::string_view iedName) {
  std::string text = "BootVer:";
  text += bootVersion;
  text += " & AppVer:";
  text += appVersion;
  text += " & IDE Name:";
  text += iedName;
  return text;
}

std::vector<std::uint8_t> BuildAnnouncementFrame(const Announcement& announcement) {
  FrameWriter w;
  w.Bytes(kNearestBridge);
  w.Bytes(announcement.source);
  w.Word(kLldpEtherType);

  w.TlvHeader(kChassisId, 1 + announcement.source.size());
  w.Byte(kChassisSubtypeMac);
  w.Bytes(announcement.source);

  w.TlvHeader(kPortId, 2);
  w.Byte(kPortSubtypeLocal);
  w.Text("1");

  w.TlvHeader(kTimeToLive, 2);
  w.Word(kTimeToLiveSeconds);

  w.TextTlv(kSystemName, announcement.systemName);

  // 802.1AB 8.5.9: address string length (subtype + address), subtype,
  // address, interface numbering subtype, interface number, OID length.
  w.TlvHeader(kManagementAddress, 1 + 1 + 4 + 1 + 4 + 1);
  w.Byte(1 + 4);
  w.Byte(kAddressFamilyIpv4);
  w.Bytes(announcement.managementAddress);
  w.Byte(kInterfaceSubtypeIfIndex);
  w.Bytes(std::array<std::uint8_t, 4>{0, 0, 0, 0});
  w.Byte(0);

  w.TextTlv(kSystemDescription, announcement.systemDescription);
  w.TlvHeader(kEnd, 0);
  return w.Finish();
}

std::vector<std::uint8_t> BuildFloodFrame(const MacAddress& source) {
  constexpr std::size_t kFloodFrameSize = 200;
  FrameWriter w;
  w.Bytes(kGooseMulticast);
  w.Bytes(source);
  w.Word(kGooseEtherType);
  auto frame = w.Finish();
  frame.resize(kFloodFrameSize, 0);
  return frame;
}

}  // namespace quilmarr::iedsim
