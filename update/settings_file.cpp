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

UdpSettingsSnapshot::UdpSettingsSnapshot(SettingsFile& settings) : settings_(settings) {
  settings_.ResolveFolder();
  remoteIp_ = settings_.ReadString(settings::kSectionUdp, settings::kKeyRemoteIp, kIpValueCapacity);
  hostIp_ = settings_.ReadString(settings::kSectionUdp, settings::kKeyHostIp, kIpValueCapacity);
}

UdpSettingsSnapshot::~UdpSettingsSnapshot() {
  try {
    if (!dismissed_) Restore();
  } catch (...) {
    // A failed write is ignored, like every other settings write.
  }
}

void UdpSettingsSnapshot::Restore() const {
  settings_.WriteString(settings::kSectionUdp, settings::kKeyRemoteIp, remoteIp_);
  settings_.WriteString(settings::kSectionUdp, settings::kKeyHostIp, hostIp_);
}

}  // namespace quilmarr
