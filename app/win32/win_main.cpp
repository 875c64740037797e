// The Windows program's shell: the common controls the dialog uses, the
// services, the main dialog run modally and destroyed (its snapshot puts the
// [UDP] values back), then the end.
#include "ui/win32/windows_api.h"

#include <commctrl.h>

#include <exception>

#include "app/win32/about_box.h"
#include "app/win32/win32_dialog_services.h"
#include "platform/dll_search.h"
#include "platform/text.h"
#include "ui/win32/win32_batch_dialog.h"
#include "ui/win32/win32_text.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
  // Before any DLL is loaded by name: the file dialogs and the capture
  // library pull in more of them.
  quilmarr::HardenDllSearch();
  // The list view (with its header); buttons, edits, statics and combo boxes
  // in their version 6 look.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&controls);

  try {
    quilmarr::PlatformServices services;
    quilmarr::Win32DialogOptions options;
    options.resources = instance;
    options.showAbout = [instance](HWND owner) { quilmarr::CAboutDlg(instance).DoModal(owner); };
    quilmarr::Win32BatchDialog dialog(quilmarr::Win32ServicesFor(services), std::move(options));
    dialog.DoModal();
  } catch (const std::exception& error) {
    // Only the settings file's first access can fail before the window exists.
    MessageBoxW(nullptr, quilmarr::ToWide(quilmarr::WidenCounted(error.what())).c_str(), L"Error",
                MB_OK);
    return 1;
  }
  return 0;
}
