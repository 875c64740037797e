#include "ui/win32/win32_batch_dialog.h"

#include <commctrl.h>
#include <objbase.h>
#include <shobjidl.h>
#include <windowsx.h>

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "res/resource.h"
#include "ui/win32/default_button.h"
#include "ui/win32/file_dialogs.h"
#include "ui/win32/win32_text.h"

namespace quilmarr {

namespace {

constexpr DWORD kPumpSliceMs = 5;
// Paint messages handled per slice of the close wait; a window that never
// validates its area cannot hold the wait.
constexpr int kPaintsPerSlice = 32;
// Shown by the system beside the window when a logoff or shutdown waits for it.
constexpr wchar_t kShutdownBlockReason[] =
    L"A firmware update is running; Quilmarr puts the settings back when it ends.";

HINSTANCE ResourceModule(HINSTANCE given) {
  return given != nullptr ? given : GetModuleHandleW(nullptr);
}

UniqueIcon LoadSizedIcon(HINSTANCE module, int widthMetric, int heightMetric) {
  return UniqueIcon(static_cast<HICON>(
      LoadImageW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, GetSystemMetrics(widthMetric),
                 GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR)));
}

std::wstring LoadResourceString(HINSTANCE module, UINT id) {
  const wchar_t* text = nullptr;
  // A buffer size of 0 asks for a read-only pointer into the resource.
  const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text != nullptr ? std::wstring(text, static_cast<std::size_t>(length))
                                       : std::wstring();
}

}  // namespace

void AppendAboutItem(HMENU systemMenu, const std::wstring& text) {
  if (systemMenu == nullptr || text.empty()) return;
  AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, text.c_str());
}

Win32BatchDialog::Win32BatchDialog(Win32DialogServices services, Win32DialogOptions options)
    : options_(std::move(options)), captureLibraryMissing_(services.captureLibraryMissing) {
  options_.resources = ResourceModule(options_.resources);
  bigIcon_ = LoadSizedIcon(options_.resources, SM_CXICON, SM_CYICON);
  smallIcon_ = LoadSizedIcon(options_.resources, SM_CXSMICON, SM_CYSMICON);
  taskbarButtonCreated_ = RegisterWindowMessageW(L"TaskbarButtonCreated");
  DialogHost& host = *this;
  controller_ = std::make_unique<CPendravelBatchDlg>(
      DialogControls{adapterCombo_, deviceList_, queryButton_, batchUpdateButton_, browseButton_,
                     fileEdit_, host},
      WithWindow(target_, std::move(services)));
}

Win32BatchDialog::~Win32BatchDialog() {
  if (window_ != nullptr) {
    // The capture worker may be blocked in a send to this thread: the
    // controller ends the workers while handling their messages.
    controller_->OnDestroy();
    const HWND window = window_;
    DestroyWindow(window);
  }
  controller_.reset();
  if (taskbar_ != nullptr) taskbar_->Release();
  if (comStarted_) CoUninitialize();
}

INT_PTR Win32BatchDialog::DoModal(HWND owner) {
  modal_ = true;
  return DialogBoxParamW(options_.resources, MAKEINTRESOURCEW(IDD_MAIN_DIALOG), owner, &DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

HWND Win32BatchDialog::CreateModeless(HWND owner) {
  modal_ = false;
  const HWND window = CreateDialogParamW(options_.resources, MAKEINTRESOURCEW(IDD_MAIN_DIALOG),
                                         owner, &DialogProc, reinterpret_cast<LPARAM>(this));
  if (window != nullptr) ShowWindow(window, SW_SHOW);
  return window;
}

INT_PTR CALLBACK Win32BatchDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  auto* self = reinterpret_cast<Win32BatchDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Win32BatchDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->window_ = window;
  }
  return self != nullptr ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR Win32BatchDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // No exception may cross the system's frames: a handler's failure becomes
  // the error box, as every operation's failures do.
  try {
    return Dispatch(message, wParam, lParam);
  } catch (const std::exception& error) {
    controller_->ShowErrorBox(error.what());
  } catch (...) {
    controller_->ShowErrorBox(nullptr);
  }
  return TRUE;
}

