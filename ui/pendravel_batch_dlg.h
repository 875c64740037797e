#pragma once
// The main dialog controller: the batch session's state mapped to the
// dialog's controls, and the user's clicks mapped to session calls. Runs on
// the user-interface thread only.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "res/resource.h"
#include "session/batch_session.h"
#include "ui/controls.h"

namespace quilmarr {

// The device list's context-menu items.
inline constexpr char16_t kExportListItem[] = u"Export list...";
inline constexpr char16_t kOpenRosterItem[] = u"Open roster...";
inline constexpr char16_t kCloseRosterItem[] = u"Close roster";
inline constexpr char16_t kExportAuditItem[] = u"Export audit...";

struct ListMenuItem {
  std::u16string_view text;
  unsigned command = 0;  // the IDM_ id handed to OnListMenuCommand
  bool enabled = true;
};

inline constexpr unsigned kRefreshTimerId = 1;
inline constexpr unsigned kRefreshTimerMs = 1000;

using DialogServices = SessionServices;

class CPendravelBatchDlg final : private SessionHost {
 public:
  CPendravelBatchDlg(DialogControls controls, DialogServices services);
  CPendravelBatchDlg(const CPendravelBatchDlg&) = delete;
  CPendravelBatchDlg& operator=(const CPendravelBatchDlg&) = delete;
  ~CPendravelBatchDlg() override = default;

  bool OnInitDialog();

  // Clicks.
  void OnQueryClicked();
  void OnBrowseClicked();
  void OnBatchUpdateClicked();
  // "Export list..." of the device list's context menu: the rows shown, as CSV.
  void OnExportListClicked();
  // The device list's context menu in its order; the roster's own items are
  // enabled only while a roster is open.
  [[nodiscard]] std::vector<ListMenuItem> ListMenu() const;
  // A chosen item of ListMenu(); false for another command.
  bool OnListMenuCommand(unsigned command);
  // Close request (window close, Esc, any other way of ending): true when the
  // dialog was ended, false when it was refused.
  bool OnClose();
  // The window is going away without a close: stops the capture and keeps
  // handling the workers' messages until both workers have ended.
  void OnDestroy();
  // Asked to end from outside (a termination signal): as a close, but during
  // a batch the running updater finishes, the rest are skipped, and the
  // window then closes by itself.
  void OnEndRequested();
  // The operating system's session ends: false while a batch runs (the
  // logoff or shutdown should wait); when it ends all the same, the report
  // is written and [UDP] put back at once.
  [[nodiscard]] bool OnQueryEndSession() const noexcept { return !m_session.BatchAlive(); }
  void OnEndSession();
  // True when a system command opens the about box (low four bits ignored).
  [[nodiscard]] static bool IsAboutCommand(unsigned commandId) noexcept {
    return (commandId & 0xFFF0u) == IDM_ABOUTBOX;
  }

  // The message table: hands a worker message to the session; returns 0.
  std::intptr_t OnMessage(const Message& message);
  std::intptr_t OnCapturePacket(std::span<const std::uint8_t> frame);
  void OnTimer(unsigned timerId);

  // What the user can do now; the front ends' drivers wait on it.
  [[nodiscard]] UiMode Mode() const noexcept { return m_session.Mode(); }

  // The error box: "Error" and the narrow text. Public for the Win32 front
  // end, which shows its handlers' failures and a missing capture library by it.
  void ShowErrorBox(const char* text);

 private:
  // SessionHost
  void ShowError(std::u16string_view text) override;
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override;
  void CaptureEnded() override;
  void BatchEnded() override;

  [[nodiscard]] std::vector<std::u16string> CollectTickedIps() const;
  void FillAdapterCombo();
  void SetUpDeviceList();
  void RebuildDeviceList(bool batchJustEnded = false);
  void OnOpenRosterClicked();
  void OnCloseRosterClicked();
  void OnExportAuditClicked();

  // The mode's transitions, each with the control states of its new mode.
  void EnableFor(UiMode mode);  // the controls ControlsFor(mode) allows
  void EnterQuerying();         // a capture started from Idle
  void EnterUpdating();         // a batch started while querying
  void LeaveQuerying();         // the capture ended with no batch running
  void StartRefreshTimer();
  void StopRefreshTimer();
  // "Quilmarr 1.0.1.0 - updating 3 of 12" during a batch, and the taskbar's progress.
  void ShowProgress();

  ComboControl& m_adapterCombo;
  ListControl& m_deviceList;
  ButtonControl& m_queryButton;
  ButtonControl& m_batchUpdateButton;
  ButtonControl& m_browseButton;
  EditControl& m_fileEdit;
  DialogHost& m_host;
  SettingsFile& m_settings;
  bool m_timerRunning = false;
  bool m_endRequested = false;
  BatchSession m_session;
};

}  // namespace quilmarr
