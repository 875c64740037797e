#pragma once
// A site audit: the devices heard against the site's roster, as a compliance
// audit of a substation records them.
#include <string>
#include <string_view>
#include <vector>

#include "inventory/device_table.h"
#include "platform/clock.h"
#include "update/site_roster.h"

namespace quilmarr {

enum class AuditState {
  Ok,                // heard with the roster's names and its target version
  OffTarget,         // heard with the roster's names and another version
  IdentityMismatch,  // the address answers with another system or IED name
  Missing,           // on the roster, not heard
  Unexpected,        // heard, not on the roster
  AddressConflict,   // two devices announce the address
};

// "OK", "Off target", "Identity mismatch", "Missing", "Unexpected", "Address conflict".
[[nodiscard]] std::u16string_view AuditStateText(AuditState state) noexcept;

struct AuditRow {
  std::u16string ip;
  AuditState state = AuditState::Ok;
  std::u16string systemName;  // as heard; for a missing device, as the roster has it
  std::u16string iedName;
  std::u16string appVersion;     // as heard; empty when missing
  std::u16string targetVersion;  // the roster's; empty when not on it
};

// One row per roster row in roster order, then one per device heard within
// kFreshSeconds of `now` that the roster does not list, in table order.
[[nodiscard]] std::vector<AuditRow> AuditSite(const SiteRoster& roster, const DeviceTable& table,
                                              UnixSeconds now);

// Every row is OK: nothing missing, off target, unexpected or in doubt.
[[nodiscard]] bool AuditPassed(const std::vector<AuditRow>& rows) noexcept;

// RFC 4180 with the header "IP", "State", "System Name", "IED Name", "App
// Version", "Target App Version".
[[nodiscard]] std::string AuditCsv(const std::vector<AuditRow>& rows);

// A heard device's roster state for the device list's Status column: "At
// target", "Off target", "Not on roster", "Names differ", "Address conflict";
// empty without a roster.
[[nodiscard]] std::u16string_view RosterStatus(const SiteRoster* roster, const DeviceRecord& record,
                                               UnixSeconds now);

}  // namespace quilmarr
