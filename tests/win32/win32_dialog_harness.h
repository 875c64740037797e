#pragma once
// The real Win32 main window, modeless, driven in-process with window
// messages and a PeekMessage pump: fake adapters, a capture source fed from
// this thread (frames travel through the worker's blocking send), a launcher
// that records and can hold a run, and a real settings file in a temporary
// folder.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_folder_locator.h"
#include "tests/support/scripted_capture.h"
#include "tests/support/lldp_frames.h"
#include "tests/support/temp_settings.h"
#include "tests/support/fake_services.h"
#include "ui/win32/win32_batch_dialog.h"
#include "ui/win32/windows_api.h"
#include "update/settings_file.h"

namespace quilmarr::test {

class Win32DialogTest : public ::testing::Test {
 protected:
  Win32DialogTest();
  ~Win32DialogTest() override;

  // Creates and shows the dialog (modeless); the fixture's loop is its message loop.
  Win32BatchDialog& Open();
  void Close() { dialog_.reset(); }

  [[nodiscard]] HWND Dialog() const { return dialog_->Window(); }
  [[nodiscard]] HWND Item(int id) const { return GetDlgItem(dialog_->Window(), id); }
  [[nodiscard]] CPendravelBatchDlg& Controller() const { return dialog_->Controller(); }

  // Handles messages as the program's loop does (IsDialogMessageW first)
  // until `done` holds; false after `timeout`.
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout = kPatience);
  // Handles what is queued now.
  void PumpPending();

  void Click(int id) const { SendMessageW(Item(id), BM_CLICK, 0, 0); }
  void SelectAdapter(int index) const;
  // A key press on the focused control, through the dialog manager.
  void PressKey(WPARAM key);
  // Gives the focus to a control as the Tab key does.
  void TabTo(int id) const;
  // Selects the first adapter, clicks Query Device and waits for the capture to open.
  void StartQuery();
  // Sends each device's LLDP frame through the capture and waits until the
  // dialog has handled them all.
  void Announce(const std::vector<test::DeviceAnnouncement>& devices);
  // One tick of the refresh timer.
  void Tick() const { SendMessageW(Dialog(), WM_TIMER, kRefreshTimerId, 0); }

  [[nodiscard]] std::u16string Cell(int row, int column) const;
  [[nodiscard]] bool Ticked(int row) const;
  void SetTicked(int row, bool ticked) const;
  [[nodiscard]] int RowCount() const;
  // True once every capture started has ended: its worker frees its source last.
  [[nodiscard]] bool CapturesEnded() const {
    return capture_->freed.load() == capture_->created.load();
  }

  TempSettings temp_;
  SettingsFile& settings_ = temp_.File();
  FakeInterfaceLister lister_;
  std::shared_ptr<CaptureScript> capture_ = std::make_shared<CaptureScript>();
  test::FakeClock clock_;
  FakeLauncher launcher_;
  std::optional<std::u16string> openFileAnswer_;
  int openFileCalls_ = 0;
  HWND openFileOwner_ = nullptr;
  std::optional<std::u16string> saveFileAnswer_;
  std::vector<std::u16string> saveFileSuggestions_;
  int aboutBoxes_ = 0;
  const char* captureLibraryMissing_ = nullptr;
  std::unique_ptr<Win32BatchDialog> dialog_;
};

}  // namespace quilmarr::test
