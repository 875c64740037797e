#include "session/device_rows.h"

namespace quilmarr {

std::vector<std::u16string> DeviceListHeaders() {
  std::vector<std::u16string> headers;
  for (const DeviceColumn& column : kDeviceColumns) {
    std::u16string_view header = column.header;
    while (!header.empty() && header.front() == u' ') header.remove_prefix(1);
    while (!header.empty() && header.back() == u' ') header.remove_suffix(1);
    headers.emplace_back(header);
  }
  return headers;
}

// The difference now - lastSeen in signed 64-bit arithmetic could overflow for
// extreme values; unsigned, the true difference is positive here.
bool IsFresh(UnixSeconds now, UnixSeconds lastSeen) noexcept {
  if (lastSeen >= now) return true;
  const auto difference = static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(lastSeen);
  return difference <= static_cast<std::uint64_t>(kFreshSeconds);
}

}  // namespace quilmarr
