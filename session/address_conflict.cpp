#include "session/address_conflict.h"

#include <algorithm>

#include "platform/text.h"
#include "session/batch_checks.h"
#include "session/device_rows.h"

namespace quilmarr {

bool HasAddressConflict(const DeviceRecord& record, UnixSeconds now) noexcept {
  // The sightings hold distinct chassis IDs.
  return std::count_if(record.chassisHeard.begin(), record.chassisHeard.end(),
                       [now](const ChassisSighting& sighting) {
                         return IsFresh(now, sighting.lastSeen);
                       }) >= 2;
}

std::optional<std::u16string> AddressConflictRefusal(const DeviceTable& table, std::size_t row,
                                                     std::u16string_view ip, UnixSeconds now) {
  const DeviceRecord* record = FindDevice(table, ip);
  if (record == nullptr || !HasAddressConflict(*record, now)) return std::nullopt;
  return RowRefusal(row, ip, u"is announced by two devices (address conflict)");
}

}  // namespace quilmarr
