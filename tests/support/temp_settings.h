#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/folders.h"
#include "platform/ini.h"
#include "tests/support/fake_folder_locator.h"
#include "tests/support/temp_folder.h"
#include "update/settings_file.h"

namespace quilmarr::test {

// A firmware package of a few bytes at `file`; its path.
inline std::u16string WritePackage(const std::filesystem::path& file) {
  WriteBytes(file, "firmware");
  return file.u16string();
}

// "Pendravel.ini" in the application-data folder of a fresh temporary folder,
// through the platform's INI store; the folder exists.
class TempSettings {
 public:
  TempSettings() {
    file_.ResolveFolder();
    std::filesystem::create_directories(std::filesystem::path(file_.Folder()));
  }

  [[nodiscard]] SettingsFile& File() noexcept { return file_; }
  [[nodiscard]] const std::filesystem::path& Root() const noexcept { return root_.Path(); }
  // A stand-in updater program in the temporary folder, named by [Pendravel]
  // ExePath; the folder with its separator. The fake launcher never runs it.
  std::u16string InstallUpdater() {
    const std::filesystem::path folder = root_.Path() / "pendravel";
    std::filesystem::create_directories(folder);
    WriteBytes(folder / "Pendravel.exe", "updater");
    std::u16string exePath = folder.u16string() + PathSeparator();
    Write(settings::kSectionPendravel, settings::kKeyExePath, exePath);
    return exePath;
  }
  void Write(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    file_.WriteString(section, key, value);
  }
  [[nodiscard]] std::u16string Read(std::u16string_view section, std::u16string_view key) const {
    return file_.ReadString(section, key, kPathValueCapacity);
  }

 private:
  TempFolder root_;
  FakeFolderLocator locator_{root_.Path().u16string()};
  std::unique_ptr<IniStore> ini_ = MakePlatformIniStore();
  SettingsFile file_{locator_, *ini_};
};

}  // namespace quilmarr::test
