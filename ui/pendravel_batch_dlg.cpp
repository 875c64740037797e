#include "ui/pendravel_batch_dlg.h"

#include <chrono>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/text.h"
#include "quilmarr_version.h"
#include "update/batch_options.h"
#include "update/batch_report.h"

namespace quilmarr {

namespace {

constexpr std::u16string_view kErrorCaption = u"Error";
constexpr std::u16string_view kQueryCaption = u"Query Device";
constexpr std::u16string_view kStopCaption = u"Stop Query";
constexpr std::u16string_view kAdapterLabelGap = u"   ";

constexpr char kUnknownException[] = "Unknown exception";
constexpr char kSelectAdapter[] = "Please select a network adapter";
constexpr char kSelectFile[] = "Please select the file to be updated";
constexpr char kSelectDevice[] = "Please select the device to be updated";
constexpr char kWaitUpdateInterrupt[] = "Please wait update interrupt";

// How long the dialog keeps handling messages for a worker to end: a capture
// worker asked to stop ends within one read time-out plus one frame; this
// leaves room for a slow frame handler.
constexpr std::chrono::milliseconds kWorkerEndWait{3000};

[[nodiscard]] const char* ExceptionText(const std::exception& error) noexcept {
  const char* text = error.what();
  return (text == nullptr || *text == '\0') ? kUnknownException : text;
}

}  // namespace

CPendravelBatchDlg::CPendravelBatchDlg(DialogControls controls, DialogServices services)
    : m_adapterCombo(controls.adapterCombo),
      m_deviceList(controls.deviceList),
      m_queryButton(controls.queryButton),
      m_batchUpdateButton(controls.batchUpdateButton),
      m_browseButton(controls.browseButton),
      m_fileEdit(controls.fileEdit),
      m_host(controls.host),
      m_services(std::move(services)),
      m_udpSnapshot(m_services.settings) {}

// The worker threads are the last members, so they are joined before the
// records they share are freed; the job's snapshot is restored before the
// dialog's own, which therefore writes [UDP] back last.
CPendravelBatchDlg::~CPendravelBatchDlg() = default;

bool CPendravelBatchDlg::OnInitDialog() {
  m_host.SetWindowTitle(kWindowTitle);

  m_capture = std::make_unique<CaptureContext>();
  m_capture->sink = &m_workerSink;
  m_capture->stopRequested = true;
  m_capture->running = false;

  FillAdapterCombo();
  SetUpDeviceList();

  m_updateJob = std::make_unique<UpdateJob>(m_services.settings, &m_workerSink);
  m_fileEdit.SetText(m_services.settings.ReadString(settings::kSectionQuilmarr,
                                                    settings::kKeyPckFile, kPathValueCapacity));
  return true;
}

void CPendravelBatchDlg::FillAdapterCombo() {
  try {
    m_adapters = EnumerateAdapters(m_services.interfaces);
  } catch (const std::exception& error) {
    ShowErrorBox(ExceptionText(error));
    return;
  }
  if (!m_adapters) {
    return;
  }

  const std::u16string savedIp = m_services.settings.ReadString(
      settings::kSectionQuilmarr, settings::kKeyAdapterIp, kPathValueCapacity);
  for (const auto& adapter : *m_adapters) {
    const int index = m_adapterCombo.AddString(
        adapter->ipAddress + std::u16string(kAdapterLabelGap) + adapter->description);
    if (EqualsNoCase(savedIp, adapter->ipAddress)) {
      m_adapterCombo.SetCurSel(index);
    }
  }
  if (m_adapterCombo.GetCount() > 0) {
    m_queryButton.Enable(true);
  }
}

const AdapterInfo* CPendravelBatchDlg::SelectedAdapter() const {
  const int selection = m_adapterCombo.GetCurSel();
  if (selection < 0 || !m_adapters || static_cast<std::size_t>(selection) >= m_adapters->size()) {
    return nullptr;
  }
  return (*m_adapters)[static_cast<std::size_t>(selection)].get();
}

void CPendravelBatchDlg::OnQueryClicked() {
  m_queryButton.Enable(false);

  if (m_captureActive) {
    // Stop Query: the button stays disabled until the worker reports its end.
    m_captureThread.RequestStop();
    StopRefreshTimer();
    return;
  }

  const AdapterInfo* adapter = SelectedAdapter();
  if (adapter == nullptr) {
    ShowErrorBox(kSelectAdapter);
    m_queryButton.Enable(true);
    return;
  }
  std::u16string deviceName = adapter->deviceName;

  // A worker that has reported its end may still be returning; it sends
  // nothing more, so waiting for it cannot hold up the UI thread for long.
  if (m_captureThread.IsAlive() &&
      !m_host.PumpMessagesUntil([this] { return !m_captureThread.IsAlive(); }, kWorkerEndWait)) {
    m_queryButton.Enable(true);
    return;
  }

  m_capture->running = true;
  m_capture->adapterName = std::move(deviceName);
  m_capture->stopRequested = false;
  try {
    m_captureThread.Start(*m_capture, m_services.openPacketSource());
  } catch (const std::exception& error) {
    m_capture->running = false;
    m_capture->stopRequested = true;
    ShowErrorBox(ExceptionText(error));
    m_queryButton.Enable(true);
    return;
  }

  m_captureActive = true;
  EnterQuerying();
}

void CPendravelBatchDlg::OnBrowseClicked() {
  if (std::optional<std::u16string> path = m_host.OpenFileDialog()) {
    m_fileEdit.SetText(*path);
  }
}

void CPendravelBatchDlg::OnBatchUpdateClicked() {
  // The job must not be refilled while a worker still reads it.
  if (m_batchActive || m_updateThread.IsAlive()) {
    return;
  }

  const std::u16string packagePath = m_fileEdit.Text();
  if (packagePath.empty()) {
    ShowErrorBox(kSelectFile);
    return;
  }
  const AdapterInfo* adapter = SelectedAdapter();
  if (adapter == nullptr) {
    ShowErrorBox(kSelectAdapter);
    return;
  }
  const std::u16string adapterIp = adapter->ipAddress;
  const std::vector<std::u16string> ticked = CollectTickedIps();
  if (ticked.empty()) {
    ShowErrorBox(kSelectDevice);
    return;
  }

  const auto options = ReadBatchOptions(m_services.settings);
  if (const auto* error = std::get_if<std::u16string>(&options)) {
    ShowErrorText(*error);
    return;
  }
  const BatchOptions& chosen = std::get<BatchOptions>(options);

  m_batchActive = true;
  EnterUpdating();

  WriteReportNow();  // the last batch's outcomes give way to this one's
  const UnixSeconds now = m_services.clock.Now();
  m_outcomes = std::make_unique<BatchOutcomes>(
      BatchInfo{now, packagePath, adapterIp, chosen.verifyFor}, ticked, m_devices);
  m_reportPath = BatchReportPath(m_services.settings, now);
  m_reportWritten = false;

  SettingsFile& settingsFile = m_services.settings;
  settingsFile.WriteString(settings::kSectionQuilmarr, settings::kKeyPckFile, packagePath);
  settingsFile.WriteString(settings::kSectionQuilmarr, settings::kKeyAdapterIp, adapterIp);

  m_updateJob->ReplaceTargets(ticked);
  m_updateJob->packagePath = packagePath;
  m_updateJob->adapterIp = adapterIp;
  m_updateJob->interruptRequested = false;
  m_updateJob->updateTimeLimit = chosen.updateTimeLimit;
  try {
    m_updateThread.Start(*m_updateJob, m_services.settings, m_services.launcher, m_services.clock);
  } catch (const std::exception& error) {
    ShowErrorBox(ExceptionText(error));
    OnUpdateFinished();
  }
}

bool CPendravelBatchDlg::OnClose() {
  if (m_batchActive || (m_updateJob && m_updateJob->running) || m_updateThread.IsAlive()) {
    if (m_updateJob) {
      m_updateJob->interruptRequested = true;
    }
    ShowErrorBox(kWaitUpdateInterrupt);
    return false;
  }

  if (m_captureActive || m_captureThread.IsAlive()) {
    m_captureThread.RequestStop();
    StopRefreshTimer();
    // The worker may be blocked in a send to this thread: keep handling its
    // messages instead of sleeping.
    static_cast<void>(
        m_host.PumpMessagesUntil([this] { return !m_captureThread.IsAlive(); }, kWorkerEndWait));
  }

  WriteReportNow();
  m_host.EndDialog();
  return true;
}

void CPendravelBatchDlg::OnDestroy() {
  m_captureThread.RequestStop();
  if (m_updateJob) {
    m_updateJob->interruptRequested = true;
  }
  StopRefreshTimer();
  static_cast<void>(m_host.PumpMessagesUntil([this] { return !WorkersAlive(); }, kWorkerEndWait));
  WriteReportNow();
}

bool CPendravelBatchDlg::WorkersAlive() const noexcept {
  return m_captureThread.IsAlive() || m_updateThread.IsAlive();
}

std::intptr_t CPendravelBatchDlg::OnMessage(const Message& message) {
  switch (message.id) {
    case WM_CAPTURE_PACKET: return OnCapturePacket(message.frame);
    case WM_CAPTURE_STOPPED: return OnCaptureStopped();
    case WM_CAPTURE_OPEN_FAILED: return OnCaptureOpenFailed();
    case WM_CAPTURE_READ_FAILED: return OnCaptureReadFailed();
    case WM_UPDATE_ERROR: return OnUpdateError(message.text);
    case WM_UPDATE_DEVICE_STARTED: return OnUpdateDeviceStarted(message.text);
    case WM_UPDATE_DEVICE_ENDED: return OnUpdateDeviceEnded(message.run);
    case WM_UPDATE_FINISHED: return OnUpdateFinished();
    default: return 0;
  }
}

std::intptr_t CPendravelBatchDlg::OnCapturePacket(std::span<const std::uint8_t> frame) {
  try {
    const DeviceRecord* heard = ProcessCapturedFrame(frame, m_devices, m_services.clock);
    if (heard != nullptr && m_outcomes) m_outcomes->DeviceHeard(*heard);
  } catch (const std::exception& error) {
    ShowErrorBox(ExceptionText(error));
  }
  return 0;
}

std::intptr_t CPendravelBatchDlg::OnCaptureStopped() {
  OnCaptureEnded();
  return 0;
}

std::intptr_t CPendravelBatchDlg::OnCaptureOpenFailed() {
  ShowErrorBox(kOpenAdapterFailedText);
  OnCaptureEnded();
  return 0;
}

std::intptr_t CPendravelBatchDlg::OnCaptureReadFailed() {
  ShowErrorBox(kCaptureReadFailedText);
  OnCaptureEnded();
  return 0;
}

std::intptr_t CPendravelBatchDlg::OnUpdateError(std::u16string_view text) {
  ShowErrorText(text);
  return 0;
}

std::intptr_t CPendravelBatchDlg::OnUpdateDeviceEnded(const DeviceRun& run) {
  if (m_outcomes) {
    m_outcomes->DeviceEnded(run, m_devices);
    if (!m_captureActive) m_outcomes->StopWatching();
  }
  return 0;
}

std::intptr_t CPendravelBatchDlg::OnUpdateFinished() {
  if (m_batchActive) {
    m_batchActive = false;
    if (m_outcomes) m_outcomes->BatchEnded(m_updateJob->interruptRequested.load());
    LeaveUpdating();
    WriteReportIfOver();
  }
  return 0;
}

void CPendravelBatchDlg::WriteReportIfOver() {
  if (m_outcomes && m_outcomes->Over()) WriteReportNow();
}

void CPendravelBatchDlg::WriteReportNow() {
  if (!m_outcomes || m_reportWritten) return;
  m_reportWritten = true;
  if (!WriteBatchReport(m_reportPath, *m_outcomes)) {
    ShowErrorText(ReportNotWrittenText(m_reportPath));
  }
}

void CPendravelBatchDlg::OnCaptureEnded() {
  if (!m_captureActive) {
    return;
  }
  m_captureActive = false;
  if (m_outcomes) {
    // Nothing more can be heard: the devices still watched stay "Done".
    m_outcomes->StopWatching();
    WriteReportIfOver();
  }
  // A batch keeps the mode at Updating, and the list refreshing, until it ends.
  if (!m_batchActive) {
    LeaveQuerying();
  }
}

void CPendravelBatchDlg::EnterQuerying() {
  m_batchUpdateButton.Enable(true);
  m_queryButton.Enable(true);
  m_queryButton.SetText(kStopCaption);
  m_adapterCombo.Enable(false);
  m_browseButton.Enable(true);
  m_deviceList.Enable(true);
  m_deviceList.DeleteAllItems();
  m_updatingIp.clear();
  WriteReportNow();
  m_outcomes.reset();
  ClearDeviceTable(m_devices);
  StartRefreshTimer();
}

void CPendravelBatchDlg::EnterUpdating() {
  m_batchUpdateButton.Enable(false);
  m_queryButton.Enable(false);
  m_adapterCombo.Enable(false);
  m_browseButton.Enable(false);
  m_deviceList.Enable(false);
  // Stop Query may have been clicked just before, while its capture was still
  // ending: the list keeps refreshing until the batch has ended all the same.
  StartRefreshTimer();
}

void CPendravelBatchDlg::LeaveQuerying() {
  m_batchUpdateButton.Enable(false);
  m_queryButton.Enable(true);
  m_queryButton.SetText(kQueryCaption);
  m_adapterCombo.Enable(true);
  m_browseButton.Enable(true);
  m_deviceList.Enable(false);
  StopRefreshTimer();
}

void CPendravelBatchDlg::LeaveUpdating() {
  if (!m_captureActive) {
    // The capture ended during the batch: one last rebuild that keeps the
    // batch's devices but drops the "Updating" marker; then the rows stay as a
    // stopped query leaves them.
    RebuildDeviceList([] { return true; }, {});
    LeaveQuerying();
    return;
  }
  m_batchUpdateButton.Enable(true);
  m_queryButton.Enable(true);
  m_adapterCombo.Enable(false);
  m_browseButton.Enable(true);
  m_deviceList.Enable(true);
  if (m_capture->stopRequested) {
    // Stop Query was clicked before the batch: as after that click, wait for
    // the capture's report with the button disabled and no refresh.
    m_queryButton.Enable(false);
    StopRefreshTimer();
  }
}

void CPendravelBatchDlg::StartRefreshTimer() {
  if (!m_timerRunning) {
    m_host.SetTimer(kRefreshTimerId, kRefreshTimerMs);
    m_timerRunning = true;
  }
}

void CPendravelBatchDlg::StopRefreshTimer() {
  if (m_timerRunning) {
    m_host.KillTimer(kRefreshTimerId);
    m_timerRunning = false;
  }
}

void CPendravelBatchDlg::ShowErrorBox(const char* text) {
  ShowErrorText(text != nullptr ? WidenCounted(std::string_view(text)) : std::u16string());
}

void CPendravelBatchDlg::ShowErrorText(std::u16string_view text) {
  m_host.MessageBox(text, kErrorCaption);
}

}  // namespace quilmarr
