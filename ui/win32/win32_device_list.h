#pragma once
// The device list: a list-view control (SysListView32) behind the
// controller's list interface.
#include "ui/win32/windows_api.h"

#include <string>

#include "ui/controls.h"

namespace quilmarr {

class Win32ListControl final : public ListControl {
 public:
  void Bind(HWND list) noexcept { list_ = list; }
  [[nodiscard]] HWND Handle() const noexcept { return list_; }

  void AddReportStyle() override;
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
  // Redraw is off during a rebuild; afterwards the list shows the same top
  // row, horizontal offset and focused device (followed by its IP text).
  void BeginRebuild() override;
  void EndRebuild() override;

  // After the list was resized: a last column sized to fit the header fills
  // the list's width again.
  void RefitLastColumn();

  [[nodiscard]] int ColumnCount() const;

 private:
  struct SavedView {
    int topIndex = 0;
    int horizontalOffset = 0;
    std::u16string focusedKey;  // column-0 text of the focused row
    int focusedRow = -1;
    bool focusedSelected = false;
  };

  HWND list_ = nullptr;
  bool lastColumnFills_ = false;
  int rebuildDepth_ = 0;
  SavedView saved_;
};

}  // namespace quilmarr
