#pragma once
// The real Win32 main window, modeless, driven in-process with window
// messages and a PeekMessage pump that passes each message through the
// dialog manager first, as the program's loop does.
#include <gtest/gtest.h>

#include <optional>

#include "modal_watcher.h"
#include "tests/support/window_contract.h"
#include "ui/win32/win32_batch_dialog.h"
#include "ui/win32/windows_api.h"

namespace quilmarr::test {

class Win32WindowDriver : public WindowDriver {
 public:
  Win32WindowDriver();
  ~Win32WindowDriver() override;

  void Open() override;
  void Close() { dialog_.reset(); }
  [[nodiscard]] HWND Dialog() const { return dialog_->Window(); }
  [[nodiscard]] HWND Item(int id) const { return GetDlgItem(dialog_->Window(), id); }
  [[nodiscard]] HWND Item(Control c) const;
  void PumpPending();

  CPendravelBatchDlg& Controller() override { return dialog_->Controller(); }
  bool Until(const std::function<bool()>& done,
             std::chrono::milliseconds timeout = kPatience) override;
  void Refresh() override { SendMessageW(Dialog(), WM_TIMER, kRefreshTimerId, 0); }
  void Click(Control c) override { SendMessageW(Item(c), BM_CLICK, 0, 0); }
  void PostClick(Control c) override;
  void SelectAdapter(int index) override;
  void Focus(Control c) override { SetFocus(Item(c)); }
  void Press(Key key) override;
  void TickRow(int row) override;
  void SetCurrentRow(int row) override;
  void ScrollToEnd() override;
  void ExportList() override;
  bool RequestClose() override;
  void Resize(int dx, int dy) override;

  std::u16string Title() override;
  std::u16string Text(Control c) override;
  bool Enabled(Control c) override { return IsWindowEnabled(Item(c)) != FALSE; }
  bool ReadOnly(Control c) override;
  bool LooksDefault(Control c) override;
  std::optional<Control> Focused() override;
  std::vector<std::u16string> AdapterItems() override;
  int AdapterSelection() override;
  Rect Geometry(Control c) override;
  Rect TemplateGeometry(Control c) override;
  Rect WindowSize() override;
  std::vector<ShownColumn> Columns() override;
  int ListInnerWidth() override;
  int ListTextWidth(std::u16string_view text) override;
  int Rows() override;
  std::u16string Cell(int row, int column) override;
  bool Ticked(int row) override;
  int CurrentRow() override;
  int TopRow() override;
  bool Visible() override { return IsWindowVisible(Dialog()) != FALSE; }
  std::vector<ShownBox> TakeBoxes() override;

  // Records and answers every owned dialog; emplace another to close with Esc.
  std::optional<ModalWatcher> watcher{std::in_place};
  int aboutBoxes = 0;
  const char* captureLibraryMissing = nullptr;
  std::unique_ptr<Win32BatchDialog> dialog_;
};

}  // namespace quilmarr::test
