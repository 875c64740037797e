#include "tests/e2e/dialog_probe.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTableWidget>

namespace quilmarr::test {
namespace {

QString CellText(const QTableWidget& table, int row, int column) {
  if (column < 0) return {};
  const QTableWidgetItem* item = table.item(row, column);
  return item != nullptr ? item->text() : QString();
}

}  // namespace

int DialogProbe::Column(const QString& header) const {
  const QTableWidget& table = dialog_.DeviceList();
  for (int column = 0; column < table.columnCount(); ++column) {
    const QTableWidgetItem* item = table.horizontalHeaderItem(column);
    if (item != nullptr && item->text().trimmed() == header) return column;
  }
  return -1;
}

std::vector<ShownRow> DialogProbe::Rows() const {
  const QTableWidget& table = dialog_.DeviceList();
  const int ip = Column(QStringLiteral("IP"));
  const int system = Column(QStringLiteral("Sys Name"));
  const int ied = Column(QStringLiteral("IED Name"));
  const int boot = Column(QStringLiteral("Boot Version"));
  const int original = Column(QStringLiteral("Original App Version"));
  const int current = Column(QStringLiteral("Current App Version"));
  const int status = Column(QStringLiteral("Status"));
  std::vector<ShownRow> rows;
  for (int row = 0; row < table.rowCount(); ++row) {
    const QTableWidgetItem* first = table.item(row, 0);
    rows.push_back({first != nullptr && first->checkState() == Qt::Checked,
                    CellText(table, row, ip), CellText(table, row, system),
                    CellText(table, row, ied), CellText(table, row, boot),
                    CellText(table, row, original), CellText(table, row, current),
                    CellText(table, row, status)});
  }
  return rows;
}

bool DialogProbe::SelectAdapter(const QString& ip) {
  QComboBox& combo = dialog_.AdapterCombo();
  for (int index = 0; index < combo.count(); ++index) {
    if (combo.itemText(index).startsWith(ip + QLatin1Char(' '))) {
      combo.setCurrentIndex(index);
      return true;
    }
  }
  return false;
}

void DialogProbe::Tick(int row) {
  if (QTableWidgetItem* item = dialog_.DeviceList().item(row, 0)) item->setCheckState(Qt::Checked);
}

void DialogProbe::ClickQuery() { dialog_.QueryButton().click(); }

void DialogProbe::ClickBatchUpdate() { dialog_.BatchUpdateButton().click(); }

QString DialogProbe::QueryButtonText() const { return dialog_.QueryButton().text(); }

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               const std::function<void()>& onEachSlice) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done()) {
    if (elapsed.elapsed() >= timeout.count()) return false;
    // Waits for events up to the slice length: the poll that watches the list.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    if (onEachSlice) onEachSlice();
  }
  return true;
}

QString FormatRow(const ShownRow& row) {
  return QStringList{row.ticked ? QStringLiteral("x") : QStringLiteral("-"),
                     row.ip,
                     row.systemName,
                     row.iedName,
                     row.bootVersion,
                     row.originalAppVersion,
                     row.currentAppVersion,
                     row.status}
      .join(QLatin1Char('|'));
}

}  // namespace quilmarr::test
