#pragma once
#include <memory>
#include <optional>
#include <string>

namespace quilmarr {

// Seam over the platform's per-user roaming application-data folder lookup.
class AppDataFolderLocator {
 public:
  virtual ~AppDataFolderLocator() = default;
  // nullopt when the lookup fails; may be an empty text when the lookup
  // succeeded but gave no path.
  [[nodiscard]] virtual std::optional<std::u16string> RoamingAppDataFolder() const = 0;
  // Used when the lookup fails: the Windows directory. Elsewhere there is no
  // folder a user may write to instead, so it is empty: the folder is unknown.
  [[nodiscard]] virtual std::u16string FallbackFolder() const = 0;
};

// Windows: SHGetSpecialFolderLocation(CSIDL_APPDATA) / GetWindowsDirectoryW.
// Elsewhere: the XDG config home ($XDG_CONFIG_HOME if absolute, else
// $HOME/.config, else the password database's home + /.config) / unknown.
[[nodiscard]] std::unique_ptr<AppDataFolderLocator> MakePlatformFolderLocator();

// The platform's path separator: u'\\' on Windows, u'/' elsewhere.
[[nodiscard]] char16_t PathSeparator() noexcept;

}  // namespace quilmarr
