#pragma once
// The device list: a QTableWidget behind the controller's list interface.
#include <QTableWidget>
#include <vector>

#include "ui/controls.h"

namespace quilmarr {

// A table whose rows carry a check box in column 0; Space toggles the check
// box of the current row whichever cell has the focus.
class DeviceTableWidget final : public QTableWidget {
  Q_OBJECT

 public:
  explicit DeviceTableWidget(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class QtListControl final : public ListControl {
 public:
  explicit QtListControl(QTableWidget& table) noexcept : table_(table) {}

  void AddReportStyle() override {}
  void SetExtendedStyle(unsigned style) override;
  int InsertColumn(int index, std::u16string_view header, int width) override;
  void DeleteColumn(int index) override;
  void SetColumnWidth(int index, int width) override;
  void DeleteAllItems() override;
  [[nodiscard]] int GetItemCount() const override;
  int InsertItem(int index, std::u16string_view text) override;
  void SetItemText(int row, int column, std::u16string_view text) override;
  [[nodiscard]] std::u16string GetItemText(int row, int column) const override;
  void SetCheck(int row, bool checked) override;
  [[nodiscard]] bool GetCheck(int row) const override;
  void Enable(bool enabled) override;
  [[nodiscard]] bool IsEnabled() const override;
  void BeginRebuild() override;
  void EndRebuild() override;

 private:
  [[nodiscard]] QTableWidgetItem& CellItem(int row, int column);

  QTableWidget& table_;
  bool checkBoxes_ = false;
  struct SavedView {
    int horizontalScroll = 0;
    int verticalScroll = 0;
    QString currentKey;  // column-0 text of the current row
    int currentRow = -1;
    int currentColumn = -1;
  };
  SavedView saved_;
  int rebuildDepth_ = 0;
};

}  // namespace quilmarr
