#pragma once
// One batch session with the fake outside world, the real device table, a
// real settings file in a temporary folder, and the real worker threads; the
// test's thread handles the workers' messages as a front end's would.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "session/batch_session.h"
#include "session/message_queue.h"
#include "tests/support/fake_services.h"
#include "tests/support/lldp_frames.h"

namespace quilmarr::test {

inline constexpr UnixSeconds kStartTime = 1'700'000'000;
using Strings = std::vector<std::u16string>;

class SessionTest : public ::testing::Test, private SessionHost {
 protected:
  SessionTest() {
    queue_.SetHandler([this](const Message& message) {
      if (session_) session_->HandleMessage(message);
    });
    lister_.entries =
        std::vector{Interface("eth0", "Test adapter", {10, 0, 0, 5}, {{255, 255, 255, 0}})};
  }
  ~SessionTest() override { CloseAndWait(); }

  // Querying on adapter 10.0.0.5/24 with devices 192.168.0.<n> heard in this
  // order; the updater is installed and [UDP] holds 1.1.1.1 and 2.2.2.2.
  void PrepareBatch(const std::vector<std::uint8_t>& devices, bool updaterInstalled = true) {
    if (updaterInstalled) static_cast<void>(temp_.InstallUpdater());
    temp_.Write(settings::kSectionUdp, settings::kKeyRemoteIp, u"1.1.1.1");
    temp_.Write(settings::kSectionUdp, settings::kKeyHostIp, u"2.2.2.2");
    session_ =
        std::make_unique<BatchSession>(SessionServices{queue_, lister_, ScriptedSources(capture_),
                                                       clock_, settings_, launcher_, sleep_},
                                       static_cast<SessionHost&>(*this));
    session_->LoadAdapters();
    ASSERT_TRUE(session_->StartCapture(*session_->AdapterAt(0)));
    for (const std::uint8_t device : devices) Hear(device);
  }
  // A batch of 192.168.0.<n>, in this order, with the package "fw 1.pck".
  bool StartBatch(const std::vector<std::uint8_t>& targets) {
    BatchRequest request = Request({});
    for (const std::uint8_t device : targets) request.targets.push_back(Ip(device));
    return session_->StartBatch(request);
  }
  // A batch of these targets with the package "fw 1.pck" on adapter 10.0.0.5.
  [[nodiscard]] BatchRequest Request(Strings targets) const {
    BatchRequest request;
    request.packagePath = package_;
    request.adapterIp = u"10.0.0.5";
    request.targets = std::move(targets);
    return request;
  }

  static std::u16string Ip(std::uint8_t lastByte) {
    return u"192.168.0." + FromUtf8(std::to_string(lastByte));
  }
  void Hear(std::uint8_t lastByte, std::string_view appVersion = "4.1.7",
            std::uint8_t chassis = 1) {
    const Bytes frame = LldpFrame({.ip = {192, 168, 0, lastByte},
                                   .appVersion = appVersion,
                                   .chassis = {2, 0, 0, 0, 0, chassis}});
    session_->HandleMessage({WM_CAPTURE_PACKET, frame, {}, {}});
  }

  bool Pump(const std::function<bool()>& done) { return queue_.PumpUntil(done, kPatience); }
  // Until the batch is over as the user sees it: its worker has returned.
  bool PumpUntilBatchEnded() {
    return Pump([&] { return !session_->BatchAlive(); });
  }

  // The rows listed after a one-second tick: their addresses, their statuses.
  [[nodiscard]] Strings Column(bool status, const Strings& ticked = {}) {
    session_->Tick();
    Strings texts;
    for (const DeviceRow& row : session_->Rows(ticked)) {
      texts.push_back(status ? row.status : row.record->ipText);
    }
    return texts;
  }
  [[nodiscard]] Strings Statuses() { return Column(true); }
  // The batch reports written in their folder beside the settings file (a
  // batch reserves its report's name with an empty file).
  [[nodiscard]] std::vector<std::filesystem::path> Reports() const {
    std::vector<std::filesystem::path> files;
    std::error_code none;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(settings_.Folder()) / "Reports", none)) {
      if (entry.file_size(none) > 0) files.push_back(entry.path());
    }
    return files;
  }

  void CloseAndWait() {
    if (!session_) return;
    launcher_.ReleaseAll();
    EXPECT_TRUE(Pump([this] { return !session_->BatchAlive() && session_->Close(); }));
    session_.reset();
  }

  // SessionHost
  void ShowError(std::u16string_view text) override { errors_.emplace_back(text); }
  void ShowNote(std::u16string_view text) override { notes_.emplace_back(text); }
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override {
    return queue_.PumpUntil(done, timeout);
  }

  TempSettings temp_;
  SettingsFile& settings_ = temp_.File();
  std::u16string package_ = WritePackage(temp_.Root() / "fw 1.pck");
  MessageQueue queue_;
  FakeInterfaceLister lister_;
  FakeClock clock_{kStartTime};
  FakeLauncher launcher_;
  FakeSleepInhibitor sleep_;
  std::shared_ptr<CaptureScript> capture_ = std::make_shared<CaptureScript>();
  Strings errors_, notes_;
  std::unique_ptr<BatchSession> session_;
};

}  // namespace quilmarr::test