INT_PTR Win32BatchDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsWorkerMessage(message)) {
    OnWorkerMessage(wParam, lParam);
    SetWindowLongPtrW(window_, DWLP_MSGRESULT, 0);
    return TRUE;
  }
  if (message == taskbarButtonCreated_ && message != 0) {
    OnTaskbarButtonCreated();
    return TRUE;
  }
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog();
    case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER: controller_->OnTimer(static_cast<unsigned>(wParam)); return TRUE;
    case WM_SYSCOMMAND: return OnSysCommand(wParam);
    case WM_CONTEXTMENU: return OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
    case WM_PAINT: return OnPaint();
    case WM_QUERYDRAGICON: return reinterpret_cast<INT_PTR>(bigIcon_.Get());
    case WM_SIZE: OnSize(wParam); return TRUE;
    case WM_GETMINMAXINFO:
      resizer_.LimitTracking(*reinterpret_cast<MINMAXINFO*>(lParam));
      return TRUE;
    case WM_CLOSE: RequestClose(); return TRUE;
    case WM_QUERYENDSESSION: return OnQueryEndSession();
    case WM_ENDSESSION:
      // The session ends for sure: the report and [UDP] now, the process may
      // be ended as soon as this returns.
      if (wParam != FALSE) controller_->OnEndSession();
      SetWindowLongPtrW(window_, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_DESTROY: OnDestroy(); return TRUE;
    default: return FALSE;
  }
}

BOOL Win32BatchDialog::OnInitDialog() {
  adapterCombo_.Bind(GetDlgItem(window_, IDC_COMBO_ADAPTER));
  deviceList_.Bind(GetDlgItem(window_, IDC_LIST_DEVICES));
  queryButton_.Bind(GetDlgItem(window_, IDC_BUTTON_QUERY));
  batchUpdateButton_.Bind(GetDlgItem(window_, IDC_BUTTON_BATCH_UPDATE));
  browseButton_.Bind(GetDlgItem(window_, IDC_BUTTON_BROWSE));
  fileEdit_.Bind(GetDlgItem(window_, IDC_EDIT_FILE));
  target_.Bind(window_);

  // The dialog's default id stays "Batch Update" while the default look moves
  // with the focus.
  // An elevated window would not receive the taskbar's message otherwise.
  ChangeWindowMessageFilterEx(window_, taskbarButtonCreated_, MSGFLT_ALLOW, nullptr);
  SendMessageW(window_, DM_SETDEFID, IDC_BUTTON_BATCH_UPDATE, 0);
  NotifyButtonFocus(window_);
  AddAboutItem();
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
  WidenClippedLabels(window_);
  resizer_.Capture(window_, deviceList_.Handle());

  if (captureLibraryMissing_ != nullptr) controller_->ShowErrorBox(captureLibraryMissing_);
  controller_->OnInitDialog();
  initialised_ = true;
  // The system gives the focus to the first enabled tab stop.
  return TRUE;
}

void Win32BatchDialog::AddAboutItem() {
  AppendAboutItem(GetSystemMenu(window_, FALSE),
                  LoadResourceString(options_.resources, IDS_ABOUTBOX));
}

bool Win32BatchDialog::IsFocusNotification(int id, int code) const {
  switch (id) {
    case IDC_COMBO_ADAPTER: return code == CBN_SETFOCUS;
    case IDC_EDIT_FILE: return code == EN_SETFOCUS;
    default: return code == BN_SETFOCUS && IsPushButton(GetDlgItem(window_, id));
  }
}

bool Win32BatchDialog::OnCommand(int id, int code) {
  if (IsFocusNotification(id, code)) {
    if (initialised_) MoveDefaultButton(window_, GetFocus());
    return true;
  }
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_BUTTON_QUERY: controller_->OnQueryClicked(); return true;
    case IDC_BUTTON_BROWSE: controller_->OnBrowseClicked(); return true;
    case IDC_BUTTON_BATCH_UPDATE: controller_->OnBatchUpdateClicked(); return true;
    case IDM_EXPORT_LIST:
    case IDM_OPEN_ROSTER:
    case IDM_CLOSE_ROSTER:
    case IDM_EXPORT_AUDIT: return controller_->OnListMenuCommand(static_cast<unsigned>(id));
    // Esc, and Enter with no default button: the same guard as the close box.
    case IDCANCEL:
    case IDOK: RequestClose(); return true;
    default: return false;
  }
}

