#include "inventory/device_table.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "platform/text.h"

namespace quilmarr {
namespace {

void NoteChassis(DeviceRecord& record, UnixSeconds now) {
  if (record.chassisId.empty()) return;
  auto& heard = record.chassisHeard;
  for (ChassisSighting& sighting : heard) {
    if (sighting.chassisId == record.chassisId) {
      sighting.lastSeen = now;
      return;
    }
  }
  if (heard.size() >= kMaxChassisPerAddress) {
    heard.erase(std::min_element(heard.begin(), heard.end(), [](const auto& a, const auto& b) {
      return a.lastSeen < b.lastSeen;
    }));
  }
  heard.push_back({record.chassisId, now});
}

}  // namespace

std::unique_ptr<DeviceRecord> BuildDeviceRecord(const LldpFrameView& view, const Clock& clock) {
  auto record = std::make_unique<DeviceRecord>();
  record->lastSeen = clock.Now();
  try {
    record->systemName = WidenCounted(view.systemName, view.systemNameLength);
    // The IED name ends at its first zero byte: it is converted as a
    // zero-terminated text, unlike the other fields.
    record->iedName = WidenZeroTerminated(view.iedName, view.iedNameLength);
    record->bootVersion = WidenCounted(view.bootVersion, view.bootVersionLength);
    record->originalAppVersion = WidenCounted(view.appVersion, view.appVersionLength);
    record->currentAppVersion = WidenCounted(view.appVersion, view.appVersionLength);
    if (view.mgmtAddress == nullptr || view.mgmtAddressLength != 4) return nullptr;
    record->ipText = WidenCounted(FormatIpv4(view.mgmtAddress));
    record->chassisId = ChassisIdText({view.chassisId, view.chassisIdLength});
    NoteChassis(*record, record->lastSeen);
  } catch (const std::exception&) {
    return nullptr;
  }
  return record;
}

bool HasSameIp(const DeviceRecord& a, const DeviceRecord& b) noexcept {
  // Whole texts, code unit for code unit. Addresses on one segment share their
  // leading octets, so the merge's linear scan compares from the end.
  const std::u16string& x = a.ipText;
  const std::u16string& y = b.ipText;
  if (x.size() != y.size()) return false;
  for (std::size_t i = x.size(); i-- > 0;) {
    if (x[i] != y[i]) return false;
  }
  return true;
}

const DeviceRecord& MergeDeviceRecord(std::unique_ptr<DeviceRecord> record, DeviceTable& table,
                                      const Clock& clock) {
  for (const auto& known : table) {
    if (HasSameIp(*known, *record)) {
      known->bootVersion = std::move(record->bootVersion);
      known->currentAppVersion = std::move(record->currentAppVersion);
      known->systemName = std::move(record->systemName);
      known->iedName = std::move(record->iedName);
      known->lastSeen = clock.Now();
      known->chassisId = std::move(record->chassisId);
      NoteChassis(*known, known->lastSeen);
      return *known;
    }
  }
  table.push_back(std::move(record));
  return *table.back();
}

void ClearDeviceTable(DeviceTable& table) noexcept { table.clear(); }

const DeviceRecord* FindDevice(const DeviceTable& table, std::u16string_view ip) {
  for (const auto& record : table) {
    if (record && EqualsNoCase(record->ipText, ip)) return record.get();
  }
  return nullptr;
}

const DeviceRecord* ProcessCapturedFrame(std::span<const std::uint8_t> frame, DeviceTable& table,
                                         const Clock& clock) {
  // Most traffic fails the header checks; dropping it here, before the copy
  // and without a thrown exception, is the decoder's own silent drop, cheaper.
  if (CheckEthernetHeader(frame) != LldpRejection::None) return nullptr;
  LldpFrameView view = MakeFrameView(frame);
  try {
    view.Decode();
  } catch (const CLldpException&) {
    return nullptr;
  }
  if (auto record = BuildDeviceRecord(view, clock)) {
    return &MergeDeviceRecord(std::move(record), table, clock);
  }
  return nullptr;
}

}  // namespace quilmarr
