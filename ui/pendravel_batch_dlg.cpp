#include "ui/pendravel_batch_dlg.h"

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
constexpr std::u16string_view kConfirmCaption = u"Batch Update";

constexpr char kSelectAdapter[] = "Please select a network adapter";
constexpr char kSelectFile[] = "Please select the file to be updated";
constexpr char kSelectDevice[] = "Please select the device to be updated";

}  // namespace

CPendravelBatchDlg::CPendravelBatchDlg(DialogControls controls, DialogServices services)
    : m_adapterCombo(controls.adapterCombo),
      m_deviceList(controls.deviceList),
      m_queryButton(controls.queryButton),
      m_batchUpdateButton(controls.batchUpdateButton),
      m_browseButton(controls.browseButton),
      m_fileEdit(controls.fileEdit),
      m_host(controls.host),
      m_settings(services.settings),
      m_session(std::move(services), *this) {
  m_settings.ResolveFolder();
}

bool CPendravelBatchDlg::OnInitDialog() {
  m_host.SetWindowTitle(kWindowTitle);
  m_session.Start();
  m_session.ReopenRoster();
  FillAdapterCombo();
  SetUpDeviceList();
  m_fileEdit.SetText(
      m_settings.ReadString(settings::kSectionQuilmarr, settings::kKeyPckFile, kPathValueCapacity));
  return true;
}

void CPendravelBatchDlg::FillAdapterCombo() {
  const AdapterList* adapters = m_session.Adapters();
  if (adapters == nullptr) return;
  for (const auto& adapter : *adapters) {
    m_adapterCombo.AddString(adapter->ipAddress + std::u16string(kAdapterLabelGap) +
                             adapter->description);
  }
  if (const int saved = m_session.SavedAdapterIndex(); saved >= 0) {
    m_adapterCombo.SetCurSel(saved);
  }
  if (m_adapterCombo.GetCount() > 0) {
    m_queryButton.Enable(true);
  }
}

void CPendravelBatchDlg::OnQueryClicked() {
  m_queryButton.Enable(false);

  if (m_session.CaptureActive()) {
    // Stop Query: the button stays disabled until the worker reports its end.
    m_session.RequestCaptureStop();
    StopRefreshTimer();
    return;
  }

  const AdapterInfo* adapter = m_session.AdapterAt(m_adapterCombo.GetCurSel());
  if (adapter == nullptr) {
    ShowErrorBox(kSelectAdapter);
    m_queryButton.Enable(true);
    return;
  }
  if (!m_session.StartCapture(*adapter)) {
    m_queryButton.Enable(true);
    return;
  }
  EnterQuerying();
}

void CPendravelBatchDlg::OnBrowseClicked() {
  if (std::optional<std::u16string> path = m_host.OpenFileDialog()) {
    m_fileEdit.SetText(*path);
  }
}

void CPendravelBatchDlg::OnBatchUpdateClicked() {
  if (m_session.BatchAlive()) return;

  BatchRequest request;
  request.packagePath = m_fileEdit.Text();
  if (request.packagePath.empty()) {
    ShowErrorBox(kSelectFile);
    return;
  }
  const AdapterInfo* adapter = m_session.AdapterAt(m_adapterCombo.GetCurSel());
  if (adapter == nullptr) {
    ShowErrorBox(kSelectAdapter);
    return;
  }
  request.adapterIp = adapter->ipAddress;
  request.targets = CollectTickedIps();
  if (request.targets.empty()) {
    ShowErrorBox(kSelectDevice);
    return;
  }
  const std::optional<BatchPlan> plan = m_session.PlanBatch(request);
  // Enter presses Batch Update, and the focus often rests in the file field
  // after a batch: nothing is flashed without an explicit Yes.
  if (!plan || !m_host.AskYesNo(ConfirmationText(*plan), kConfirmCaption)) return;
  // A batch whose devices all run their target already starts no worker.
  if (m_session.StartBatch(*plan) && m_session.BatchActive()) {
    EnterUpdating();
    ShowProgress();
  }
}

bool CPendravelBatchDlg::OnClose() {
  if (!m_session.BatchAlive()) StopRefreshTimer();
  if (!m_session.Close()) return false;
  m_host.EndDialog();
  return true;
}

