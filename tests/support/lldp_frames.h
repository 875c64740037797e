#pragma once
// Builds LLDP frames byte by byte for tests (IEEE 802.1AB TLV layout).
#include <array>
#include <cstdint>
#include <string>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace quilmarr::test {

using Bytes = std::vector<std::uint8_t>;

class FrameBuilder {
 public:
  // Destination 01-80-C2-00-00-<last>, a fixed source, EtherType 88-CC.
  explicit FrameBuilder(std::uint8_t destinationLast = 0x0E) {
    bytes_ = {0x01, 0x80, 0xC2, 0x00, 0x00, destinationLast, 0x02, 0x00, 0x00,
              0x00, 0x00, 0x01, 0x88, 0xCC};
  }
  FrameBuilder& Raw(std::initializer_list<std::uint8_t> raw) {
    bytes_.insert(bytes_.end(), raw);
    return *this;
  }
  FrameBuilder& Tlv(std::uint8_t type, const Bytes& value) {
    const auto length = value.size();
    bytes_.push_back(
        static_cast<std::uint8_t>((static_cast<std::size_t>(type) << 1) | ((length >> 8) & 1u)));
    bytes_.push_back(static_cast<std::uint8_t>(length & 0xFF));
    bytes_.insert(bytes_.end(), value.begin(), value.end());
    return *this;
  }
  FrameBuilder& Tlv(std::uint8_t type, std::string_view text) { return Tlv(type, Text(text)); }
  FrameBuilder& ChassisPortTtl() {
    Tlv(1, Bytes{4, 0x02, 0, 0, 0, 0, 1});
    Tlv(2, Bytes{7, 'p', '1'});
    return Tlv(3, Bytes{0, 120});
  }
  FrameBuilder& SystemName(std::string_view name) { return Tlv(5, name); }
  FrameBuilder& SystemDescription(std::string_view text) { return Tlv(6, text); }
  FrameBuilder& Ipv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return Tlv(8, Bytes{5, 1, a, b, c, d, 2, 0, 0, 0, 0, 0});
  }
  FrameBuilder& Ipv6() {
    Bytes value{17, 2};
    for (int i = 0; i < 16; ++i) value.push_back(static_cast<std::uint8_t>(0x20 + i));
    value.insert(value.end(), {2, 0, 0, 0, 0, 0});
    return Tlv(8, value);
  }
  FrameBuilder& End() { return Raw({0, 0}); }
  [[nodiscard]] Bytes Build() const { return bytes_; }

  static Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

 private:
  Bytes bytes_;
};

// A typical device frame: name, address, the three System Description keys.
inline Bytes DeviceFrame(
    std::string_view name, std::uint8_t lastOctet,
    std::string_view description = "BootVer:1.0.2 & AppVer:4.1.7 & IDE Name:FEEDER_7") {
  return FrameBuilder()
      .ChassisPortTtl()
      .SystemName(name)
      .Ipv4(192, 168, 0, lastOctet)
      .SystemDescription(description)
      .End()
      .Build();
}

// Device `index` of a numbered set: 10.1.<index / 256>.<index % 256>.
inline Bytes NumberedDeviceFrame(int index) {
  return FrameBuilder()
      .ChassisPortTtl()
      .SystemName("IED-" + std::to_string(index))
      .Ipv4(10, 1, static_cast<std::uint8_t>(index / 256), static_cast<std::uint8_t>(index % 256))
      .SystemDescription("BootVer:1.0.2 & AppVer:4.1.7 & IDE Name:IED_" + std::to_string(index))
      .End()
      .Build();
}

// One device's announcement, as field devices send it.
struct DeviceAnnouncement {
  std::array<std::uint8_t, 4> ip{};
  std::string_view systemName = "BAY-1";
  std::string_view iedName = "FEEDER_1";
  std::string_view bootVersion = "1.0.2";
  std::string_view appVersion = "4.1.7";
};

inline Bytes LldpFrame(const DeviceAnnouncement& device) {
  std::string description = "BootVer:";
  for (std::string_view part :
       {device.bootVersion, std::string_view(" & AppVer:"), device.appVersion,
        std::string_view(" & IDE Name:"), device.iedName}) {
    description += part;
  }
  const auto& ip = device.ip;
  return FrameBuilder()
      .ChassisPortTtl()
      .SystemName(device.systemName)
      .SystemDescription(description)
      .Ipv4(ip[0], ip[1], ip[2], ip[3])
      .End()
      .Build();
}

// An ordinary IPv4 frame, which the pipeline drops silently.
inline Bytes OrdinaryFrame() {
  Bytes frame(60, 0x00);
  frame[0] = 0xFF;
  frame[12] = 0x08;
  return frame;
}

}  // namespace quilmarr::test
