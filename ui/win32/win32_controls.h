#pragma once
// The controller's button, combo box and edit interfaces over a dialog's
// controls. Each adapter is bound to its control when the dialog initialises
// (as control binding does in a dialog framework) and only points at it.
#include "ui/win32/windows_api.h"

#include "ui/controls.h"

namespace quilmarr {

// Enables or disables a control. A control that has the keyboard focus hands
// it to the next tab stop first: a disabled window cannot keep the focus, and
// a dialog without a focused control would ignore the keyboard.
void EnableDialogControl(HWND control, bool enabled);

class Win32ButtonControl final : public ButtonControl {
 public:
  void Bind(HWND button) noexcept { button_ = button; }
  [[nodiscard]] HWND Handle() const noexcept { return button_; }

  void Enable(bool enabled) override;
  [[nodiscard]] bool IsEnabled() const override;
  void SetText(std::u16string_view text) override;
  [[nodiscard]] std::u16string Text() const override;

 private:
  HWND button_ = nullptr;
};

class Win32ComboControl final : public ComboControl {
 public:
  void Bind(HWND combo) noexcept { combo_ = combo; }
  [[nodiscard]] HWND Handle() const noexcept { return combo_; }

  int AddString(std::u16string_view text) override;
  void SetCurSel(int index) override;
  [[nodiscard]] int GetCurSel() const override;
  [[nodiscard]] int GetCount() const override;
  void Enable(bool enabled) override;
  [[nodiscard]] bool IsEnabled() const override;

 private:
  HWND combo_ = nullptr;
};

class Win32EditControl final : public EditControl {
 public:
  void Bind(HWND edit) noexcept { edit_ = edit; }
  [[nodiscard]] HWND Handle() const noexcept { return edit_; }

  void SetText(std::u16string_view text) override;
  [[nodiscard]] std::u16string Text() const override;

 private:
  HWND edit_ = nullptr;
};

}  // namespace quilmarr
