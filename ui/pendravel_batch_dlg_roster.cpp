// The device list's context menu: the list's export and the site roster the
// Status column checks the devices against, with its audit.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "ui/pendravel_batch_dlg.h"

namespace quilmarr {

std::vector<ListMenuItem> CPendravelBatchDlg::ListMenu() const {
  const bool open = m_session.Roster() != nullptr;
  // A batch keeps the targets it was planned with.
  const bool idle = !m_session.BatchAlive();
  return {{kExportListItem, IDM_EXPORT_LIST, true},
          {kOpenRosterItem, IDM_OPEN_ROSTER, idle},
          {kCloseRosterItem, IDM_CLOSE_ROSTER, open && idle},
          {kExportAuditItem, IDM_EXPORT_AUDIT, open}};
}

bool CPendravelBatchDlg::OnListMenuCommand(unsigned command) {
  switch (command) {
    case IDM_EXPORT_LIST: OnExportListClicked(); return true;
    case IDM_OPEN_ROSTER: OnOpenRosterClicked(); return true;
    case IDM_CLOSE_ROSTER: OnCloseRosterClicked(); return true;
    case IDM_EXPORT_AUDIT: OnExportAuditClicked(); return true;
    default: return false;
  }
}

void CPendravelBatchDlg::OnOpenRosterClicked() {
  if (m_session.BatchAlive()) return;
  const std::optional<std::u16string> path = m_host.OpenFileDialog();
  if (path && m_session.OpenRoster(*path)) RebuildDeviceList();
}

void CPendravelBatchDlg::OnCloseRosterClicked() {
  if (m_session.BatchAlive()) return;
  m_session.CloseRoster();
  RebuildDeviceList();
}

void CPendravelBatchDlg::OnExportAuditClicked() {
  if (m_session.Roster() == nullptr) return;
  const std::optional<std::u16string> path = m_host.SaveFileDialog(u"audit.csv");
  if (!path) return;
  if (!ReplaceFileAtomically(std::filesystem::path(*path), AuditCsv(m_session.Audit()))) {
    ShowError(u"The audit could not be written: " + *path);
  }
}

}  // namespace quilmarr
