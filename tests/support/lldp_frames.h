#pragma once
// Builds LLDP frames byte by byte for tests (IEEE 802.1AB TLV layout).
#include <array>
#include <cstdint>
#include <string>
#include <initializer_list>
#include <string_view>
#include <span>
#include <vector>

#include "discovery/lldp_constants.h"
#include "discovery/lldp_frame_writer.h"

namespace quilmarr::test {

using Bytes = std::vector<std::uint8_t>;

class FrameBuilder {
 public:
  // Destination 01-80-C2-00-00-<last>, a fixed source, EtherType 88-CC.
  explicit FrameBuilder(std::uint8_t destinationLast = 0x0E) {
    lldp::MacAddress destination = lldp::kNearestBridge;
    destination[5] = destinationLast;
    writer_.Ethernet(destination, kSource, lldp::kEtherType);
  }
  FrameBuilder& Raw(std::initializer_list<std::uint8_t> raw) {
    writer_.Raw(std::span<const std::uint8_t>(raw.begin(), raw.size()));
    return *this;
  }
  FrameBuilder& Tlv(std::uint8_t type, const Bytes& value) {
    writer_.Tlv(type, value);
    return *this;
  }
  FrameBuilder& Tlv(std::uint8_t type, std::string_view text) { return Tlv(type, Text(text)); }
  FrameBuilder& ChassisPortTtl(const lldp::MacAddress& chassis = kSource) {
    writer_.ChassisMac(chassis).PortLocal("p1").TimeToLive(120);
    return *this;
  }
  FrameBuilder& SystemName(std::string_view name) { return Tlv(lldp::kTlvSystemName, name); }
  FrameBuilder& SystemDescription(std::string_view text) {
    return Tlv(lldp::kTlvSystemDescription, text);
  }
  FrameBuilder& Ipv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    writer_.ManagementIpv4({a, b, c, d});
    return *this;
  }
  FrameBuilder& Ipv6() {
    Bytes value{17, 2};
    for (int i = 0; i < 16; ++i) value.push_back(static_cast<std::uint8_t>(0x20 + i));
    value.insert(value.end(), {2, 0, 0, 0, 0, 0});
    return Tlv(lldp::kTlvManagementAddress, value);
  }
  FrameBuilder& End() {
    writer_.End();
    return *this;
  }
  // The frame so far; the builder can go on from there.
  [[nodiscard]] Bytes Build() const { return lldp::FrameWriter(writer_).Finish(); }

  static Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

 private:
  static constexpr lldp::MacAddress kSource{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
  lldp::FrameWriter writer_;
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
  lldp::MacAddress chassis{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
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
      .ChassisPortTtl(device.chassis)
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
