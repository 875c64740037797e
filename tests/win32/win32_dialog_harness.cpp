#include "win32_dialog_harness.h"

#include <commctrl.h>

#include <array>
#include <vector>

#include "app/win32/about_box.h"
#include "ui/win32/win32_text.h"

namespace quilmarr::test {

Win32DialogTest::Win32DialogTest() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  lister_.entries = TwoAdapters();
}

Win32DialogTest::~Win32DialogTest() {
  launcher_.ReleaseAll();
  dialog_.reset();
}

Win32BatchDialog& Win32DialogTest::Open() {
  Win32DialogServices services{lister_, ScriptedSources(capture_), clock_, settings_, launcher_};
  services.captureLibraryMissing = captureLibraryMissing_;
  Win32DialogOptions options;
  options.openFile = [this](HWND owner) {
    ++openFileCalls_;
    openFileOwner_ = owner;
    return openFileAnswer_;
  };
  options.saveFile = [this](HWND, std::u16string_view suggested) {
    saveFileSuggestions_.emplace_back(suggested);
    return saveFileAnswer_;
  };
  options.showAbout = [this](HWND owner) {
    ++aboutBoxes_;
    CAboutDlg().DoModal(owner);
  };
  dialog_ = std::make_unique<Win32BatchDialog>(std::move(services), std::move(options));
  EXPECT_NE(dialog_->CreateModeless(), nullptr) << "no window: is Wine's graphics driver set?";
  PumpPending();
  return *dialog_;
}

bool Win32DialogTest::Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    PumpPending();
  }
  return true;
}

void Win32DialogTest::PumpPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    const HWND window = dialog_ ? dialog_->Window() : nullptr;
    if (window == nullptr || !IsDialogMessageW(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

void Win32DialogTest::SelectAdapter(int index) const {
  const HWND combo = Item(IDC_COMBO_ADAPTER);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_COMBO_ADAPTER, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

void Win32DialogTest::PressKey(WPARAM key) {
  for (const UINT type : {UINT{WM_KEYDOWN}, UINT{WM_KEYUP}}) {
    MSG message{};
    message.hwnd = GetFocus();
    message.message = type;
    message.wParam = key;
    message.lParam = type == WM_KEYDOWN ? 1 : static_cast<LPARAM>(0xC0000001u);
    message.time = GetTickCount();
    if (!IsDialogMessageW(Dialog(), &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    PumpPending();
  }
}

void Win32DialogTest::TabTo(int id) const {
  SendMessageW(Dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
}

void Win32DialogTest::StartQuery() {
  const std::size_t opened = capture_->Opened().size();
  SelectAdapter(0);
  Click(IDC_BUTTON_QUERY);
  ASSERT_TRUE(Pump([&] { return capture_->Opened().size() > opened; }));
}

void Win32DialogTest::Announce(const std::vector<test::DeviceAnnouncement>& devices) {
  for (const test::DeviceAnnouncement& device : devices) capture_->Push(test::LldpFrame(device));
  ASSERT_TRUE(Pump([&] { return capture_->Idle(); }));
}

std::u16string Win32DialogTest::Cell(int row, int column) const {
  std::array<wchar_t, 256> text{};
  ListView_GetItemText(Item(IDC_LIST_DEVICES), row, column, text.data(),
                       static_cast<int>(text.size()));
  return FromWide(text.data());
}

bool Win32DialogTest::Ticked(int row) const {
  return ListView_GetCheckState(Item(IDC_LIST_DEVICES), row) != FALSE;
}

void Win32DialogTest::SetTicked(int row, bool ticked) const {
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
  SendMessageW(Item(IDC_LIST_DEVICES), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(&item));
}

int Win32DialogTest::RowCount() const { return ListView_GetItemCount(Item(IDC_LIST_DEVICES)); }

}  // namespace quilmarr::test
