#include "ui/win32/win32_controls.h"

#include <string>

#include "ui/win32/win32_text.h"

namespace quilmarr {

void EnableDialogControl(HWND control, bool enabled) {
  if (!enabled) {
    const HWND focus = GetFocus();
    if (focus != nullptr && (focus == control || IsChild(control, focus))) {
      SendMessageW(GetParent(control), WM_NEXTDLGCTL, 0, FALSE);
    }
  }
  EnableWindow(control, enabled ? TRUE : FALSE);
}

void Win32ButtonControl::Enable(bool enabled) { EnableDialogControl(button_, enabled); }
bool Win32ButtonControl::IsEnabled() const { return IsWindowEnabled(button_) != FALSE; }
void Win32ButtonControl::SetText(std::u16string_view text) { SetWindowTextU16(button_, text); }
std::u16string Win32ButtonControl::Text() const { return WindowText(button_); }

int Win32ComboControl::AddString(std::u16string_view text) {
  const std::wstring item = ToWide(text);
  return static_cast<int>(
      SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str())));
}

void Win32ComboControl::SetCurSel(int index) {
  SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32ComboControl::GetCurSel() const {
  return static_cast<int>(SendMessageW(combo_, CB_GETCURSEL, 0, 0));
}

int Win32ComboControl::GetCount() const {
  return static_cast<int>(SendMessageW(combo_, CB_GETCOUNT, 0, 0));
}

void Win32ComboControl::Enable(bool enabled) { EnableDialogControl(combo_, enabled); }
bool Win32ComboControl::IsEnabled() const { return IsWindowEnabled(combo_) != FALSE; }

void Win32EditControl::SetText(std::u16string_view text) { SetWindowTextU16(edit_, text); }
std::u16string Win32EditControl::Text() const { return WindowText(edit_); }

}  // namespace quilmarr
