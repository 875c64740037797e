#pragma once
// The device list as every front end shows it: its columns, and which devices
// are listed with which status.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/device_table.h"
#include "platform/clock.h"

namespace quilmarr {

// A device is listed while it was heard within this many seconds.
inline constexpr std::int64_t kFreshSeconds = 6;

struct DeviceColumn {
  std::u16string_view header;  // as shown, with its padding blanks
  int width;                   // pixels, before fitting to the header
};

// "IP", "Sys Name", "IED Name", "Boot Version", "Original App Version",
// "Current App Version", "Status", in this order.
inline constexpr DeviceColumn kDeviceColumns[] = {
    {u"  IP   ", 120},
    {u" Sys Name ", 80},
    {u" IED Name ", 80},
    {u" Boot Version ", 100},
    {u" Original App Version ", 120},
    {u" Current App Version ", 120},
    {u" Status ", 80},
};
inline constexpr int kStatusColumn = 6;

// The column headers without their padding (the header row of an exported list).
[[nodiscard]] std::vector<std::u16string> DeviceListHeaders();

// `lastSeen` in the future counts as fresh.
[[nodiscard]] bool IsFresh(UnixSeconds now, UnixSeconds lastSeen) noexcept;

struct DeviceRow {
  const DeviceRecord* record = nullptr;
  bool ticked = false;
  std::u16string status;  // "Updating", an outcome, or empty
};

}  // namespace quilmarr
