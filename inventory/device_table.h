#pragma once
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "discovery/ipv4_text.h"
#include "discovery/lldp_frame_view.h"
#include "platform/clock.h"

namespace quilmarr {

// A chassis ID heard announcing a record's address, and when last.
struct ChassisSighting {
  std::string chassisId;
  UnixSeconds lastSeen = 0;
};

// Enough to tell one device from two on an address; frames are hostile, so
// the list per address stays this short.
inline constexpr std::size_t kMaxChassisPerAddress = 4;

struct DeviceRecord {
  std::u16string originalAppVersion;
  std::u16string currentAppVersion;
  std::u16string bootVersion;
  std::u16string iedName;
  std::u16string systemName;
  std::u16string ipText;  // the key, dotted decimal
  UnixSeconds lastSeen = 0;
  std::string chassisId;  // of the last frame (ChassisIdText); empty when it had none
  // The chassis IDs heard with this address, the least recently heard dropped
  // first once there are kMaxChassisPerAddress.
  std::vector<ChassisSighting> chassisHeard;
};

// Records in the order first heard since the table was last cleared.
using DeviceTable = std::vector<std::unique_ptr<DeviceRecord>>;

// Null when filling the fields raised a standard exception.
[[nodiscard]] std::unique_ptr<DeviceRecord> BuildDeviceRecord(const LldpFrameView& view,
                                                              const Clock& clock);
[[nodiscard]] bool HasSameIp(const DeviceRecord& a, const DeviceRecord& b) noexcept;
// Returns the table's record for the address, now holding the new values.
const DeviceRecord& MergeDeviceRecord(std::unique_ptr<DeviceRecord> record, DeviceTable& table,
                                      const Clock& clock);
void ClearDeviceTable(DeviceTable& table) noexcept;
// The record of the device with this address (ignoring case, as the list
// compares addresses), or null when it has not been heard.
[[nodiscard]] const DeviceRecord* FindDevice(const DeviceTable& table, std::u16string_view ip);

// The WM_CAPTURE_PACKET pipeline: copy, decode, build, merge. A frame the
// decoder rejects is dropped silently (null); otherwise the merged record.
const DeviceRecord* ProcessCapturedFrame(std::span<const std::uint8_t> frame, DeviceTable& table,
                                         const Clock& clock);

}  // namespace quilmarr
