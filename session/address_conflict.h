#pragma once
// An address announced by two devices at once (factory-default addresses are
// common on a new site): the updater would reach either of them.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "inventory/device_table.h"
#include "platform/clock.h"

namespace quilmarr {

inline constexpr std::u16string_view kAddressConflictStatus = u"Address conflict";

// Two or more chassis IDs heard with the record's address within kFreshSeconds.
[[nodiscard]] bool HasAddressConflict(const DeviceRecord& record, UnixSeconds now) noexcept;

// "Row N, IP, is announced by two devices (address conflict): nothing is
// updated" for the row'th target (from 0) when its address is in conflict.
[[nodiscard]] std::optional<std::u16string> AddressConflictRefusal(const DeviceTable& table,
                                                                   std::size_t row,
                                                                   std::u16string_view ip,
                                                                   UnixSeconds now);

}  // namespace quilmarr