bool Win32BatchDialog::OnNotify(const NMHDR& header) {
  switch (header.code) {
    case NM_SETFOCUS:
      if (initialised_) MoveDefaultButton(window_, GetFocus());
      return false;
    default: return false;
  }
}

void Win32BatchDialog::OnWorkerMessage(WPARAM wParam, LPARAM lParam) {
  const ReceivedMessage received = ReceiveWorkerMessage(wParam, lParam);
  if (received.message != nullptr) {
    controller_->OnMessage(*received.message);
  }
}

bool Win32BatchDialog::OnSysCommand(WPARAM command) {
  if (!CPendravelBatchDlg::IsAboutCommand(static_cast<unsigned>(command))) {
    return false;  // the system's own commands
  }
  if (options_.showAbout) options_.showAbout(window_);
  return true;
}

bool Win32BatchDialog::OnContextMenu(HWND clicked, LPARAM screenPoint) {
  const HWND list = GetDlgItem(window_, IDC_LIST_DEVICES);
  if (clicked != list) return false;
  POINT at{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
  if (screenPoint == -1) {  // from the keyboard: at the list's corner
    RECT bounds{};
    GetWindowRect(list, &bounds);
    at = {bounds.left, bounds.top};
  }
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return true;
  for (const ListMenuItem& item : controller_->ListMenu()) {
    AppendMenuW(menu, static_cast<UINT>(MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED)),
                item.command, ToWide(item.text).c_str());
  }
  // The choice arrives as WM_COMMAND with the item's IDM_ id.
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
  DestroyMenu(menu);
  return true;
}

bool Win32BatchDialog::OnPaint() {
  if (!IsIconic(window_)) return false;
  // Minimised: the icon, centred over an icon-erased background.
  const PaintContext paint(window_);
  SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.Dc()), 0);
  const int iconWidth = GetSystemMetrics(SM_CXICON);
  const int iconHeight = GetSystemMetrics(SM_CYICON);
  RECT client{};
  GetClientRect(window_, &client);
  const int x = (client.right - client.left - iconWidth + 1) / 2;
  const int y = (client.bottom - client.top - iconHeight + 1) / 2;
  DrawIcon(paint.Dc(), x, y, bigIcon_.Get());
  return true;
}

void Win32BatchDialog::OnSize(WPARAM kind) {
  if (!initialised_ || kind == SIZE_MINIMIZED) return;
  resizer_.Apply();
  deviceList_.RefitLastColumn();
}

void Win32BatchDialog::OnDestroy() {
  EndShutdownBlock();
  DiscardQueuedWorkerMessages(window_);
  target_.Bind(nullptr);
  initialised_ = false;
  window_ = nullptr;
}

void Win32BatchDialog::RequestClose() {
  // The guard may handle worker messages while the capture ends; a second
  // close request meanwhile must not start a second guard.
  if (closing_ || ended_) return;
  closing_ = true;
  const bool accepted = controller_->OnClose();
  closing_ = false;
  if (accepted && !ended_) EndDialog();
}

INT_PTR Win32BatchDialog::OnQueryEndSession() {
  // A dialog answers through DWLP_MSGRESULT. While a batch runs, a device may
  // be mid-flash and [UDP] still holds its address: the logoff waits, with
  // the reason the system shows for it.
  const bool allow = controller_->OnQueryEndSession();
  if (!allow && !shutdownBlocked_) {
    shutdownBlocked_ = ShutdownBlockReasonCreate(window_, kShutdownBlockReason) != FALSE;
  }
  SetWindowLongPtrW(window_, DWLP_MSGRESULT, allow ? TRUE : FALSE);
  return TRUE;
}

void Win32BatchDialog::EndShutdownBlock() {
  if (shutdownBlocked_ && window_ != nullptr) ShutdownBlockReasonDestroy(window_);
  shutdownBlocked_ = false;
}

