#pragma once
// The settings file "Pendravel.ini", shared with the external updater.
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/folders.h"
#include "platform/ini.h"

namespace quilmarr {

inline constexpr std::size_t kIpValueCapacity = 50;     // characters, terminator included
inline constexpr std::size_t kPathValueCapacity = 300;  // characters, terminator included
inline constexpr std::size_t kMaxPathLength = 260;      // characters, terminator included

namespace settings {
inline constexpr std::u16string_view kSectionUdp = u"UDP";
inline constexpr std::u16string_view kKeyRemoteIp = u"REMOTE_IP";
inline constexpr std::u16string_view kKeyHostIp = u"HOST_IP";
inline constexpr std::u16string_view kSectionQuilmarr = u"Quilmarr";
inline constexpr std::u16string_view kKeyPckFile = u"PckFile";
inline constexpr std::u16string_view kKeyAdapterIp = u"AdapterIp";
inline constexpr std::u16string_view kKeyVerifySeconds = u"VerifySeconds";
inline constexpr std::u16string_view kKeyUpdateTimeoutSeconds = u"UpdateTimeoutSeconds";
inline constexpr std::u16string_view kSectionPendravel = u"Pendravel";
inline constexpr std::u16string_view kKeyExePath = u"ExePath";
inline constexpr std::u16string_view kFileName = u"Pendravel.ini";
}  // namespace settings

// Where the file is, and its keys read and written with their capacities.
// Shared by the user-interface thread and the update worker.
class SettingsFile {
 public:
  SettingsFile(const AppDataFolderLocator& locator, IniStore& ini);

  // Rewrites the settings folder text; it ends with the separator unless empty.
  void ResolveFolder();
  [[nodiscard]] const std::u16string& Folder() const noexcept { return folder_; }
  // Folder text + "Pendravel.ini"; empty when the folder is unknown or the
  // path would not fit in 260 characters.
  [[nodiscard]] std::u16string FilePath() const;
  // Empty default; cut to capacity - 1 characters.
  // As ReadString, with `absent` for a missing file, section or key.
  [[nodiscard]] std::u16string ReadStringOr(std::u16string_view section, std::u16string_view key,
                                            std::u16string_view absent, std::size_t capacity) const;
  [[nodiscard]] std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                                          std::size_t capacity) const;
  // False when the write failed or was refused (a value holding a line break).
  // The tool ignores the result, as a failed write changes nothing it shows.
  // Removes the key; false when it could not be removed.
  bool RemoveKey(std::u16string_view section, std::u16string_view key) const;
  bool WriteString(std::u16string_view section, std::u16string_view key,
                   std::u16string_view value) const;

 private:
  const AppDataFolderLocator& locator_;
  IniStore& ini_;
  std::u16string folder_;
};

// The [UDP] "REMOTE_IP" and "HOST_IP" values as they were when it was made;
// written back when it is destroyed.
class UdpSettingsSnapshot {
 public:
  explicit UdpSettingsSnapshot(SettingsFile& settings);  // resolves the folder, then reads
  UdpSettingsSnapshot(const UdpSettingsSnapshot&) = delete;
  UdpSettingsSnapshot& operator=(const UdpSettingsSnapshot&) = delete;
  ~UdpSettingsSnapshot();

  void Restore() const;
  // Nothing is written back on destruction: [UDP] was not changed by this
  // process, or has been put back already, and another tool may own it now.
  void Dismiss() noexcept { dismissed_ = true; }
  [[nodiscard]] const std::u16string& RemoteIp() const noexcept { return remoteIp_; }
  [[nodiscard]] const std::u16string& HostIp() const noexcept { return hostIp_; }

 private:
  SettingsFile& settings_;
  std::u16string remoteIp_;  // at most 49 characters
  std::u16string hostIp_;    // at most 49 characters
  bool dismissed_ = false;
};

}  // namespace quilmarr
