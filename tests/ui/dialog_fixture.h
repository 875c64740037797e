#pragma once
// One dialog with fake controls and fake outside world, the real device table,
// real settings file in a temporary folder, and the real worker threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fake_controls.h"
#include "tests/support/fake_services.h"
#include "tests/support/lldp_frames.h"
#include "tests/support/recording_target.h"
#include "ui/pendravel_batch_dlg.h"
#include "update/settings_file.h"

namespace quilmarr::test {

inline constexpr UnixSeconds kStartTime = 1'700'000'000;

class DialogTest : public ::testing::Test {
 protected:
  DialogTest() {
    queue_.SetHandler([this](const Message& message) {
      if (dialog_) {
        dialog_->OnMessage(message);
      }
    });
  }

  ~DialogTest() override { CloseAndWait(); }

  CPendravelBatchDlg& Construct() {
    DialogControls controls{combo_,        list_,     queryButton_, batchButton_,
                            browseButton_, fileEdit_, host_};
    DialogServices services{queue_,    lister_, ScriptedSources(capture_), clock_, settings_,
                            launcher_, sleep_};
    dialog_ = std::make_unique<CPendravelBatchDlg>(controls, services);
    return *dialog_;
  }

  CPendravelBatchDlg& Open() {
    Construct();
    EXPECT_TRUE(dialog_->OnInitDialog());
    return *dialog_;
  }

  // Opens with one adapter 10.0.0.5 on "eth0", preselected, and starts a query.
  CPendravelBatchDlg& OpenQuerying() {
    lister_.entries = std::vector{Interface("eth0", "Test adapter", {10, 0, 0, 5})};
    Write(settings::kSectionQuilmarr, settings::kKeyAdapterIp, u"10.0.0.5");
    Open();
    dialog_->OnQueryClicked();
    EXPECT_EQ(dialog_->Mode(), UiMode::Querying);
    return *dialog_;
  }

  bool Pump(const std::function<bool()>& done) { return queue_.PumpUntil(done, kPatience); }

  // A worker's message, handed to the dialog as its window would.
  void Deliver(unsigned id, std::u16string text = {}) {
    Message message;
    message.id = id;
    message.text = std::move(text);
    dialog_->OnMessage(message);
  }

  void Hear(std::uint8_t lastByte, std::string_view appVersion = "4.1.7") {
    DeviceAnnouncement device;
    device.ip = {192, 168, 0, lastByte};
    device.appVersion = appVersion;
    dialog_->OnCapturePacket(LldpFrame(device));
  }

  void Write(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    settings_.WriteString(section, key, value);
  }
  [[nodiscard]] std::u16string Read(std::u16string_view section, std::u16string_view key) const {
    return settings_.ReadString(section, key, kPathValueCapacity);
  }

  [[nodiscard]] std::vector<std::u16string> Column(std::size_t column) const {
    std::vector<std::u16string> texts;
    for (const FakeRow& row : list_.rows) {
      texts.push_back(row.cells.at(column));
    }
    return texts;
  }
  [[nodiscard]] std::vector<std::u16string> TickedIps() const {
    std::vector<std::u16string> ips;
    for (const FakeRow& row : list_.rows) {
      if (row.checked) ips.push_back(row.cells.at(0));
    }
    return ips;
  }
  // Ticks `row` and chooses a package; the updater is installed, and its runs
  // wait until the test releases them.
  void ReadyForABatch(std::size_t row) {
    list_.rows.at(row).checked = true;
    fileEdit_.SetText(package_);
    static_cast<void>(temp_.InstallUpdater());
    launcher_.Hold();
  }
  // True once every capture started has ended: its worker frees its source last.
  [[nodiscard]] bool CapturesEnded() const {
    return capture_->freed.load() == capture_->created.load();
  }

  // Ends every worker so that the dialog can be destroyed.
  void CloseAndWait() {
    if (!dialog_) {
      return;
    }
    launcher_.ReleaseAll();
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!dialog_->OnClose() && std::chrono::steady_clock::now() < deadline) {
      queue_.PumpUntil([] { return false; }, std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(Pump([this] { return CapturesEnded(); }));
    dialog_.reset();
  }

  TempSettings temp_;
  SettingsFile& settings_ = temp_.File();
  std::u16string package_ = WritePackage(temp_.Root() / "fw 1.pck");
  RecordingTarget queue_{RecordingTarget::Delivery::WhenPumped};
  FakeInterfaceLister lister_;
  FakeClock clock_{kStartTime};
  FakeLauncher launcher_;
  FakeSleepInhibitor sleep_;
  std::shared_ptr<CaptureScript> capture_ = std::make_shared<CaptureScript>();

  FakeCombo combo_;
  FakeList list_;
  FakeButton queryButton_{u"Query Device", false};
  FakeButton batchButton_{u"Batch Update", false};
  FakeButton browseButton_{u"Browse", true};
  FakeEdit fileEdit_;
  FakeHost host_{queue_};
  std::unique_ptr<CPendravelBatchDlg> dialog_;
};

// A dialog ready for a batch.
class BatchUpdateTest : public DialogTest {
 protected:
  // Querying on adapter 10.0.0.5 with the given devices listed (192.168.0.x,
  // in this order) and the given rows ticked.
  void PrepareBatch(const std::vector<std::uint8_t>& devices,
                    const std::vector<std::size_t>& tickedRows) {
    static_cast<void>(temp_.InstallUpdater());
    Write(settings::kSectionUdp, settings::kKeyRemoteIp, u"1.1.1.1");
    Write(settings::kSectionUdp, settings::kKeyHostIp, u"2.2.2.2");
    OpenQuerying();
    for (const std::uint8_t device : devices) {
      Hear(device);
    }
    dialog_->OnTimer(kRefreshTimerId);
    for (const std::size_t row : tickedRows) {
      list_.rows.at(row).checked = true;
    }
    fileEdit_.SetText(package_);
  }

  // Until the batch is over as the user sees it: the mode is back, and a
  // refresh marks no row "Updating" (the worker clears `running` last).
  bool PumpUntilBatchEnded() {
    return Pump([&] {
      if (dialog_->Mode() != UiMode::Querying) return false;
      dialog_->OnTimer(kRefreshTimerId);
      const auto status = Column(6);
      return std::find(status.begin(), status.end(), u"Updating") == status.end();
    });
  }
};

}  // namespace quilmarr::test
