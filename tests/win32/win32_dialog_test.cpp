// The Windows main window: the real dialog from its template, modeless,
// driven in-process with window messages and a PeekMessage pump that passes
// each message through the dialog manager first, as the program's loop does:
// the window contract shared with the Qt window, then what only the Windows
// window does.
#include "ui/win32/windows_api.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/about_box.h"
#include "modal_watcher.h"
#include "res/dialog_layout.h"
#include "tests/support/window_contract.h"
#include "ui/win32/dialog_resizer.h"
#include "ui/win32/file_dialogs.h"
#include "ui/win32/win32_batch_dialog.h"
#include "ui/win32/win32_message_target.h"
#include "ui/win32/win32_text.h"
#include "tests/support/temp_folder.h"

namespace quilmarr::test {

void PrintTo(const ContractCase& contractCase, std::ostream* out) { *out << contractCase.name; }

namespace {

constexpr int kIds[] = {IDC_BUTTON_QUERY,  IDC_BUTTON_BATCH_UPDATE, IDC_BUTTON_BROWSE,
                        IDC_COMBO_ADAPTER, IDC_LIST_DEVICES,        IDC_EDIT_FILE};
constexpr const layout::DialogRect* kTemplate[] = {
    &layout::kQueryButton,  &layout::kBatchUpdateButton, &layout::kBrowseButton,
    &layout::kAdapterCombo, &layout::kDeviceList,        &layout::kFileEdit};

Rect InParent(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

class Win32WindowDriver : public WindowDriver {
 public:
  Win32WindowDriver() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // Enter goes through the box's dialog manager, which presses its default button.
    watcher->answer = [this](HWND box) {
      const WPARAM keyOrButton[] = {IDYES, IDNO, VK_RETURN};
      PostMessageW(box, questionReply == Reply::Enter ? WM_KEYDOWN : WM_COMMAND,
                   keyOrButton[int(questionReply)], 0);
    };
    Open();
  }
  ~Win32WindowDriver() override { Close(); }

  void Open() override {
    dialog_.reset();
    Win32DialogServices services{
        adapters, ScriptedSources(capture), clock, settings.File(), launcher,
        sleep,    captureLibraryMissing};
    Win32DialogOptions options;
    options.openFile = [this](HWND owner) { return OpenFile(owner == Dialog()); };
    options.saveFile = [this](HWND, std::u16string_view suggested) { return SaveFile(suggested); };
    options.showAbout = [](HWND owner) { CAboutDlg().DoModal(owner); };
    dialog_ = std::make_unique<Win32BatchDialog>(std::move(services), std::move(options));
    EXPECT_NE(dialog_->CreateModeless(), nullptr) << "no window: is Wine's graphics driver set?";
    PumpPending();
  }
  void Close() {
    launcher.ReleaseAll();
    dialog_.reset();
  }
  [[nodiscard]] HWND Dialog() const { return dialog_->Window(); }
  [[nodiscard]] HWND Item(Control c) const { return GetDlgItem(Dialog(), kIds[int(c)]); }
  [[nodiscard]] HWND List() const { return Item(Control::List); }

  void PumpPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      const HWND window = dialog_ ? dialog_->Window() : nullptr;
      // Once the dialog has ended, the program's loop no longer runs and the
      // window's queued input goes with it.
      if (window != nullptr && dialog_->Ended() &&
          (message.hwnd == window || IsChild(window, message.hwnd))) {
        continue;
      }
      if (window == nullptr || !IsDialogMessageW(window, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }
  bool Until(const std::function<bool()>& done,
             std::chrono::milliseconds timeout = kPatience) override {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      PumpPending();
    }
    return true;
  }

  CPendravelBatchDlg& Controller() override { return dialog_->Controller(); }
  void Refresh() override { SendMessageW(Dialog(), WM_TIMER, kRefreshTimerId, 0); }
  void Click(Control c) override { SendMessageW(Item(c), BM_CLICK, 0, 0); }
  void PostClick(Control c) override {
    PostMessageW(Item(c), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(Item(c), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PostMessageW(Item(c), BM_CLICK, 0, 0);
  }
  void SelectAdapter(int index) override {
    SendMessageW(Item(Control::Adapter), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_COMBO_ADAPTER, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Item(Control::Adapter)));
  }
  void Focus(Control c) override { SetFocus(Item(c)); }
  // Through the dialog manager, as the program's loop passes a key press.
  void Press(Key key) override {
    const WPARAM keys[] = {VK_RETURN, VK_RETURN, VK_SPACE, VK_ESCAPE};
    const LPARAM extended = key == Key::KeypadEnter ? 0x01000000 : 0;
    for (const UINT type : {UINT{WM_KEYDOWN}, UINT{WM_KEYUP}}) {
      MSG message{
          GetFocus(),     type,
          keys[int(key)], (type == WM_KEYDOWN ? 1 : static_cast<LPARAM>(0xC0000001u)) | extended,
          GetTickCount(), {}};
      if (!IsDialogMessageW(Dialog(), &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      PumpPending();
    }
  }
  // The check box's state, as a click on it sets it.
  void TickRow(int row) override { ListView_SetCheckState(List(), row, TRUE); }
  void SetCurrentRow(int row) override {
    ListView_SetItemState(List(), row, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  }
  void ScrollToEnd() override { ListView_EnsureVisible(List(), Rows() - 1, FALSE); }
  // The command of the list's context menu.
  bool ListCommand(std::u16string_view item) override {
    for (const ListMenuItem& shown : Controller().ListMenu()) {
      if (shown.text != item || !shown.enabled) continue;
      SendMessageW(Dialog(), WM_COMMAND, shown.command, 0);
      return true;
    }
    return false;
  }
  bool RequestClose() override {
    SendMessageW(Dialog(), WM_CLOSE, 0, 0);
    return dialog_->Ended();
  }
  void Resize(int dx, int dy) override {
    const Rect size = WindowSize();
    SetWindowPos(Dialog(), nullptr, 0, 0, size.right + dx, size.bottom + dy,
                 SWP_NOMOVE | SWP_NOZORDER);
    PumpPending();
  }

  std::u16string Title() override { return WindowText(Dialog()); }
  std::u16string Text(Control c) override { return WindowText(Item(c)); }
  bool Enabled(Control c) override { return IsWindowEnabled(Item(c)) != FALSE; }
  bool FileReadOnly() override {
    return GetWindowLongPtrW(Item(Control::File), GWL_STYLE) & ES_READONLY;
  }
  bool LooksDefault(Control c) override {
    return SendMessageW(Item(c), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON;
  }
  std::optional<Control> Focused() override {
    for (int c = 0; c < 6; ++c) {
      const HWND item = Item(Control(c));
      if (GetFocus() == item || IsChild(item, GetFocus())) return Control(c);
    }
    return std::nullopt;
  }
  int AdapterSelection() override {
    return int(SendMessageW(Item(Control::Adapter), CB_GETCURSEL, 0, 0));
  }
  Rect Geometry(Control c) override { return InParent(Item(c)); }
  // As the dialog manager places a template's control: position and size converted apart.
  Rect TemplateGeometry(Control c) override {
    const layout::DialogRect& units = *kTemplate[int(c)];
    RECT pixels{units.x, units.y, units.width, units.height};
    MapDialogRect(Dialog(), &pixels);
    return {pixels.left, pixels.top, pixels.left + pixels.right, pixels.top + pixels.bottom};
  }
  Rect WindowSize() override {
    RECT window{};
    GetWindowRect(Dialog(), &window);
    return {0, 0, window.right - window.left, window.bottom - window.top};
  }
  std::vector<ShownColumn> Columns() override {
    std::vector<ShownColumn> columns;
    for (int column = 0; column < Header_GetItemCount(ListView_GetHeader(List())); ++column) {
      std::array<wchar_t, 64> header{};
      LVCOLUMNW info{
          LVCF_TEXT | LVCF_FMT, 0, 0, header.data(), int(header.size()), 0, 0, 0, 0, 0, 0};
      ListView_GetColumn(List(), column, &info);
      // Its text whole, within the header's margins.
      const int fitted = ListTextWidth(FromWide(header.data())) + 6 * GetSystemMetrics(SM_CXEDGE);
      columns.push_back({FromWide(header.data()), (info.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER,
                         ListView_GetColumnWidth(List(), column), fitted});
    }
    return columns;
  }
  int ListInnerWidth() override {
    RECT client{};
    return GetClientRect(List(), &client) ? client.right : 0;
  }
  int ListTextWidth(std::u16string_view text) override {
    return ListView_GetStringWidth(List(), ToWide(text).c_str());
  }
  int Rows() override { return ListView_GetItemCount(List()); }
  std::u16string Cell(int row, int column) override {
    std::array<wchar_t, 256> text{};
    ListView_GetItemText(List(), row, column, text.data(), int(text.size()));
    return FromWide(text.data());
  }
  bool Ticked(int row) override { return ListView_GetCheckState(List(), row) != FALSE; }
  // The focused row, when it is also the one selected.
  int CurrentRow() override {
    const int focused = ListView_GetNextItem(List(), -1, LVNI_FOCUSED);
    return focused == ListView_GetNextItem(List(), -1, LVNI_SELECTED) ? focused : -2;
  }
  int TopRow() override { return ListView_GetTopIndex(List()); }
  bool Visible() override { return IsWindowVisible(Dialog()) != FALSE; }
  std::vector<ShownBox> TakeBoxes() override {
    std::vector<ShownBox> boxes;
    for (const SeenDialog& seen : watcher->seen) {
      ShownBox& box = boxes.emplace_back();
      box = {FromWide(seen.caption), u"", {}, FromWide(seen.defaultButton), seen.showsIcon,
             seen.owner == Dialog()};
      for (const std::wstring& line : seen.texts) {
        box.text += (box.text.empty() ? u"" : u"\n") + FromWide(line);
      }
      for (const std::wstring& button : seen.buttons) box.buttons.push_back(FromWide(button));
    }
    watcher->seen.clear();
    return boxes;
  }

  // Records and answers every owned dialog; emplace another to close with Esc.
  std::optional<ModalWatcher> watcher{std::in_place};
  const char* captureLibraryMissing = nullptr;
  std::unique_ptr<Win32BatchDialog> dialog_;
};

class Win32ContractTest : public ::testing::TestWithParam<ContractCase> {};

TEST_P(Win32ContractTest, Holds) {
  Win32WindowDriver driver;
  Checks checks;
  GetParam().run(driver, checks);
  for (const std::string& failure : checks.failed) ADD_FAILURE() << failure;
}

INSTANTIATE_TEST_SUITE_P(Window, Win32ContractTest, ::testing::ValuesIn(WindowContract()),
                         [](const auto& test) { return test.param.name; });

class Win32DialogTest : public ::testing::Test, public Win32WindowDriver {};

TEST_F(Win32DialogTest, TemplateStylesAndIcons) {
  const LONG_PTR style = GetWindowLongPtrW(Dialog(), GWL_STYLE);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(GetWindowLongPtrW(Dialog(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(SendMessageW(Dialog(), DM_GETDEFID, 0, 0),
            MAKELONG(IDC_BUTTON_BATCH_UPDATE, DC_HASDEFID));
  const HWND list = Item(Control::List);
  EXPECT_EQ(GetWindowLongPtrW(list, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
  const DWORD wanted = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
  EXPECT_EQ(ListView_GetExtendedListViewStyle(list) & wanted, wanted);

  const auto big = reinterpret_cast<LRESULT>(dialog_->BigIcon());
  EXPECT_NE(big, 0);
  EXPECT_NE(dialog_->SmallIcon(), nullptr);
  EXPECT_EQ(SendMessageW(Dialog(), WM_GETICON, ICON_BIG, 0), big);
  EXPECT_EQ(SendMessageW(Dialog(), WM_GETICON, ICON_SMALL, 0),
            reinterpret_cast<LRESULT>(dialog_->SmallIcon()));
  EXPECT_EQ(SendMessageW(Dialog(), WM_QUERYDRAGICON, 0, 0), big);
}

TEST_F(Win32DialogTest, WithoutTheCaptureLibraryItSaysSoThenListsNoAdapter) {
  captureLibraryMissing =
      "Please install Npcap from https://npcap.com/ to capture on this computer";
  adapters.entries = std::nullopt;  // the listing fails as it does without the library
  Open();
  const std::vector<ShownBox> boxes = TakeBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text,
            u"Please install Npcap from https://npcap.com/ to capture on this computer");
  EXPECT_EQ(boxes[1].text, u"Cant find any network adapter");
  EXPECT_EQ(SendMessageW(Item(Control::Adapter), CB_GETCOUNT, 0, 0), 0);
  EXPECT_FALSE(Enabled(Control::Query));
  EXPECT_TRUE(Enabled(Control::Browse));
}

TEST_F(Win32DialogTest, PostedMessagesCarryTheirOwnTexts) {
  Win32MessageTarget target;
  target.Bind(Dialog());
  std::thread worker([&target] {
    WindowMessageSink sink(target);
    std::u16string text = u"create process fail";
    sink.UpdateError(text);
    text.assign(u"changed after the post");
    sink.UpdateError(u"Device 192.168.0.10 skipped");
  });
  worker.join();
  std::vector<ShownBox> boxes;
  ASSERT_TRUE(Until([&] {
    for (ShownBox& box : TakeBoxes()) boxes.push_back(box);
    return boxes.size() == 2;
  }));
  EXPECT_EQ(boxes[0].text, u"create process fail");
  EXPECT_EQ(boxes[1].text, u"Device 192.168.0.10 skipped");

  // A post to a window that has gone frees its copy and reports nothing.
  Close();
  WindowMessageSink(target).UpdateError(u"nobody reads this");
}

TEST_F(Win32DialogTest, TheSystemMenuOpensTheAboutBox) {
  const HMENU menu = GetSystemMenu(Dialog(), FALSE);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
  std::array<wchar_t, 64> item{};
  GetMenuStringW(menu, IDM_ABOUTBOX, item.data(), static_cast<int>(item.size()), MF_BYCOMMAND);
  EXPECT_EQ(std::wstring(item.data()), L"&About Quilmarr...");
  MENUITEMINFOW separator{};
  separator.cbSize = sizeof(separator);
  separator.fMask = MIIM_FTYPE;
  ASSERT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(count - 2), TRUE, &separator));
  EXPECT_TRUE(separator.fType & MFT_SEPARATOR);

  watcher.emplace(IDCANCEL);  // closed with Esc
  SendMessageW(Dialog(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  SendMessageW(Dialog(), WM_SYSCOMMAND, 0x0020, 0);
  const std::vector<ShownBox> boxes = TakeBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"About Quilmarr");
  EXPECT_EQ(boxes[0].text.rfind(u"" QUILMARR_ABOUT_VERSION_LINE "\n", 0), 0u);
  EXPECT_NE(boxes[0].text.find(u"2023"), std::u16string::npos);
  EXPECT_EQ(boxes[0].buttons, std::vector<std::u16string>{u"OK"});
  EXPECT_TRUE(boxes[0].icon);
  EXPECT_TRUE(boxes[0].modalOverTheWindow);
  EXPECT_FALSE(dialog_->Ended());
}

// A logoff waits while a batch runs; a session that ends anyway gets the
// report and the [UDP] values back at once.
TEST_F(Win32DialogTest, ALogoffWaitsForABatchAndTheSessionsEndPutsTheSettingsBack) {
  settings.Write(settings::kSectionUdp, settings::kKeyRemoteIp, u"10.9.9.9");
  contract::ReadyForABatch(*this);
  Click(Control::BatchUpdate);
  ASSERT_TRUE(Until([&] { return launcher.CallCount() == 1; }));
  EXPECT_EQ(SendMessageW(Dialog(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
  launcher.ReleaseAll();
  ASSERT_TRUE(Until([&] { return Controller().Mode() == UiMode::Querying; }));
  EXPECT_EQ(SendMessageW(Dialog(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);

  launcher.Hold();
  Click(Control::BatchUpdate);
  ASSERT_TRUE(Until([&] { return launcher.CallCount() == 2; }));
  SendMessageW(Dialog(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(settings.Read(settings::kSectionUdp, settings::kKeyRemoteIp), u"10.9.9.9");
  // The first batch's report, and now the second's, with the device whose updater still ran.
  std::string reports;
  const std::filesystem::path folder = std::filesystem::path(settings.File().Folder()) / "Reports";
  for (const auto& report : std::filesystem::directory_iterator(folder)) {
    reports += ReadBytes(report.path()) + '\f';
  }
  EXPECT_EQ(std::count(reports.begin(), reports.end(), '\f'), 2);
  EXPECT_NE(reports.find("\"Interrupted\""), std::string::npos) << reports;
}

TEST(Win32SystemMenu, AnEmptyAboutTextAddsNothing) {
  const UniqueMenu menu(CreatePopupMenu());
  AppendAboutItem(menu.Get(), L"");
  EXPECT_EQ(GetMenuItemCount(menu.Get()), 0);
  AppendAboutItem(menu.Get(), L"&About Quilmarr...");
  EXPECT_EQ(GetMenuItemCount(menu.Get()), 2);
}

TEST(Win32Labels, ALabelThatItsFontWouldCutShortIsWidened) {
  const UniqueWindow parent(CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 400, 100, nullptr,
                                            nullptr, nullptr, nullptr));
  const HWND fits = CreateWindowExW(0, L"Static", L"File:", WS_CHILD | SS_LEFT, 10, 10, 200, 16,
                                    parent.Get(), nullptr, nullptr, nullptr);
  const HWND cut = CreateWindowExW(0, L"Static", L"Device In Ethernet:", WS_CHILD | SS_LEFT, 10, 40,
                                   20, 16, parent.Get(), nullptr, nullptr, nullptr);
  WidenClippedLabels(parent.Get());
  EXPECT_EQ(InParent(fits), (Rect{10, 10, 210, 26}));
  const Rect widened = InParent(cut);
  EXPECT_EQ((Rect{widened.left, widened.top, 0, widened.bottom}), (Rect{10, 40, 0, 56}));
  EXPECT_GT(widened.right - widened.left, 60);
}

// The file dialogs are owned by the window, and choosing a file must not make
// its folder the working folder: relative paths would then resolve against a
// USB stick or a share.
TEST_F(Win32DialogTest, FileDialogsAreOwnedAndLeaveTheWorkingFolderAsItWas) {
  watcher.emplace(IDCANCEL);
  EXPECT_EQ(ShowOpenFileDialog(Dialog()), std::nullopt);
  EXPECT_TRUE(TakeBoxes().at(0).modalOverTheWindow);
  watcher.emplace(IDOK);
  const TempFolder elsewhere;
  const std::filesystem::path before = std::filesystem::current_path();
  const std::u16string report = elsewhere.File("devices.csv").u16string();
  EXPECT_EQ(ShowSaveCsvDialog(Dialog(), report), report);
  EXPECT_EQ(std::filesystem::current_path(), before);
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace quilmarr::test
