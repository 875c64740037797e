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
// The longest value a profile read returns whole (Windows' own limit).
inline constexpr std::size_t kWholeValueCapacity = 32767;

namespace settings {
inline constexpr std::u16string_view kSectionUdp = u"UDP";
inline constexpr std::u16string_view kKeyRemoteIp = u"REMOTE_IP";
inline constexpr std::u16string_view kKeyHostIp = u"HOST_IP";
inline constexpr std::u16string_view kSectionQuilmarr = u"Quilmarr";
inline constexpr std::u16string_view kKeyPckFile = u"PckFile";
inline constexpr std::u16string_view kKeyAdapterIp = u"AdapterIp";
inline constexpr std::u16string_view kKeyVerifySeconds = u"VerifySeconds";
inline constexpr std::u16string_view kKeyUpdateTimeoutSeconds = u"UpdateTimeoutSeconds";
inline constexpr std::u16string_view kKeyMaxFailures = u"MaxFailures";
inline constexpr std::u16string_view kKeyRosterFile = u"RosterFile";
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

// A [UDP] key as a batch found it: absent, or its value.
struct UdpKeyBefore {
  bool present = false;
  std::u16string value;
  friend bool operator==(const UdpKeyBefore&, const UdpKeyBefore&) = default;
};

// [UDP] "REMOTE_IP" and "HOST_IP" as a batch found them.
struct UdpSettingsSnapshot {
  UdpKeyBefore remoteIp;
  UdpKeyBefore hostIp;
};

// Reads both keys whole, telling an absent key from an empty one.
[[nodiscard]] UdpSettingsSnapshot TakeUdpSnapshot(const SettingsFile& settings);

// The one way [UDP] goes back after a batch, however it ended: a key that was
// absent is removed, a value is written back whole. False when either write
// failed; the caller keeps its record then.
[[nodiscard]] bool PutBackUdp(const SettingsFile& settings, const UdpSettingsSnapshot& snapshot);

}  // namespace quilmarr
