#pragma once
// The about box, from the template IDD_ABOUTBOX: icon, product and version,
// notice line, OK. OK and Esc close it.
#include "ui/win32/windows_api.h"

namespace quilmarr {

class CAboutDlg {
 public:
  // `resources`: the module holding the template; null for this program.
  explicit CAboutDlg(HINSTANCE resources = nullptr) noexcept;
  INT_PTR DoModal(HWND owner) const;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE resources_;
};

}  // namespace quilmarr
