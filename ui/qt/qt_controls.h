#pragma once
// Thin adapters from the controller's control interfaces to Qt widgets.
// The widgets belong to the dialog; the adapters only point at them.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "ui/controls.h"

namespace quilmarr {

class QtButtonControl final : public ButtonControl {
 public:
  explicit QtButtonControl(QPushButton& button) noexcept : button_(button) {}
  void Enable(bool enabled) override;
  [[nodiscard]] bool IsEnabled() const override;
  void SetText(std::u16string_view text) override;
  [[nodiscard]] std::u16string Text() const override;

 private:
  QPushButton& button_;
};

// An editable combo box, like a drop-down with an edit field: text typed that
// matches no item leaves no selection.
class QtComboControl final : public ComboControl {
 public:
  explicit QtComboControl(QComboBox& combo) noexcept : combo_(combo) {}
  int AddString(std::u16string_view text) override;
  void SetCurSel(int index) override;
  [[nodiscard]] int GetCurSel() const override;
  [[nodiscard]] int GetCount() const override;
  void Enable(bool enabled) override;
  [[nodiscard]] bool IsEnabled() const override;

 private:
  QComboBox& combo_;
};

class QtEditControl final : public EditControl {
 public:
  explicit QtEditControl(QLineEdit& edit) noexcept : edit_(edit) {}
  void SetText(std::u16string_view text) override;
  [[nodiscard]] std::u16string Text() const override;

 private:
  QLineEdit& edit_;
};

}  // namespace quilmarr
