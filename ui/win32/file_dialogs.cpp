#include "ui/win32/file_dialogs.h"

#include <commdlg.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "ui/win32/win32_text.h"

namespace quilmarr {

std::optional<std::u16string> ShowOpenFileDialog(HWND owner) {
  std::array<wchar_t, MAX_PATH> path{};
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = nullptr;  // no filter: every file is offered
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  // Without OFN_NOCHANGEDIR the dialog makes the chosen file's folder the
  // working folder: relative paths would then resolve against a USB stick or
  // a share.
  dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&dialog)) {
    return std::nullopt;
  }
  return FromWide(std::wstring_view(path.data()));
}

std::optional<std::u16string> ShowSaveCsvDialog(HWND owner, std::u16string_view suggestedName) {
  std::array<wchar_t, MAX_PATH> path{};
  const std::wstring suggested = ToWide(suggestedName.substr(0, path.size() - 1));
  std::copy(suggested.begin(), suggested.end(), path.begin());
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrDefExt = L"csv";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER |
                 OFN_NOCHANGEDIR;  // the working folder stays as it was, as above
  if (!GetSaveFileNameW(&dialog)) {
    return std::nullopt;
  }
  return FromWide(std::wstring_view(path.data()));
}

}  // namespace quilmarr
