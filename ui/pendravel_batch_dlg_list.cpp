// The device list of the main dialog: set-up, the one-second rebuild, ticks,
// the update marker and each device's outcome, and its export.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/csv.h"
#include "platform/text.h"
#include "ui/pendravel_batch_dlg.h"

namespace quilmarr {

namespace {

struct ColumnLayout {
  std::u16string_view header;
  int width;
};

// Column 0 is a placeholder that is deleted again, so that "  IP   " becomes
// column 0 with its own centred format (a list view's first column is always
// left-aligned otherwise).
constexpr ColumnLayout kInitialColumns[] = {
    {u"", 10},
    {u"  IP   ", 120},
    {u" Sys Name ", 80},
    {u" IED Name ", 80},
    {u" Boot Version ", 100},
    {u" Original App Version ", 120},
    {u" Current App Version ", 120},
    {u" Status ", 80},
};

constexpr int kStatusColumn = 6;
constexpr std::u16string_view kUpdatingStatus = u"Updating";

// The difference now - lastSeen in signed 64-bit arithmetic; a lastSeen in
// the future is a negative difference and so counts as fresh.
[[nodiscard]] bool IsFresh(UnixSeconds now, UnixSeconds lastSeen) noexcept {
  if (lastSeen >= now) {
    return true;
  }
  // Unsigned, so that extreme values cannot overflow; the true difference is positive here.
  const auto difference = static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(lastSeen);
  return difference <= static_cast<std::uint64_t>(kFreshSeconds);
}

}  // namespace

void CPendravelBatchDlg::SetUpDeviceList() {
  m_deviceList.AddReportStyle();
  m_deviceList.SetExtendedStyle(kListStyleGridLines | kListStyleCheckBoxes);
  int position = 0;
  for (const ColumnLayout& column : kInitialColumns) {
    m_deviceList.InsertColumn(position++, column.header, column.width);
  }
  m_deviceList.DeleteColumn(0);
  for (int column = 1; column <= kStatusColumn; ++column) {
    m_deviceList.SetColumnWidth(column, kColumnAutosizeUseHeader);
  }
  m_updatingIp.clear();
}

void CPendravelBatchDlg::OnTimer(unsigned /*timerId*/) {
  if (m_outcomes) {
    m_outcomes->Tick(m_services.clock.Now(), m_devices);
    WriteReportIfOver();
  }
  RebuildDeviceList([this] { return m_updateJob && m_updateJob->running.load(); }, m_updatingIp);
}

void CPendravelBatchDlg::RebuildDeviceList(const std::function<bool()>& running,
                                           const std::u16string& updatingIp) {
  const std::vector<std::u16string> ticked = CollectTickedIps();
  m_deviceList.BeginRebuild();
  m_deviceList.DeleteAllItems();
  int row = 0;
  for (const auto& record : m_devices) {
    if (record) {
      AddDeviceRow(*record, ticked, running(), updatingIp, row);
    }
  }
  m_deviceList.EndRebuild();
}

void CPendravelBatchDlg::AddDeviceRow(const DeviceRecord& record,
                                      const std::vector<std::u16string>& ticked, bool running,
                                      const std::u16string& updatingIp, int& row) {
  const bool isTicked = std::any_of(ticked.begin(), ticked.end(), [&](const std::u16string& ip) {
    return EqualsNoCase(ip, record.ipText);
  });
  const UnixSeconds now = m_services.clock.Now();
  // A device of the last batch stays listed while it reboots and is verified,
  // and then with its outcome, until the next batch or query.
  const bool inBatch = m_outcomes && m_outcomes->Find(record.ipText) != nullptr;
  if (!(running && isTicked) && !inBatch && !IsFresh(now, record.lastSeen)) {
    return;
  }

  m_deviceList.InsertItem(row, record.ipText);
  m_deviceList.SetItemText(row, 1, record.systemName);
  m_deviceList.SetItemText(row, 2, record.iedName);
  m_deviceList.SetItemText(row, 3, record.bootVersion);
  m_deviceList.SetItemText(row, 4, record.originalAppVersion);
  m_deviceList.SetItemText(row, 5, record.currentAppVersion);
  m_deviceList.SetItemText(row, kStatusColumn, u"");
  if (isTicked) {
    m_deviceList.SetCheck(row, true);
  }
  if (running && EqualsNoCase(record.ipText, updatingIp)) {
    m_deviceList.SetItemText(row, kStatusColumn, kUpdatingStatus);
  } else if (const DeviceResult* result = m_outcomes ? m_outcomes->Find(record.ipText) : nullptr;
             result != nullptr && result->outcome != DeviceOutcome::Waiting &&
             result->outcome != DeviceOutcome::Updating) {
    m_deviceList.SetItemText(row, kStatusColumn, OutcomeText(*result));
  }
  ++row;
}

std::vector<std::u16string> CPendravelBatchDlg::CollectTickedIps() const {
  std::vector<std::u16string> ticked;
  for (int row = 0; row < m_deviceList.GetItemCount(); ++row) {
    if (m_deviceList.GetCheck(row)) {
      ticked.push_back(m_deviceList.GetItemText(row, 0));
    }
  }
  return ticked;
}

std::intptr_t CPendravelBatchDlg::OnUpdateDeviceStarted(const std::u16string& ip) {
  m_updatingIp = ip;
  if (m_outcomes) m_outcomes->DeviceStarted(ip, m_devices);
  return 0;
}

std::vector<std::u16string> DeviceListHeaders() {
  std::vector<std::u16string> headers;
  for (const ColumnLayout& column : kInitialColumns) {
    std::u16string_view header = column.header;
    while (!header.empty() && header.front() == u' ') header.remove_prefix(1);
    while (!header.empty() && header.back() == u' ') header.remove_suffix(1);
    if (!header.empty()) headers.emplace_back(header);
  }
  return headers;
}

void CPendravelBatchDlg::OnExportListClicked() {
  const std::optional<std::u16string> path = m_host.SaveFileDialog(u"devices.csv");
  if (!path) return;
  std::string csv = CsvRecord(DeviceListHeaders());
  for (int row = 0; row < m_deviceList.GetItemCount(); ++row) {
    std::vector<std::u16string> cells;
    for (int column = 0; column <= kStatusColumn; ++column) {
      cells.push_back(m_deviceList.GetItemText(row, column));
    }
    csv += CsvRecord(cells);
  }
  if (!ReplaceFileAtomically(std::filesystem::path(*path), csv)) {
    ShowErrorText(u"The list could not be written: " + *path);
  }
}

}  // namespace quilmarr