void Win32BatchDialog::OnTaskbarButtonCreated() {
  // Sent again when Explorer restarts: the old object speaks to a button
  // that has gone.
  if (taskbar_ != nullptr) taskbar_->Release();
  taskbar_ = nullptr;
  if (progressTotal_ > 0) ShowTaskbarProgress();
}

void Win32BatchDialog::ShowTaskbarProgress() {
  if (taskbar_ == nullptr) {
    if (progressTotal_ == 0 || window_ == nullptr) return;  // nothing shown, nothing to remove
    if (!comTried_) {
      comTried_ = true;
      comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    void* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                &list))) {
      return;
    }
    taskbar_ = static_cast<ITaskbarList3*>(list);
    if (FAILED(taskbar_->HrInit())) {
      taskbar_->Release();
      taskbar_ = nullptr;
      return;
    }
  }
  // Failures are ignored: the title shows the same progress.
  if (progressTotal_ == 0) {
    taskbar_->SetProgressState(window_, TBPF_NOPROGRESS);
    return;
  }
  taskbar_->SetProgressState(window_, TBPF_NORMAL);
  taskbar_->SetProgressValue(window_, progressDone_, progressTotal_);
}

void Win32BatchDialog::SetProgress(std::size_t done, std::size_t total) {
  progressDone_ = done;
  progressTotal_ = total;
  // The controller reports the batch's end as no progress: a logoff may go on.
  if (total == 0) EndShutdownBlock();
  ShowTaskbarProgress();
}

void Win32BatchDialog::SetWindowTitle(std::u16string_view title) {
  SetWindowTextU16(window_, title);
}

void Win32BatchDialog::SetTimer(unsigned id, unsigned milliseconds) {
  ::SetTimer(window_, id, milliseconds, nullptr);
}

void Win32BatchDialog::KillTimer(unsigned id) { ::KillTimer(window_, id); }

void Win32BatchDialog::MessageBox(std::u16string_view text, std::u16string_view caption) {
  MessageBoxW(window_, ToWide(text).c_str(), ToWide(caption).c_str(), MB_OK);
}

bool Win32BatchDialog::AskYesNo(std::u16string_view text, std::u16string_view caption) {
  return MessageBoxW(window_, ToWide(text).c_str(), ToWide(caption).c_str(),
                     MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION) == IDYES;
}

void Win32BatchDialog::PostClose() { PostMessageW(window_, WM_CLOSE, 0, 0); }

std::optional<std::u16string> Win32BatchDialog::OpenFileDialog() {
  return options_.openFile ? options_.openFile(window_) : ShowOpenFileDialog(window_);
}

std::optional<std::u16string> Win32BatchDialog::SaveFileDialog(std::u16string_view suggestedName) {
  return options_.saveFile ? options_.saveFile(window_, suggestedName)
                           : ShowSaveCsvDialog(window_, suggestedName);
}

void Win32BatchDialog::EndDialog() {
  ended_ = true;
  if (window_ == nullptr) return;
  if (modal_) {
    ::EndDialog(window_, IDCANCEL);
  } else {
    ShowWindow(window_, SW_HIDE);
  }
}

bool Win32BatchDialog::PumpMessagesUntil(const std::function<bool()>& done,
                                         std::chrono::milliseconds timeout) {
  // Only what the workers need and painting: messages other threads send
  // (handled inside every PeekMessageW), this window's worker messages and
  // WM_PAINT. User input stays queued, so a click meanwhile cannot start
  // anything.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return done();
    MsgWaitForMultipleObjectsEx(0, nullptr,
                                std::min<DWORD>(kPumpSliceMs, static_cast<DWORD>(left.count())),
                                QS_SENDMESSAGE | QS_POSTMESSAGE | QS_PAINT, 0);
    MSG message;
    while (window_ != nullptr &&
           PeekMessageW(&message, window_, kFirstWorkerMessage, kLastWorkerMessage, PM_REMOVE)) {
      DispatchMessageW(&message);
    }
    for (int i = 0;
         i < kPaintsPerSlice && PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE);
         ++i) {
      DispatchMessageW(&message);
    }
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  return true;
}

}  // namespace quilmarr
