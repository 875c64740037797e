#include "session/site_audit.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "platform/csv.h"
#include "session/address_conflict.h"
#include "session/device_rows.h"
#include "update/batch_outcomes.h"

namespace quilmarr {
namespace {

// How a heard device stands against its roster row (null: not on the roster).
AuditState Compare(const RosterRow* row, const DeviceRecord& record, UnixSeconds now) {
  if (HasAddressConflict(record, now)) return AuditState::AddressConflict;
  if (row == nullptr) return AuditState::Unexpected;
  const bool namesAgree = (row->systemName.empty() || row->systemName == record.systemName) &&
                          (row->iedName.empty() || row->iedName == record.iedName);
  if (!namesAgree) return AuditState::IdentityMismatch;
  return TrimmedVersion(record.currentAppVersion) == TrimmedVersion(row->targetVersion)
             ? AuditState::Ok
             : AuditState::OffTarget;
}

AuditRow HeardRow(const RosterRow* row, const DeviceRecord& record, UnixSeconds now) {
  return {record.ipText,
          Compare(row, record, now),
          record.systemName,
          record.iedName,
          record.currentAppVersion,
          row != nullptr ? row->targetVersion : std::u16string()};
}

}  // namespace

std::u16string_view AuditStateText(AuditState state) noexcept {
  switch (state) {
    case AuditState::Ok: return u"OK";
    case AuditState::OffTarget: return u"Off target";
    case AuditState::IdentityMismatch: return u"Identity mismatch";
    case AuditState::Missing: return u"Missing";
    case AuditState::Unexpected: return u"Unexpected";
    case AuditState::AddressConflict: return kAddressConflictStatus;
  }
  return {};
}

std::vector<AuditRow> AuditSite(const SiteRoster& roster, const DeviceTable& table,
                                UnixSeconds now) {
  std::unordered_map<std::u16string_view, const DeviceRecord*> heard;
  for (const auto& record : table) {
    if (IsFresh(now, record->lastSeen)) heard.emplace(record->ipText, record.get());
  }
  std::vector<AuditRow> rows;
  std::unordered_set<std::u16string_view> listed;
  for (const RosterRow& row : roster.rows) {
    listed.insert(row.ip);
    const auto found = heard.find(row.ip);
    if (found == heard.end()) {
      rows.push_back(
          {row.ip, AuditState::Missing, row.systemName, row.iedName, {}, row.targetVersion});
    } else {
      rows.push_back(HeardRow(&row, *found->second, now));
    }
  }
  for (const auto& record : table) {
    if (IsFresh(now, record->lastSeen) && !listed.contains(record->ipText)) {
      rows.push_back(HeardRow(nullptr, *record, now));
    }
  }
  return rows;
}

bool AuditPassed(const std::vector<AuditRow>& rows) noexcept {
  return std::all_of(rows.begin(), rows.end(),
                     [](const AuditRow& row) { return row.state == AuditState::Ok; });
}

std::string AuditCsv(const std::vector<AuditRow>& rows) {
  std::string csv = CsvRecord(
      {u"IP", u"State", u"System Name", u"IED Name", u"App Version", u"Target App Version"});
  for (const AuditRow& row : rows) {
    csv += CsvRecord({row.ip, std::u16string(AuditStateText(row.state)), row.systemName,
                      row.iedName, row.appVersion, row.targetVersion});
  }
  return csv;
}

std::u16string_view RosterStatus(const SiteRoster* roster, const DeviceRecord& record,
                                 UnixSeconds now) {
  if (roster == nullptr) return {};
  switch (Compare(roster->Find(record.ipText), record, now)) {
    case AuditState::Ok: return u"At target";
    case AuditState::OffTarget: return u"Off target";
    case AuditState::IdentityMismatch: return u"Names differ";
    case AuditState::AddressConflict: return kAddressConflictStatus;
    case AuditState::Unexpected:
    case AuditState::Missing: return u"Not on roster";
  }
  return {};
}

}  // namespace quilmarr
