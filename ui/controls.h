#pragma once
// The operations the dialog controller needs of its controls and window,
// so it runs without a toolkit: the Qt front end implements these, tests fake them.
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quilmarr {

class ButtonControl {
 public:
  virtual ~ButtonControl() = default;
  virtual void Enable(bool enabled) = 0;
  [[nodiscard]] virtual bool IsEnabled() const = 0;
  virtual void SetText(std::u16string_view text) = 0;
  [[nodiscard]] virtual std::u16string Text() const = 0;
};

class ComboControl {
 public:
  virtual ~ComboControl() = default;
  virtual int AddString(std::u16string_view text) = 0;  // appends; returns its index
  virtual void SetCurSel(int index) = 0;                // -1 clears the selection
  [[nodiscard]] virtual int GetCurSel() const = 0;      // -1 when nothing is selected
  [[nodiscard]] virtual int GetCount() const = 0;
  virtual void Enable(bool enabled) = 0;
  [[nodiscard]] virtual bool IsEnabled() const = 0;
};

inline constexpr unsigned kListStyleGridLines = 0x1;   // LVS_EX_GRIDLINES
inline constexpr unsigned kListStyleCheckBoxes = 0x4;  // LVS_EX_CHECKBOXES
inline constexpr int kColumnAutosizeUseHeader = -2;    // LVSCW_AUTOSIZE_USEHEADER

class ListControl {
 public:
  virtual ~ListControl() = default;
  virtual void AddReportStyle() = 0;
  virtual void SetExtendedStyle(unsigned style) = 0;
  // Inserts a centred column; returns its index.
  virtual int InsertColumn(int index, std::u16string_view header, int width) = 0;
  virtual void DeleteColumn(int index) = 0;
  // A width in pixels, or kColumnAutosizeUseHeader to fit the header (for the
  // last column: to fill the rest of the list's width).
  virtual void SetColumnWidth(int index, int width) = 0;
  virtual void DeleteAllItems() = 0;
  [[nodiscard]] virtual int GetItemCount() const = 0;
  virtual int InsertItem(int index, std::u16string_view text) = 0;  // returns the row index
  virtual void SetItemText(int row, int column, std::u16string_view text) = 0;
  [[nodiscard]] virtual std::u16string GetItemText(int row, int column) const = 0;
  virtual void SetCheck(int row, bool checked) = 0;
  [[nodiscard]] virtual bool GetCheck(int row) const = 0;
  virtual void Enable(bool enabled) = 0;
  [[nodiscard]] virtual bool IsEnabled() const = 0;
  // Bracket one rebuild, so a front end can repaint once and keep its scroll
  // position instead of flickering through the delete and re-insert.
  virtual void BeginRebuild() {}
  virtual void EndRebuild() {}
};

class EditControl {
 public:
  virtual ~EditControl() = default;
  virtual void SetText(std::u16string_view text) = 0;
  [[nodiscard]] virtual std::u16string Text() const = 0;
};

// Window-level services of the dialog.
class DialogHost {
 public:
  virtual ~DialogHost() = default;
  virtual void SetWindowTitle(std::u16string_view title) = 0;
  virtual void SetTimer(unsigned id, unsigned milliseconds) = 0;
  virtual void KillTimer(unsigned id) = 0;
  // Modal: caption, the text, one OK button, no icon. Returns when closed.
  virtual void MessageBox(std::u16string_view text, std::u16string_view caption) = 0;
  // Modal question with Yes and No, No the default (so Enter answers No);
  // true only for an explicit Yes.
  [[nodiscard]] virtual bool AskYesNo(std::u16string_view text, std::u16string_view caption) = 0;
  // The taskbar button's progress: `done` of `total`; total 0 removes it.
  virtual void SetProgress(std::size_t /*done*/, std::size_t /*total*/) {}
  // Closes the window once the current message has been handled, as the
  // close box would.
  virtual void PostClose() = 0;
  // Modal file-open dialog offering every file; the full path, or nullopt on cancel.
  [[nodiscard]] virtual std::optional<std::u16string> OpenFileDialog() = 0;
  // Modal file-save dialog for a CSV file, proposing `suggestedName`; the full
  // path (the user confirmed any overwrite), or nullopt on cancel.
  [[nodiscard]] virtual std::optional<std::u16string> SaveFileDialog(
      std::u16string_view suggestedName) = 0;
  // Ends the modal dialog.
  virtual void EndDialog() = 0;
  // Keeps handling this window's messages (the capture worker may be blocked
  // in a send) until `done` returns true or `timeout` has passed; returns done().
  virtual bool PumpMessagesUntil(const std::function<bool()>& done,
                                 std::chrono::milliseconds timeout) = 0;
};

struct DialogControls {
  ComboControl& adapterCombo;
  ListControl& deviceList;
  ButtonControl& queryButton;
  ButtonControl& batchUpdateButton;
  ButtonControl& browseButton;
  EditControl& fileEdit;
  DialogHost& host;
};

}  // namespace quilmarr
