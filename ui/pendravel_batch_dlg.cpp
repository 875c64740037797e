#include "ui/pendravel_batch_dlg.h"

#include <chrono>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "quilmarr_version.h"

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
constexpr char kOpenAdapterFailed[] = "Open adapter failed";
constexpr char kCaptureReadFailed[] = "Capture stopped: the network adapter could not be read";
constexpr char kWaitUpdateInterrupt[] = "Please wait update interrupt";

// A capture worker that was asked to stop ends within one read time-out plus
// one frame; this leaves room for a slow frame handler.
constexpr std::chrono::milliseconds kCaptureEndWait{3000};

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

  if (m_capture->running) {
    m_captureThread.RequestStop();
    m_host.KillTimer(kRefreshTimerId);
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
      !m_host.PumpMessagesUntil([this] { return !m_captureThread.IsAlive(); }, kCaptureEndWait)) {
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

  ChangeUiMode(UiStep::Forward);
}

void CPendravelBatchDlg::OnBrowseClicked() {
  if (std::optional<std::u16string> path = m_host.OpenFileDialog()) {
    m_fileEdit.SetText(*path);
  }
}

void CPendravelBatchDlg::OnBatchUpdateClicked() {
  // The job must not be refilled while a worker still reads it.
  if (m_updateThread.IsAlive()) {
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

  ChangeUiMode(UiStep::Forward);

  SettingsFile& settingsFile = m_services.settings;
  settingsFile.WriteString(settings::kSectionQuilmarr, settings::kKeyPckFile, packagePath);
  settingsFile.WriteString(settings::kSectionQuilmarr, settings::kKeyAdapterIp, adapterIp);

  m_updateJob->ReplaceTargets(ticked);
  m_updateJob->packagePath = packagePath;
  m_updateJob->adapterIp = adapterIp;
  m_updateJob->interruptRequested = false;
  try {
    m_updateThread.Start(*m_updateJob, m_services.settings, m_services.launcher);
  } catch (const std::exception& error) {
    ShowErrorBox(ExceptionText(error));
    OnWorkerEnded();
  }
}

bool CPendravelBatchDlg::OnClose() {
  if ((m_updateJob && m_updateJob->running) || m_updateThread.IsAlive()) {
    if (m_updateJob) {
      m_updateJob->interruptRequested = true;
    }
    ShowErrorBox(kWaitUpdateInterrupt);
    return false;
  }

  if ((m_capture && m_capture->running) || m_captureThread.IsAlive()) {
    m_captureThread.RequestStop();
    m_host.KillTimer(kRefreshTimerId);
    // The worker may be blocked in a send to this thread: keep handling
    // messages instead of sleeping.
    static_cast<void>(
        m_host.PumpMessagesUntil([this] { return !m_captureThread.IsAlive(); }, kCaptureEndWait));
  }

  m_host.EndDialog();
  return true;
}

bool CPendravelBatchDlg::WorkersAlive() const noexcept {
  return m_captureThread.IsAlive() || m_updateThread.IsAlive();
}

std::intptr_t CPendravelBatchDlg::OnMessage(const Message& message) {
  switch (message.id) {
    case WM_CAPTURE_PACKET: return OnCapturePacket(message.frame);
    case WM_CAPTURE_STOPPED:
    case WM_UPDATE_FINISHED: return OnWorkerEnded();
    case WM_CAPTURE_OPEN_FAILED: return OnCaptureOpenFailed();
    case WM_CAPTURE_READ_FAILED: return OnCaptureReadFailed();
    case WM_UPDATE_ERROR: return OnUpdateError(message.narrowText);
    case WM_UPDATE_DEVICE_STARTED: return OnUpdateDeviceStarted(message.wideText);
    default: return 0;
  }
}

std::intptr_t CPendravelBatchDlg::OnCapturePacket(std::span<const std::uint8_t> frame) {
  try {
    ProcessCapturedFrame(frame, m_devices, m_services.clock);
  } catch (const std::exception& error) {
    ShowErrorBox(ExceptionText(error));
  }
  return 0;
}

std::intptr_t CPendravelBatchDlg::OnWorkerEnded() {
  ChangeUiMode(UiStep::Back);
  return 0;
}

std::intptr_t CPendravelBatchDlg::OnCaptureOpenFailed() {
  ShowErrorBox(kOpenAdapterFailed);
  return OnWorkerEnded();
}

std::intptr_t CPendravelBatchDlg::OnCaptureReadFailed() {
  ShowErrorBox(kCaptureReadFailed);
  return OnWorkerEnded();
}

std::intptr_t CPendravelBatchDlg::OnUpdateError(const std::string& text) {
  ShowErrorBox(text.c_str());
  return 0;
}

void CPendravelBatchDlg::ChangeUiMode(UiStep step) {
  const bool forward = step == UiStep::Forward;
  switch (m_uiMode) {
    case UiMode::Idle:
      if (!forward) {
        return;
      }
      m_uiMode = UiMode::Querying;
      m_batchUpdateButton.Enable(true);
      m_queryButton.Enable(true);
      m_queryButton.SetText(kStopCaption);
      m_adapterCombo.Enable(false);
      m_browseButton.Enable(true);
      m_deviceList.Enable(true);
      m_deviceList.DeleteAllItems();
      m_updatingIp.clear();
      ClearDeviceTable(m_devices);
      m_host.SetTimer(kRefreshTimerId, kRefreshTimerMs);
      return;
    case UiMode::Querying:
      if (forward) {
        m_uiMode = UiMode::Updating;
        m_batchUpdateButton.Enable(false);
        m_queryButton.Enable(false);
        m_adapterCombo.Enable(false);
        m_browseButton.Enable(false);
        m_deviceList.Enable(false);
      } else {
        m_uiMode = UiMode::Idle;
        m_batchUpdateButton.Enable(false);
        m_queryButton.Enable(true);
        m_queryButton.SetText(kQueryCaption);
        m_adapterCombo.Enable(true);
        m_browseButton.Enable(true);
        m_deviceList.Enable(false);
      }
      return;
    case UiMode::Updating:
      if (forward) {
        return;
      }
      m_uiMode = UiMode::Querying;
      m_batchUpdateButton.Enable(true);
      m_queryButton.Enable(true);
      m_adapterCombo.Enable(false);
      m_browseButton.Enable(true);
      m_deviceList.Enable(true);
      return;
  }
}

void CPendravelBatchDlg::ShowErrorBox(const char* text) {
  const std::u16string wide =
      text != nullptr ? WidenCounted(std::string_view(text)) : std::u16string();
  m_host.MessageBox(wide, kErrorCaption);
}

}  // namespace quilmarr
