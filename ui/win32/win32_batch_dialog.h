#pragma once
// The main window in plain Win32: the dialog template IDD_MAIN_DIALOG, the
// control adapters, and one dialog procedure that dispatches the window's
// messages (clicks, timer ticks, close requests, worker messages) to the
// controller on the user-interface thread.
#include "ui/win32/windows_api.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "discovery/adapters.h"
#include "discovery/capture_worker.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "ui/controls.h"
#include "ui/pendravel_batch_dlg.h"
#include "ui/win32/dialog_resizer.h"
#include "ui/win32/win32_controls.h"
#include "ui/win32/win32_device_list.h"
#include "ui/win32/win32_handles.h"
#include "ui/win32/win32_message_target.h"
#include "update/settings_file.h"

struct ITaskbarList3;

namespace quilmarr {

// A front end's services, and the capture library's state.
struct Win32DialogServices : FrontEndServices {
  // When the capture library is not installed: the text the dialog shows
  // first, before it behaves as when no adapter can be listed.
  const char* captureLibraryMissing = nullptr;
};

using OpenFileFunction = std::function<std::optional<std::u16string>(HWND owner)>;
using SaveFileFunction =
    std::function<std::optional<std::u16string>(HWND owner, std::u16string_view suggested)>;
using AboutBoxFunction = std::function<void(HWND owner)>;

struct Win32DialogOptions {
  HINSTANCE resources = nullptr;  // holds the templates, icon and strings; null: this program
  OpenFileFunction openFile;      // null: the common open-file dialog
  SaveFileFunction saveFile;      // null: the common save-file dialog
  AboutBoxFunction showAbout;     // run for the system menu's about item
};

// The system menu's about item: a separator, then the item with the command
// IDM_ABOUTBOX; nothing when the text is empty.
void AppendAboutItem(HMENU systemMenu, const std::wstring& text);

class Win32BatchDialog final : private DialogHost {
 public:
  // Constructs the controller; loads the icon.
  explicit Win32BatchDialog(Win32DialogServices services, Win32DialogOptions options = {});
  Win32BatchDialog(const Win32BatchDialog&) = delete;
  Win32BatchDialog& operator=(const Win32BatchDialog&) = delete;
  // Ends the workers while handling their messages, destroys a modeless
  // window, then the controller (which writes [UDP] back).
  ~Win32BatchDialog() override;

  // Runs the dialog modally until the close guard ends it; the window is
  // destroyed when this returns.
  INT_PTR DoModal(HWND owner = nullptr);
  // Creates the dialog modeless and shows it, for a message loop of the
  // caller's own, which must pass every message through IsDialogMessageW
  // first. Null when the window could not be created.
  HWND CreateModeless(HWND owner = nullptr);

  [[nodiscard]] HWND Window() const noexcept { return window_; }
  // True once the close guard has ended the dialog.
  [[nodiscard]] bool Ended() const noexcept { return ended_; }
  [[nodiscard]] CPendravelBatchDlg& Controller() const noexcept { return *controller_; }
  [[nodiscard]] HICON BigIcon() const noexcept { return bigIcon_.Get(); }
  [[nodiscard]] HICON SmallIcon() const noexcept { return smallIcon_.Get(); }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  BOOL OnInitDialog();
  [[nodiscard]] bool IsFocusNotification(int id, int code) const;
  bool OnCommand(int id, int code);
  bool OnNotify(const NMHDR& header);
  void OnWorkerMessage(WPARAM wParam, LPARAM lParam);
  bool OnSysCommand(WPARAM command);
  bool OnContextMenu(HWND clicked, LPARAM screenPoint);
  bool OnPaint();
  void OnSize(WPARAM kind);
  void OnDestroy();
  void AddAboutItem();
  void RequestClose();
  INT_PTR OnQueryEndSession();
  void EndShutdownBlock();
  void OnTaskbarButtonCreated();
  void ShowTaskbarProgress();

  // DialogHost
  void SetWindowTitle(std::u16string_view title) override;
  void SetTimer(unsigned id, unsigned milliseconds) override;
  void KillTimer(unsigned id) override;
  void MessageBox(std::u16string_view text, std::u16string_view caption) override;
  [[nodiscard]] bool AskYesNo(std::u16string_view text, std::u16string_view caption) override;
  void SetProgress(std::size_t done, std::size_t total) override;
  void PostClose() override;
  [[nodiscard]] std::optional<std::u16string> OpenFileDialog() override;
  [[nodiscard]] std::optional<std::u16string> SaveFileDialog(
      std::u16string_view suggestedName) override;
  void EndDialog() override;
  bool PumpMessagesUntil(const std::function<bool()>& done,
                         std::chrono::milliseconds timeout) override;

  Win32DialogOptions options_;
  const char* captureLibraryMissing_;
  HWND window_ = nullptr;
  bool modal_ = false;
  bool initialised_ = false;
  bool closing_ = false;
  bool ended_ = false;
  UniqueIcon bigIcon_;
  UniqueIcon smallIcon_;
  DialogResizer resizer_;
  bool shutdownBlocked_ = false;  // a shutdown block reason exists for the window

  // The taskbar button's progress, made once a batch shows some: COM on this
  // thread (balanced when comStarted_), then the taskbar's list object; both
  // may be missing (older systems, Wine), and the progress is then not shown.
  UINT taskbarButtonCreated_ = 0;
  bool comTried_ = false;
  bool comStarted_ = false;
  ITaskbarList3* taskbar_ = nullptr;
  std::size_t progressDone_ = 0;
  std::size_t progressTotal_ = 0;

  Win32ComboControl adapterCombo_;
  Win32ListControl deviceList_;
  Win32ButtonControl queryButton_;
  Win32ButtonControl batchUpdateButton_;
  Win32ButtonControl browseButton_;
  Win32EditControl fileEdit_;
  Win32MessageTarget target_;
  // Last: destroyed first, while the controls and the target still exist.
  std::unique_ptr<CPendravelBatchDlg> controller_;
};

}  // namespace quilmarr