void CPendravelBatchDlg::OnDestroy() {
  StopRefreshTimer();
  m_session.Shutdown();
}

void CPendravelBatchDlg::OnEndRequested() {
  m_endRequested = true;
  if (m_session.BatchAlive()) {
    m_session.Interrupt();
  } else {
    static_cast<void>(OnClose());
  }
}

void CPendravelBatchDlg::OnEndSession() {
  StopRefreshTimer();
  m_session.EndNow();
}

std::intptr_t CPendravelBatchDlg::OnMessage(const Message& message) {
  m_session.HandleMessage(message);
  if (message.id == WM_UPDATE_DEVICE_STARTED || message.id == WM_UPDATE_DEVICE_ENDED) {
    ShowProgress();
  }
  return 0;
}

void CPendravelBatchDlg::ShowProgress() {
  const std::optional<BatchProgress> progress = m_session.Progress();
  // From the batch's start to its end, between two devices too: a logoff is
  // held off (Windows) for as long as the title says a batch runs.
  if (m_session.BatchActive() && progress && progress->place > 0) {
    m_host.SetWindowTitle(std::u16string(kWindowTitle) + u" - updating " +
                          WidenCounted(std::to_string(progress->place)) + u" of " +
                          WidenCounted(std::to_string(progress->total)));
    m_host.SetProgress(progress->place - 1, progress->total);
  } else {
    m_host.SetWindowTitle(kWindowTitle);
    m_host.SetProgress(0, 0);
  }
}

std::intptr_t CPendravelBatchDlg::OnCapturePacket(std::span<const std::uint8_t> frame) {
  Message message;
  message.id = WM_CAPTURE_PACKET;
  message.frame = frame;
  return OnMessage(message);
}

void CPendravelBatchDlg::CaptureEnded() {
  // A batch keeps the mode at Updating, and the list refreshing, until it ends.
  if (!m_session.BatchActive()) LeaveQuerying();
}

void CPendravelBatchDlg::BatchEnded() {
  ShowProgress();
  if (m_endRequested) m_host.PostClose();
  if (!m_session.CaptureActive()) {
    // The capture ended during the batch: one last rebuild that keeps the
    // batch's devices but drops the "Updating" marker; then the rows stay as a
    // stopped query leaves them.
    RebuildDeviceList(true);
    LeaveQuerying();
    return;
  }
  EnableFor(UiMode::Querying);
  if (m_session.CaptureStopping()) {
    // Stop Query was clicked before the batch: as after that click, wait for
    // the capture's report with the button disabled and no refresh.
    m_queryButton.Enable(false);
    StopRefreshTimer();
  }
}

void CPendravelBatchDlg::EnableFor(UiMode mode) {
  const ControlsAllowed allowed = ControlsFor(mode);
  m_batchUpdateButton.Enable(allowed.batchUpdate);
  m_queryButton.Enable(allowed.query);
  m_adapterCombo.Enable(allowed.adapter);
  m_browseButton.Enable(allowed.browse);
  m_deviceList.Enable(allowed.list);
}

void CPendravelBatchDlg::EnterQuerying() {
  EnableFor(UiMode::Querying);
  m_queryButton.SetText(kStopCaption);
  m_deviceList.DeleteAllItems();
  StartRefreshTimer();
}

void CPendravelBatchDlg::EnterUpdating() {
  EnableFor(UiMode::Updating);
  // Stop Query may have been clicked just before, while its capture was still
  // ending: the list keeps refreshing until the batch has ended all the same.
  StartRefreshTimer();
}

void CPendravelBatchDlg::LeaveQuerying() {
  EnableFor(UiMode::Idle);
  m_queryButton.SetText(kQueryCaption);
  StopRefreshTimer();
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
  ShowError(text != nullptr ? WidenCounted(std::string_view(text)) : std::u16string());
}

void CPendravelBatchDlg::ShowError(std::u16string_view text) {
  m_host.MessageBox(text, kErrorCaption);
}

bool CPendravelBatchDlg::PumpUntil(const std::function<bool()>& done,
                                   std::chrono::milliseconds timeout) {
  return m_host.PumpMessagesUntil(done, timeout);
}

}  // namespace quilmarr
