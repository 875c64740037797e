#include "ui/qt/qt_device_list.h"

#include <algorithm>

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

#include "ui/qt/qt_text.h"

namespace quilmarr {

namespace {
constexpr Qt::Alignment kCentred = Qt::AlignCenter;
}  // namespace

DeviceTableWidget::DeviceTableWidget(QWidget* parent) : QTableWidget(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTabKeyNavigation(false);
  setWordWrap(false);
  verticalHeader()->setVisible(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsMovable(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setDefaultAlignment(kCentred);
}

void DeviceTableWidget::keyPressEvent(QKeyEvent* event) {
  const bool toggle = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
  QTableWidgetItem* checkItem = currentRow() >= 0 ? item(currentRow(), 0) : nullptr;
  if (toggle && checkItem != nullptr && (checkItem->flags() & Qt::ItemIsUserCheckable)) {
    checkItem->setCheckState(checkItem->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    event->accept();
    return;
  }
  QTableWidget::keyPressEvent(event);
}

void QtListControl::SetExtendedStyle(unsigned style) {
  table_.setShowGrid((style & kListStyleGridLines) != 0);
  checkBoxes_ = (style & kListStyleCheckBoxes) != 0;
}

int QtListControl::InsertColumn(int index, std::u16string_view header, int width) {
  const int column = index < 0 || index > table_.columnCount() ? table_.columnCount() : index;
  table_.insertColumn(column);
  auto* headerItem = new QTableWidgetItem(ToQString(header));
  headerItem->setTextAlignment(kCentred);
  table_.setHorizontalHeaderItem(column, headerItem);
  table_.setColumnWidth(column, width);
  return column;
}

void QtListControl::DeleteColumn(int index) { table_.removeColumn(index); }

void QtListControl::SetColumnWidth(int index, int width) {
  if (width == kColumnAutosizeUseHeader && index == table_.columnCount() - 1) {
    // A list view's last column fitted to its header fills the rest of the
    // list's width, also after a resize.
    table_.setColumnWidth(index, table_.horizontalHeader()->sectionSizeHint(index));
    table_.horizontalHeader()->setStretchLastSection(true);
  } else if (width == kColumnAutosizeUseHeader) {
    table_.setColumnWidth(index, table_.horizontalHeader()->sectionSizeHint(index));
  } else if (width >= 0) {
    table_.setColumnWidth(index, width);
  }
}

void QtListControl::DeleteAllItems() { table_.setRowCount(0); }

int QtListControl::GetItemCount() const { return table_.rowCount(); }

int QtListControl::InsertItem(int index, std::u16string_view text) {
  const int row = index < 0 || index > table_.rowCount() ? table_.rowCount() : index;
  table_.insertRow(row);
  QTableWidgetItem& first = CellItem(row, 0);
  first.setText(ToQString(text));
  if (checkBoxes_) {
    first.setFlags(first.flags() | Qt::ItemIsUserCheckable);
    first.setCheckState(Qt::Unchecked);
  }
  return row;
}

void QtListControl::SetItemText(int row, int column, std::u16string_view text) {
  if (row < 0 || row >= table_.rowCount() || column < 0 || column >= table_.columnCount()) {
    return;
  }
  CellItem(row, column).setText(ToQString(text));
}

std::u16string QtListControl::GetItemText(int row, int column) const {
  const QTableWidgetItem* cell = table_.item(row, column);
  return cell != nullptr ? ToU16String(cell->text()) : std::u16string();
}

void QtListControl::SetCheck(int row, bool checked) {
  if (row < 0 || row >= table_.rowCount() || table_.columnCount() == 0) {
    return;
  }
  QTableWidgetItem& first = CellItem(row, 0);
  first.setFlags(first.flags() | Qt::ItemIsUserCheckable);
  first.setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool QtListControl::GetCheck(int row) const {
  const QTableWidgetItem* first = table_.item(row, 0);
  return first != nullptr && first->checkState() == Qt::Checked;
}

void QtListControl::Enable(bool enabled) { table_.setEnabled(enabled); }
bool QtListControl::IsEnabled() const { return table_.isEnabled(); }

void QtListControl::BeginRebuild() {
  if (rebuildDepth_++ > 0) {
    return;
  }
  saved_.horizontalScroll = table_.horizontalScrollBar()->value();
  saved_.verticalScroll = table_.verticalScrollBar()->value();
  saved_.currentRow = table_.currentRow();
  saved_.currentColumn = table_.currentColumn();
  const QTableWidgetItem* current =
      saved_.currentRow >= 0 ? table_.item(saved_.currentRow, 0) : nullptr;
  saved_.currentKey = current != nullptr ? current->text() : QString();
  table_.setUpdatesEnabled(false);
}

void QtListControl::EndRebuild() {
  if (rebuildDepth_ == 0 || --rebuildDepth_ > 0) {
    return;
  }
  // The current row follows its device (by IP text), so keyboard users keep their place.
  int row = -1;
  for (int i = 0; i < table_.rowCount() && !saved_.currentKey.isEmpty(); ++i) {
    const QTableWidgetItem* first = table_.item(i, 0);
    if (first != nullptr && first->text().compare(saved_.currentKey, Qt::CaseInsensitive) == 0) {
      row = i;
      break;
    }
  }
  if (row < 0 && saved_.currentRow >= 0 && table_.rowCount() > 0) {
    row = std::min(saved_.currentRow, table_.rowCount() - 1);
  }
  if (row >= 0) {
    const int column = std::max(0, saved_.currentColumn);
    table_.setCurrentCell(row, std::min(column, table_.columnCount() - 1),
                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  table_.horizontalScrollBar()->setValue(saved_.horizontalScroll);
  table_.verticalScrollBar()->setValue(saved_.verticalScroll);
  table_.setUpdatesEnabled(true);
}

QTableWidgetItem& QtListControl::CellItem(int row, int column) {
  QTableWidgetItem* cell = table_.item(row, column);
  if (cell == nullptr) {
    cell = new QTableWidgetItem();
    cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    cell->setTextAlignment(kCentred);
    table_.setItem(row, column, cell);
  }
  return *cell;
}

}  // namespace quilmarr
