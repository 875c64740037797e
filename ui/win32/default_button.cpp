#include "ui/win32/default_button.h"

namespace quilmarr {

namespace {

template <typename Visit>
void ForEachPushButton(HWND dialog, Visit visit) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsPushButton(child)) visit(child);
  }
}

}  // namespace

bool IsPushButton(HWND control) {
  if (control == nullptr) return false;
  const auto code = SendMessageW(control, WM_GETDLGCODE, 0, 0);
  return (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

void NotifyButtonFocus(HWND dialog) {
  ForEachPushButton(dialog, [](HWND button) {
    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    SetWindowLongPtrW(button, GWL_STYLE, style | BS_NOTIFY);
  });
}

void MoveDefaultButton(HWND dialog, HWND focus) {
  HWND wanted = nullptr;
  if (focus != nullptr && GetParent(focus) == dialog && IsPushButton(focus)) {
    wanted = focus;
  } else {
    const auto defaultId = SendMessageW(dialog, DM_GETDEFID, 0, 0);
    if (HIWORD(defaultId) == DC_HASDEFID) {
      wanted = GetDlgItem(dialog, LOWORD(defaultId));
    }
  }
  ForEachPushButton(dialog, [wanted](HWND button) {
    const bool isDefault = (SendMessageW(button, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0;
    if (isDefault != (button == wanted)) {
      SendMessageW(button, BM_SETSTYLE, button == wanted ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
  });
}

}  // namespace quilmarr
