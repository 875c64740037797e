#include "app/win32/about_box.h"

#include "res/resource.h"

namespace quilmarr {

CAboutDlg::CAboutDlg(HINSTANCE resources) noexcept
    : resources_(resources != nullptr ? resources : GetModuleHandleW(nullptr)) {}

INT_PTR CAboutDlg::DoModal(HWND owner) const {
  return DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, &DialogProc, 0);
}

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(window, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace quilmarr
