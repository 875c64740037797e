#include "ui/qt/qt_controls.h"

#include "ui/qt/qt_text.h"

namespace quilmarr {

void QtButtonControl::Enable(bool enabled) { button_.setEnabled(enabled); }
bool QtButtonControl::IsEnabled() const { return button_.isEnabled(); }
void QtButtonControl::SetText(std::u16string_view text) { button_.setText(ToQString(text)); }
std::u16string QtButtonControl::Text() const { return ToU16String(button_.text()); }

int QtComboControl::AddString(std::u16string_view text) {
  const int previous = combo_.currentIndex();
  combo_.addItem(ToQString(text));
  // QComboBox selects the first item added to an empty box; a combo box control does not.
  if (previous < 0) {
    combo_.setCurrentIndex(-1);
  }
  return combo_.count() - 1;
}

void QtComboControl::SetCurSel(int index) {
  combo_.setCurrentIndex(index >= 0 && index < combo_.count() ? index : -1);
}

int QtComboControl::GetCurSel() const {
  const int index = combo_.currentIndex();
  if (index < 0) {
    return -1;
  }
  if (combo_.isEditable() && combo_.currentText() != combo_.itemText(index)) {
    return -1;
  }
  return index;
}

int QtComboControl::GetCount() const { return combo_.count(); }
void QtComboControl::Enable(bool enabled) { combo_.setEnabled(enabled); }
bool QtComboControl::IsEnabled() const { return combo_.isEnabled(); }

void QtEditControl::SetText(std::u16string_view text) { edit_.setText(ToQString(text)); }
std::u16string QtEditControl::Text() const { return ToU16String(edit_.text()); }

}  // namespace quilmarr
