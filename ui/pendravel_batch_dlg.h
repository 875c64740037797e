#pragma once
// The main dialog controller: owns every long-lived object, holds the mode,
// turns clicks into worker starts and stops and worker messages into control
// states and error boxes. Runs on the user-interface thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/adapters.h"
#include "discovery/capture_worker.h"
#include "inventory/device_table.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog_messages.h"
#include "update/batch_outcomes.h"
#include "update/settings_file.h"
#include "update/update_job.h"
#include "update/update_worker.h"

namespace quilmarr {

// What the user can do follows from the workers that are alive: a batch makes
// the mode Updating, otherwise a capture (running or stopping) makes it Querying.
enum class UiMode : std::int32_t { Idle = 0, Querying = 1, Updating = 2 };

// The device list's column headers, without their padding blanks: "IP",
// "Sys Name", ... "Status" (the header row of an exported list).
[[nodiscard]] std::vector<std::u16string> DeviceListHeaders();

// The device list's context-menu item, which calls OnExportListClicked.
inline constexpr char16_t kExportListItem[] = u"Export list...";

inline constexpr unsigned kRefreshTimerId = 1;
inline constexpr unsigned kRefreshTimerMs = 1000;
inline constexpr std::int64_t kFreshSeconds = 6;

// What the dialog needs from outside; all must outlive the dialog.
struct DialogServices {
  MessageTarget& window;  // the front end's window, which the workers report to
  InterfaceLister& interfaces;
  PacketSourceFactory openPacketSource;
  const Clock& clock;
  SettingsFile& settings;
  ProcessLauncher& launcher;
};

class CPendravelBatchDlg {
 public:
  // Takes m_udpSnapshot: the first access to the settings file.
  CPendravelBatchDlg(DialogControls controls, DialogServices services);
  CPendravelBatchDlg(const CPendravelBatchDlg&) = delete;
  CPendravelBatchDlg& operator=(const CPendravelBatchDlg&) = delete;
  ~CPendravelBatchDlg();

  bool OnInitDialog();

  // Clicks.
  void OnQueryClicked();
  void OnBrowseClicked();
  void OnBatchUpdateClicked();
  // "Export list..." of the device list's context menu: the rows shown, as CSV.
  void OnExportListClicked();
  // Close request (window close, Esc, any other way of ending): true when the
  // dialog was ended, false when it was refused.
  bool OnClose();
  // The window is going away without a close: stops the capture and keeps
  // handling the workers' messages until both workers have ended.
  void OnDestroy();
  // True when a system command opens the about box (low four bits ignored).
  [[nodiscard]] static bool IsAboutCommand(unsigned commandId) noexcept {
    return (commandId & 0xFFF0u) == IDM_ABOUTBOX;
  }

  // The message table: dispatches a worker message to its handler; returns 0.
  std::intptr_t OnMessage(const Message& message);
  std::intptr_t OnCapturePacket(std::span<const std::uint8_t> frame);
  std::intptr_t OnCaptureStopped();
  std::intptr_t OnCaptureOpenFailed();
  std::intptr_t OnCaptureReadFailed();
  std::intptr_t OnUpdateError(std::u16string_view text);
  std::intptr_t OnUpdateDeviceStarted(const std::u16string& ip);
  std::intptr_t OnUpdateDeviceEnded(const DeviceRun& run);
  std::intptr_t OnUpdateFinished();
  void OnTimer(unsigned timerId);

  // What the user can do now; the front ends' drivers wait on it.
  // A batch makes the mode Updating, else a capture (running or stopping) Querying.
  [[nodiscard]] UiMode Mode() const noexcept {
    if (m_batchActive) return UiMode::Updating;
    return m_captureActive ? UiMode::Querying : UiMode::Idle;
  }

  // The error box: "Error" and the narrow text. Public for the Win32 front
  // end, which shows its handlers' failures and a missing capture library by it.
  void ShowErrorBox(const char* text);

 private:
  // True while a capture or update worker thread is alive.
  [[nodiscard]] bool WorkersAlive() const noexcept;
  void AddDeviceRow(const DeviceRecord& record, const std::vector<std::u16string>& ticked,
                    bool running, const std::u16string& updatingIp, int& row);
  [[nodiscard]] std::vector<std::u16string> CollectTickedIps() const;
  void FillAdapterCombo();
  void SetUpDeviceList();
  // Rebuilds the rows from the table; `running` is read for each record.
  void RebuildDeviceList(const std::function<bool()>& running, const std::u16string& updatingIp);
  void ShowErrorText(std::u16string_view text);
  // The adapter entry of the combo's selection; null when nothing is selected.
  [[nodiscard]] const AdapterInfo* SelectedAdapter() const;

  // The mode's transitions, each with the control states of its new mode.
  void EnterQuerying();   // a capture started from Idle
  void EnterUpdating();   // a batch started while querying
  void LeaveQuerying();   // the capture ended with no batch running
  void LeaveUpdating();   // the batch ended
  void OnCaptureEnded();  // any of the capture's ending messages
  void StartRefreshTimer();
  void StopRefreshTimer();
  // The batch report: written once the batch and its verification are over,
  // or with the outcomes as far as known when they are left earlier.
  void WriteReportIfOver();
  void WriteReportNow();

  // Private members are the implementation's; the ones below are the
  // dialog's state in declaration order (destroyed in reverse).
  ComboControl& m_adapterCombo;
  ListControl& m_deviceList;
  ButtonControl& m_queryButton;
  ButtonControl& m_batchUpdateButton;
  ButtonControl& m_browseButton;
  EditControl& m_fileEdit;
  DialogHost& m_host;
  DialogServices m_services;
  WindowMessageSink m_workerSink{m_services.window};
  std::unique_ptr<CaptureContext> m_capture;
  UdpSettingsSnapshot m_udpSnapshot;
  std::unique_ptr<AdapterList> m_adapters;
  DeviceTable m_devices;
  std::unique_ptr<UpdateJob> m_updateJob;
  std::u16string m_updatingIp;
  std::unique_ptr<BatchOutcomes> m_outcomes;
  std::u16string m_reportPath;
  bool m_reportWritten = false;
  bool m_captureActive = false;  // from a capture's start until its end is handled
  bool m_batchActive = false;    // from a batch's start until its end is handled
  bool m_timerRunning = false;
  // Declared last: destroyed first, joining the workers before the records
  // they share are freed.
  UpdateWorkerThread m_updateThread;
  CaptureWorkerThread m_captureThread;
};

}  // namespace quilmarr
