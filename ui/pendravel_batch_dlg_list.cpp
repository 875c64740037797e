// The device list of the main dialog: set-up, the one-second rebuild from the
// session's rows with the user's ticks, and its export.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/csv.h"
#include "ui/pendravel_batch_dlg.h"

namespace quilmarr {

void CPendravelBatchDlg::SetUpDeviceList() {
  m_deviceList.AddReportStyle();
  m_deviceList.SetExtendedStyle(kListStyleGridLines | kListStyleCheckBoxes);
  // Column 0 is a placeholder that is deleted again, so that "  IP   " becomes
  // column 0 with its own centred format (a list view's first column is always
  // left-aligned otherwise).
  m_deviceList.InsertColumn(0, u"", 10);
  int position = 1;
  for (const DeviceColumn& column : kDeviceColumns) {
    m_deviceList.InsertColumn(position++, column.header, column.width);
  }
  m_deviceList.DeleteColumn(0);
  for (int column = 1; column <= kStatusColumn; ++column) {
    m_deviceList.SetColumnWidth(column, kColumnAutosizeUseHeader);
  }
}

void CPendravelBatchDlg::OnTimer(unsigned /*timerId*/) {
  m_session.Tick();
  RebuildDeviceList();
}

void CPendravelBatchDlg::RebuildDeviceList(bool batchJustEnded) {
  const std::vector<DeviceRow> rows = m_session.Rows(CollectTickedIps(), batchJustEnded);
  m_deviceList.BeginRebuild();
  m_deviceList.DeleteAllItems();
  int index = 0;
  for (const DeviceRow& row : rows) {
    const DeviceRecord& record = *row.record;
    m_deviceList.InsertItem(index, record.ipText);
    m_deviceList.SetItemText(index, 1, record.systemName);
    m_deviceList.SetItemText(index, 2, record.iedName);
    m_deviceList.SetItemText(index, 3, record.bootVersion);
    m_deviceList.SetItemText(index, 4, record.originalAppVersion);
    m_deviceList.SetItemText(index, 5, record.currentAppVersion);
    m_deviceList.SetItemText(index, kStatusColumn, row.status);
    if (row.ticked) m_deviceList.SetCheck(index, true);
    ++index;
  }
  m_deviceList.EndRebuild();
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
    ShowError(u"The list could not be written: " + *path);
  }
}

}  // namespace quilmarr
