#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "platform/folders.h"

namespace quilmarr {
namespace {

class ShellFolderLocator final : public AppDataFolderLocator {
 public:
  [[nodiscard]] std::optional<std::u16string> RoamingAppDataFolder() const override {
    LPITEMIDLIST items = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, CSIDL_APPDATA, &items) != S_OK) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    SHGetPathFromIDListW(items, path);
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(CoGetMalloc(MEMCTX_TASK, &allocator))) {
      allocator->Free(items);
      allocator->Release();
    }
    path[MAX_PATH - 1] = L'\0';
    return std::u16string(reinterpret_cast<const char16_t*>(path));
  }

  [[nodiscard]] std::u16string FallbackFolder() const override {
    wchar_t path[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(path), length);
  }
};

}  // namespace

std::unique_ptr<AppDataFolderLocator> MakePlatformFolderLocator() {
  return std::make_unique<ShellFolderLocator>();
}

char16_t PathSeparator() noexcept { return u'\\'; }

}  // namespace quilmarr
