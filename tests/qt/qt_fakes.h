#pragma once
// Fakes for the front-end tests: two adapters, a packet source fed from the
// test thread, a clock the test sets, a launcher that records, and a real
// settings file in a temporary folder.
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "discovery/adapters.h"
#include "discovery/packet_source.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "ui/qt/qt_text.h"
#include "update/settings_file.h"

namespace quilmarr::testing {

class TwoAdapters final : public InterfaceLister {
 public:
  [[nodiscard]] std::optional<std::vector<CaptureInterfaceEntry>> FindAllDevs() override {
    CaptureInterfaceEntry first{"veth-a", "Test Adapter A", 0, {{kAddressFamilyIpv4, {10, 0, 0, 1}}}};
    CaptureInterfaceEntry second{"veth-b", "Test Adapter B", 0, {{kAddressFamilyIpv4, {10, 0, 0, 2}}}};
    return std::vector<CaptureInterfaceEntry>{first, second};
  }
};

// Frames queued by the test, read by the capture worker's thread.
struct FrameFeed {
  std::mutex mutex;
  std::condition_variable queued;
  std::deque<std::vector<std::uint8_t>> frames;
  std::atomic<bool> openSucceeds{true};
  std::atomic<int> opened{0};

  void Push(std::vector<std::uint8_t> frame) {
    {
      const std::lock_guard lock(mutex);
      frames.push_back(std::move(frame));
    }
    queued.notify_one();
  }
};

class FeedPacketSource final : public PacketSource {
 public:
  explicit FeedPacketSource(std::shared_ptr<FrameFeed> feed) : feed_(std::move(feed)) {}
  [[nodiscard]] bool Open(const std::string& /*narrowDeviceName*/) override {
    ++feed_->opened;
    return feed_->openSucceeds.load();
  }
  [[nodiscard]] ReadResult Read() override {
    std::unique_lock lock(feed_->mutex);
    // A short read time-out keeps stop requests quick.
    if (!feed_->queued.wait_for(lock, std::chrono::milliseconds(10),
                                [this] { return !feed_->frames.empty(); })) {
      return {ReadStatus::Timeout, {}};
    }
    current_ = std::move(feed_->frames.front());
    feed_->frames.pop_front();
    return {ReadStatus::Frame, current_};
  }
  void Close() override {}

 private:
  std::shared_ptr<FrameFeed> feed_;
  std::vector<std::uint8_t> current_;
};

class SetClock final : public Clock {
 public:
  [[nodiscard]] UnixSeconds Now() const override { return now.load(); }
  std::atomic<UnixSeconds> now{1'700'000'000};
};

class RecordingLauncher final : public ProcessLauncher {
 public:
  [[nodiscard]] bool RunAndWait(const std::u16string& /*program*/,
                                const std::vector<std::u16string>& /*arguments*/) override {
    ++runs;
    return true;
  }
  std::atomic<int> runs{0};
};

class FolderLocator final : public AppDataFolderLocator {
 public:
  explicit FolderLocator(std::u16string folder) : folder_(std::move(folder)) {}
  [[nodiscard]] std::optional<std::u16string> RoamingAppDataFolder() const override { return folder_; }
  [[nodiscard]] std::u16string FallbackFolder() const override { return folder_; }

 private:
  std::u16string folder_;
};

// A real settings file under a fresh temporary application-data folder.
class TempSettings {
 public:
  TempSettings()
      : locator_(ToU16String(QDir::toNativeSeparators(dir_.path()))),
        ini_(MakePlatformIniStore()),
        settings_(locator_, *ini_) {
    QDir(dir_.path()).mkpath(QStringLiteral("Kavrendt/Ostrovel/Firmware"));
    settings_.ResolveFolder();
  }
  [[nodiscard]] SettingsFile& Settings() noexcept { return settings_; }
  [[nodiscard]] QString FilePath() const { return ToQString(settings_.FilePath()); }

 private:
  QTemporaryDir dir_;
  FolderLocator locator_;
  std::unique_ptr<IniStore> ini_;
  SettingsFile settings_;
};

// An LLDP frame as the devices send it (IEEE 802.1AB; only the TLVs the tool reads).
inline std::vector<std::uint8_t> LldpFrame(const std::array<std::uint8_t, 4>& ip, const std::string& sysName,
                                           const std::string& iedName, const std::string& appVersion) {
  std::vector<std::uint8_t> frame = {
      0x01, 0x80, 0xC2, 0x00, 0x00, 0x0E,  // nearest-bridge multicast
      0x02, 0x00, 0x00, 0x00, 0x00, ip[3],  // source address
      0x88, 0xCC};                          // EtherType LLDP
  const auto appendTlv = [&frame](unsigned type, const std::vector<std::uint8_t>& value) {
    const auto length = static_cast<unsigned>(value.size());
    // 7-bit type, 9-bit length.
    frame.push_back(static_cast<std::uint8_t>((type << 1) | (length >> 8)));
    frame.push_back(static_cast<std::uint8_t>(length & 0xFF));
    frame.insert(frame.end(), value.begin(), value.end());
  };
  appendTlv(5, std::vector<std::uint8_t>(sysName.begin(), sysName.end()));
  appendTlv(8, {0x05, 0x01, ip[0], ip[1], ip[2], ip[3], 0x02, 0x00, 0x00, 0x00, 0x00, 0x00});
  const std::string description = "BootVer:1.0 & AppVer:" + appVersion + " & IDE Name:" + iedName;
  appendTlv(6, std::vector<std::uint8_t>(description.begin(), description.end()));
  frame.push_back(0x00);  // End of LLDPDU
  frame.push_back(0x00);
  return frame;
}

}  // namespace quilmarr::testing
