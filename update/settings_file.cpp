#include "update/settings_file.h"

namespace quilmarr {
namespace {

std::u16string SubFolder() {
  const char16_t separator = PathSeparator();
  return std::u16string(u"Kavrendt") + separator + u"Ostrovel" + separator + u"Firmware";
}

void AppendSeparatorIfMissing(std::u16string& folder) {
  if (!folder.empty() && folder.back() != PathSeparator()) folder.push_back(PathSeparator());
}

}  // namespace

SettingsFile::SettingsFile(const AppDataFolderLocator& locator, IniStore& ini)
    : locator_(locator), ini_(ini) {}

void SettingsFile::ResolveFolder() {
  folder_.clear();
  if (const auto appData = locator_.RoamingAppDataFolder()) {
    folder_ = *appData;
    AppendSeparatorIfMissing(folder_);
    folder_ += SubFolder();
  } else {
    folder_ = locator_.FallbackFolder();
  }
  AppendSeparatorIfMissing(folder_);
  // The folder text holds 260 characters with its terminator. A longer folder
  // is cut; no file name then fits behind it, so FilePath() stays empty.
  if (folder_.size() > kMaxPathLength - 1) folder_.resize(kMaxPathLength - 1);
}

std::u16string SettingsFile::FilePath() const {
  // An unknown folder has no file: reads give defaults and writes fail,
  // rather than landing in whatever the current folder happens to be.
  if (folder_.empty() || folder_.size() + settings::kFileName.size() > kMaxPathLength - 1)
    return {};
  return folder_ + std::u16string(settings::kFileName);
}

std::u16string SettingsFile::ReadString(std::u16string_view section, std::u16string_view key,
                                        std::size_t capacity) const {
  return ReadStringOr(section, key, u"", capacity);
}

std::u16string SettingsFile::ReadStringOr(std::u16string_view section, std::u16string_view key,
                                          std::u16string_view absent, std::size_t capacity) const {
  const std::u16string path = FilePath();
  if (path.empty() || capacity == 0) return std::u16string(absent);
  return ini_.Read(path, section, key, absent, capacity);
}

bool SettingsFile::RemoveKey(std::u16string_view section, std::u16string_view key) const {
  const std::u16string path = FilePath();
  return !path.empty() && ini_.Remove(path, section, key);
}

bool SettingsFile::WriteString(std::u16string_view section, std::u16string_view key,
                               std::u16string_view value) const {
  // Both INI stores refuse a value with a line break, which would add lines
  // such as a [UDP] "REMOTE_IP" of its own to the file the updater trusts.
  const std::u16string path = FilePath();
  if (path.empty()) return false;
  return ini_.Write(path, section, key, value);
}

namespace {

// A sentinel no INI value can hold (the stores refuse control characters in
// what they write), so a read that returns it found no key.
constexpr std::u16string_view kAbsent = u"\x01";

UdpKeyBefore ReadUdpKey(const SettingsFile& settings, std::u16string_view key) {
  const std::u16string value =
      settings.ReadStringOr(settings::kSectionUdp, key, kAbsent, kWholeValueCapacity);
  if (value == kAbsent) return {};
  return {true, value};
}

bool PutBackKey(const SettingsFile& settings, std::u16string_view key, const UdpKeyBefore& before) {
  return before.present ? settings.WriteString(settings::kSectionUdp, key, before.value)
                        : settings.RemoveKey(settings::kSectionUdp, key);
}

}  // namespace

UdpSettingsSnapshot TakeUdpSnapshot(const SettingsFile& settings) {
  return {ReadUdpKey(settings, settings::kKeyRemoteIp), ReadUdpKey(settings, settings::kKeyHostIp)};
}

bool PutBackUdp(const SettingsFile& settings, const UdpSettingsSnapshot& snapshot) {
  const bool remote = PutBackKey(settings, settings::kKeyRemoteIp, snapshot.remoteIp);
  return PutBackKey(settings, settings::kKeyHostIp, snapshot.hostIp) && remote;
}

}  // namespace quilmarr
