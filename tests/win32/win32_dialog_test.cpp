// The Windows main window: the real dialog from its template, driven with
// window messages under the platform's dialog manager.
#include "ui/win32/windows_api.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "modal_watcher.h"
#include "res/dialog_layout.h"
#include "ui/win32/dialog_resizer.h"
#include "ui/win32/file_dialogs.h"
#include "ui/win32/win32_message_target.h"
#include "ui/win32/win32_text.h"
#include "tests/support/temp_folder.h"
#include "win32_dialog_harness.h"

namespace quilmarr::test {
namespace {

const std::array<std::wstring, 7> kHeaders = {L"  IP   ",
                                              L" Sys Name ",
                                              L" IED Name ",
                                              L" Boot Version ",
                                              L" Original App Version ",
                                              L" Current App Version ",
                                              L" Status "};

DeviceAnnouncement Device(std::uint8_t lastOctet, std::string_view name = "BAY-1") {
  return {{192, 168, 0, lastOctet}, name, "FEEDER_1", "1.0.2", "4.1.7"};
}

// A rectangle in the dialog's client coordinates.
struct Box {
  LONG left, top, right, bottom;
  bool operator==(const Box&) const = default;
  friend void PrintTo(const Box& box, std::ostream* out) {
    *out << '(' << box.left << ',' << box.top << ")-(" << box.right << ',' << box.bottom << ')';
  }
};

Box ClientRectOf(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

// As the dialog manager places a template's control: position and size converted apart.
Box TemplatePixels(HWND dialog, const layout::DialogRect& units) {
  RECT converted{units.x, units.y, units.width, units.height};
  MapDialogRect(dialog, &converted);
  return {converted.left, converted.top, converted.left + converted.right,
          converted.top + converted.bottom};
}

Box Moved(Box box, LONG dx, LONG dy) {
  return {box.left + dx, box.top + dy, box.right + dx, box.bottom + dy};
}

std::u16string Text(HWND window) { return WindowText(window); }

int ColumnWidthSum(HWND list) {
  int sum = 0;
  const int columns = Header_GetItemCount(ListView_GetHeader(list));
  for (int column = 0; column < columns; ++column) sum += ListView_GetColumnWidth(list, column);
  return sum;
}

int ClientWidth(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return client.right - client.left;
}

bool HasDefaultLook(HWND button) {
  return (SendMessageW(button, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0;
}

TEST_F(Win32DialogTest, StartsWithTheTemplateControls) {
  Open();
  EXPECT_EQ(Text(Dialog()), u"Quilmarr 1.0.1.0");
  const LONG_PTR style = GetWindowLongPtrW(Dialog(), GWL_STYLE);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(GetWindowLongPtrW(Dialog(), GWL_EXSTYLE) & WS_EX_APPWINDOW);

  const HWND batch = Item(IDC_BUTTON_BATCH_UPDATE);
  EXPECT_EQ(Text(batch), u"Batch Update");
  EXPECT_FALSE(IsWindowEnabled(batch));
  EXPECT_EQ(SendMessageW(Dialog(), DM_GETDEFID, 0, 0),
            MAKELONG(IDC_BUTTON_BATCH_UPDATE, DC_HASDEFID));
  EXPECT_EQ(Text(Item(IDC_BUTTON_QUERY)), u"Query Device");
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_BUTTON_QUERY)));  // adapters exist
  EXPECT_EQ(Text(Item(IDC_BUTTON_BROWSE)), u"Browse");
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_BUTTON_BROWSE)));

  const HWND combo = Item(IDC_COMBO_ADAPTER);
  EXPECT_TRUE(IsWindowEnabled(combo));
  ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
  std::array<wchar_t, 128> item{};
  SendMessageW(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item.data()));
  EXPECT_EQ(std::wstring(item.data()), L"10.0.0.2   Test Adapter B");
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);  // nothing saved

  const HWND list = Item(IDC_LIST_DEVICES);
  EXPECT_FALSE(IsWindowEnabled(list));
  EXPECT_EQ(GetWindowLongPtrW(list, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
  const DWORD wanted = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
  EXPECT_EQ(ListView_GetExtendedListViewStyle(list) & wanted, wanted);

  const HWND file = Item(IDC_EDIT_FILE);
  EXPECT_TRUE(GetWindowLongPtrW(file, GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(Text(file), u"");
  // The first enabled tab stop; as a focused push button it is the default.
  EXPECT_EQ(GetFocus(), Item(IDC_BUTTON_QUERY));
  EXPECT_TRUE(HasDefaultLook(Item(IDC_BUTTON_QUERY)));
  EXPECT_FALSE(HasDefaultLook(batch));

  ASSERT_NE(dialog_->BigIcon(), nullptr);
  ASSERT_NE(dialog_->SmallIcon(), nullptr);
  EXPECT_EQ(SendMessageW(Dialog(), WM_GETICON, ICON_BIG, 0),
            reinterpret_cast<LRESULT>(dialog_->BigIcon()));
  EXPECT_EQ(SendMessageW(Dialog(), WM_GETICON, ICON_SMALL, 0),
            reinterpret_cast<LRESULT>(dialog_->SmallIcon()));
  EXPECT_EQ(SendMessageW(Dialog(), WM_QUERYDRAGICON, 0, 0),
            reinterpret_cast<LRESULT>(dialog_->BigIcon()));
}

TEST_F(Win32DialogTest, WithoutTheCaptureLibraryItSaysSoThenListsNoAdapter) {
  captureLibraryMissing_ =
      "Please install Npcap from https://npcap.com/ to capture on this computer";
  lister_.entries = std::nullopt;  // the listing fails as it does without the library
  ModalWatcher boxes;
  Open();
  ASSERT_EQ(boxes.seen.size(), 2u);
  EXPECT_EQ(boxes.seen[0].texts, std::vector<std::wstring>{L"Please install Npcap from "
                                                           L"https://npcap.com/ to capture on "
                                                           L"this computer"});
  EXPECT_EQ(boxes.seen[1].texts, std::vector<std::wstring>{L"Cant find any network adapter"});
  EXPECT_EQ(SendMessageW(Item(IDC_COMBO_ADAPTER), CB_GETCOUNT, 0, 0), 0);
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_BUTTON_QUERY)));
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_BUTTON_BROWSE)));
}

TEST_F(Win32DialogTest, PresetsAdapterAndFileFromSettings) {
  settings_.WriteString(settings::kSectionQuilmarr, settings::kKeyAdapterIp, u"10.0.0.2");
  settings_.WriteString(settings::kSectionQuilmarr, settings::kKeyPckFile,
                        u"D:\\fw\\package v2.pck");
  Open();
  EXPECT_EQ(SendMessageW(Item(IDC_COMBO_ADAPTER), CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Text(Item(IDC_EDIT_FILE)), u"D:\\fw\\package v2.pck");
}

TEST_F(Win32DialogTest, DeviceListHasTheSevenColumnsAndTheLastFillsTheWidth) {
  Open();
  const HWND list = Item(IDC_LIST_DEVICES);
  ASSERT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 7);
  for (int column = 0; column < 7; ++column) {
    std::array<wchar_t, 64> header{};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT | LVCF_FMT;
    info.pszText = header.data();
    info.cchTextMax = static_cast<int>(header.size());
    ASSERT_TRUE(ListView_GetColumn(list, column, &info));
    EXPECT_EQ(std::wstring(header.data()), kHeaders[static_cast<std::size_t>(column)]);
    EXPECT_EQ(info.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_CENTER);
    if (column >= 1) {  // fitted to the header: its text whole, within the header's margins
      const int margins = 2 * 3 * GetSystemMetrics(SM_CXEDGE);
      EXPECT_GE(ListView_GetColumnWidth(list, column),
                ListView_GetStringWidth(list, header.data()) + margins)
          << column;
    }
  }
  EXPECT_EQ(ListView_GetColumnWidth(list, 0), 120);
  EXPECT_EQ(ColumnWidthSum(list), ClientWidth(list));
}

TEST_F(Win32DialogTest, TheListGrowsWithTheWindowAndTheControlsBelowMoveDown) {
  Open();
  const HWND list = Item(IDC_LIST_DEVICES);
  EXPECT_EQ(ClientRectOf(list), TemplatePixels(Dialog(), layout::kDeviceList));
  EXPECT_EQ(ClientRectOf(Item(IDC_BUTTON_QUERY)), TemplatePixels(Dialog(), layout::kQueryButton));
  EXPECT_EQ(ClientRectOf(Item(IDC_BUTTON_BROWSE)), TemplatePixels(Dialog(), layout::kBrowseButton));

  RECT window{};
  GetWindowRect(Dialog(), &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  const Box listBefore = ClientRectOf(list);
  const Box query = ClientRectOf(Item(IDC_BUTTON_QUERY));
  const Box browse = ClientRectOf(Item(IDC_BUTTON_BROWSE));
  const Box batch = ClientRectOf(Item(IDC_BUTTON_BATCH_UPDATE));
  const Box file = ClientRectOf(Item(IDC_EDIT_FILE));

  SetWindowPos(Dialog(), nullptr, 0, 0, width + 100, height + 80, SWP_NOMOVE | SWP_NOZORDER);
  PumpPending();
  Box listAfter = listBefore;
  listAfter.right += 100;
  listAfter.bottom += 80;
  EXPECT_EQ(ClientRectOf(list), listAfter);
  EXPECT_EQ(ClientRectOf(Item(IDC_BUTTON_QUERY)), query);
  EXPECT_EQ(ClientRectOf(Item(IDC_BUTTON_BROWSE)), Moved(browse, 0, 80));
  EXPECT_EQ(ClientRectOf(Item(IDC_BUTTON_BATCH_UPDATE)), Moved(batch, 0, 80));
  EXPECT_EQ(ClientRectOf(Item(IDC_EDIT_FILE)), Moved(file, 0, 80));
  EXPECT_EQ(ColumnWidthSum(list), ClientWidth(list));

  // Never smaller than the template.
  SetWindowPos(Dialog(), nullptr, 0, 0, width - 50, height - 50, SWP_NOMOVE | SWP_NOZORDER);
  PumpPending();
  GetWindowRect(Dialog(), &window);
  EXPECT_EQ(window.right - window.left, width);
  EXPECT_EQ(window.bottom - window.top, height);
  EXPECT_EQ(ClientRectOf(list), listBefore);
}

TEST_F(Win32DialogTest, ControlStatesFollowQueryAndStop) {
  Open();
  StartQuery();
  EXPECT_EQ(Controller().Mode(), UiMode::Querying);
  EXPECT_EQ(Text(Item(IDC_BUTTON_QUERY)), u"Stop Query");
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_BUTTON_QUERY)));
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_BUTTON_BATCH_UPDATE)));
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_COMBO_ADAPTER)));
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_LIST_DEVICES)));

  Announce({{{192, 168, 0, 10}, "SYS_A", "IED_1", "1.0", "2.0"},
            {{192, 168, 0, 11}, "SYS_B", "IED_2", "1.0", "2.1"}});
  Tick();
  ASSERT_EQ(RowCount(), 2);
  const std::array<std::u16string, 7> first = {u"192.168.0.10", u"SYS_A", u"IED_1", u"1.0",
                                               u"2.0",          u"2.0",   u""};
  for (int column = 0; column < 7; ++column) {
    EXPECT_EQ(Cell(0, column), first[static_cast<std::size_t>(column)]) << column;
  }
  EXPECT_EQ(Cell(1, 0), u"192.168.0.11");
  EXPECT_FALSE(Ticked(1));

  Click(IDC_BUTTON_QUERY);  // Stop Query: disabled until the worker has reported
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_BUTTON_QUERY)));
  ASSERT_TRUE(Pump([&] { return Controller().Mode() == UiMode::Idle; }));
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_BUTTON_QUERY)));
  EXPECT_EQ(Text(Item(IDC_BUTTON_QUERY)), u"Query Device");
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_BUTTON_BATCH_UPDATE)));
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_COMBO_ADAPTER)));
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_LIST_DEVICES)));
  EXPECT_EQ(RowCount(), 2);  // the last rows stay
  EXPECT_TRUE(Pump([&] { return CapturesEnded(); }));
}

TEST_F(Win32DialogTest, RebuildKeepsTicksScrollPositionAndFocusedRow) {
  Open();
  StartQuery();
  std::vector<DeviceAnnouncement> devices;
  for (std::uint8_t last = 10; last < 50; ++last) devices.push_back(Device(last));
  Announce(devices);
  Tick();
  const HWND list = Item(IDC_LIST_DEVICES);
  ASSERT_EQ(RowCount(), 40);
  SetTicked(2, true);
  SetTicked(30, true);
  ListView_SetItemState(list, 30, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  ListView_EnsureVisible(list, 39, FALSE);
  const int top = ListView_GetTopIndex(list);
  ASSERT_GT(top, 0);

  Tick();
  EXPECT_EQ(ListView_GetTopIndex(list), top);
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_FOCUSED), 30);
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 30);
  for (int row = 0; row < RowCount(); ++row) {
    EXPECT_EQ(Ticked(row), row == 2 || row == 30) << row;
  }
}

// The list's context menu sends this command.
TEST_F(Win32DialogTest, ExportListWritesTheRowsShown) {
  Open();
  StartQuery();
  Announce({Device(10), Device(11)});
  Tick();
  const std::filesystem::path file = temp_.Root() / "devices.csv";
  saveFileAnswer_ = file.u16string();
  SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(IDM_EXPORT_LIST, 0), 0);

  EXPECT_EQ(saveFileSuggestions_, std::vector<std::u16string>{u"devices.csv"});
  std::ifstream in(file, std::ios::binary);
  const std::string csv{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;
  EXPECT_EQ(csv.rfind("\"IP\",\"Sys Name\"", 0), 0U) << csv;
}

TEST_F(Win32DialogTest, BatchMarksTheDeviceUpdatingAndCloseIsRefusedUntilItEnds) {
  settings_.WriteString(settings::kSectionPendravel, settings::kKeyExePath, u"C:\\Tools\\");
  openFileAnswer_ = u"D:\\fw\\package.pck";
  Open();
  Click(IDC_BUTTON_BROWSE);
  StartQuery();
  Announce({Device(10), Device(11)});
  Tick();
  SetTicked(1, true);
  launcher_.Hold();
  Click(IDC_BUTTON_BATCH_UPDATE);
  EXPECT_EQ(Controller().Mode(), UiMode::Updating);
  for (const int id : {IDC_BUTTON_BATCH_UPDATE, IDC_BUTTON_QUERY, IDC_COMBO_ADAPTER,
                       IDC_BUTTON_BROWSE, IDC_LIST_DEVICES}) {
    EXPECT_FALSE(IsWindowEnabled(Item(id))) << id;
  }
  // The focus went on to the one control left enabled.
  EXPECT_EQ(GetFocus(), Item(IDC_EDIT_FILE));
  ASSERT_TRUE(Pump([&] {
    if (launcher_.CallCount() != 1) return false;
    Tick();
    return Cell(1, 6) == u"Updating";
  }));
  EXPECT_EQ(Cell(0, 6), u"");

  {
    ModalWatcher boxes;
    SendMessageW(Dialog(), WM_CLOSE, 0, 0);
    PressKey(VK_ESCAPE);
    ASSERT_EQ(boxes.seen.size(), 2u);
    for (const SeenDialog& box : boxes.seen) {
      EXPECT_EQ(box.texts, std::vector<std::wstring>{L"Please wait update interrupt"});
    }
  }
  EXPECT_FALSE(dialog_->Ended());
  EXPECT_TRUE(IsWindowVisible(Dialog()));

  launcher_.ReleaseAll();
  ASSERT_TRUE(Pump([&] { return Controller().Mode() == UiMode::Querying; }));
  Tick();
  EXPECT_EQ(Cell(1, 6), u"Done") << "the outcome instead of the marker";
  {
    // Refused (one more box) until the worker's thread has returned.
    ModalWatcher refusals;
    ASSERT_TRUE(Pump([&] {
      SendMessageW(Dialog(), WM_CLOSE, 0, 0);
      return dialog_->Ended();
    }));
  }
  EXPECT_FALSE(IsWindowVisible(Dialog()));
  EXPECT_TRUE(CapturesEnded());
}

struct ErrorCase {
  const char* name;
  int adapter;
  bool opens;
  const wchar_t* text;
};

class Win32ErrorBoxTest : public Win32DialogTest,
                          public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(Win32ErrorBoxTest, IsModalOwnedByTheDialogWithOneOkAndNoIcon) {
  Open();
  capture_->opens = GetParam().opens;
  ModalWatcher boxes;
  SelectAdapter(GetParam().adapter);
  Click(IDC_BUTTON_QUERY);
  ASSERT_TRUE(Pump([&] { return !boxes.seen.empty() && CapturesEnded(); }));
  ASSERT_EQ(boxes.seen.size(), 1u);
  const SeenDialog& box = boxes.seen.front();
  EXPECT_EQ(box.caption, L"Error");
  EXPECT_EQ(box.texts, std::vector<std::wstring>{GetParam().text});
  EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_FALSE(box.showsIcon);
  EXPECT_EQ(box.owner, Dialog());
  PumpPending();
  EXPECT_EQ(Controller().Mode(), UiMode::Idle);
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_BUTTON_QUERY)));
  EXPECT_EQ(Text(Item(IDC_BUTTON_QUERY)), u"Query Device");
}

INSTANTIATE_TEST_SUITE_P(
    Query, Win32ErrorBoxTest,
    ::testing::Values(ErrorCase{"NoAdapter", -1, true, L"Please select a network adapter"},
                      ErrorCase{"OpenFails", 0, false, L"Open adapter failed"}),
    [](const ::testing::TestParamInfo<ErrorCase>& test) { return test.param.name; });

TEST_F(Win32DialogTest, PostedMessagesCarryTheirOwnTexts) {
  Open();
  ModalWatcher boxes;
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
  ASSERT_TRUE(Pump([&] { return boxes.seen.size() == 2; }));
  EXPECT_EQ(boxes.seen[0].texts, std::vector<std::wstring>{L"create process fail"});
  EXPECT_EQ(boxes.seen[1].texts, std::vector<std::wstring>{L"Device 192.168.0.10 skipped"});

  // A post to a window that has gone frees its copy and reports nothing.
  Close();
  WindowMessageSink(target).UpdateError(u"nobody reads this");
}

TEST_F(Win32DialogTest, EnterPressesTheFocusedButtonElseBatchUpdateWhileEnabled) {
  Open();
  SelectAdapter(0);
  // Idle: Batch Update is disabled, so Enter in the file field does nothing.
  TabTo(IDC_EDIT_FILE);
  {
    ModalWatcher boxes;
    PressKey(VK_RETURN);
    EXPECT_TRUE(boxes.seen.empty());
  }
  EXPECT_EQ(Controller().Mode(), UiMode::Idle);

  TabTo(IDC_BUTTON_QUERY);
  PressKey(VK_RETURN);  // Query Device, the focused button
  ASSERT_TRUE(Pump([&] { return capture_->Opened().size() == 1; }));
  EXPECT_EQ(Controller().Mode(), UiMode::Querying);

  // Elsewhere, Enter is "Batch Update": no file chosen yet.
  for (const int id : {IDC_LIST_DEVICES, IDC_EDIT_FILE}) {
    TabTo(id);
    EXPECT_TRUE(HasDefaultLook(Item(IDC_BUTTON_BATCH_UPDATE))) << id;
    ModalWatcher boxes;
    PressKey(VK_RETURN);
    ASSERT_EQ(boxes.seen.size(), 1u) << id;
    EXPECT_EQ(boxes.seen.front().texts,
              std::vector<std::wstring>{L"Please select the file to be updated"});
  }

  // A mouse click gives Browse the focus: it becomes the default, and Enter
  // and Space press it.
  SetFocus(Item(IDC_BUTTON_BROWSE));
  EXPECT_TRUE(HasDefaultLook(Item(IDC_BUTTON_BROWSE)));
  EXPECT_FALSE(HasDefaultLook(Item(IDC_BUTTON_BATCH_UPDATE)));
  {
    ModalWatcher boxes;
    PressKey(VK_RETURN);
    PressKey(VK_SPACE);
    EXPECT_TRUE(boxes.seen.empty());
  }
  EXPECT_EQ(openFileCalls_, 2);
  EXPECT_EQ(openFileOwner_, Dialog());
  EXPECT_EQ(Controller().Mode(), UiMode::Querying);

  SetFocus(Item(IDC_EDIT_FILE));
  EXPECT_TRUE(HasDefaultLook(Item(IDC_BUTTON_BATCH_UPDATE)));
  EXPECT_FALSE(HasDefaultLook(Item(IDC_BUTTON_BROWSE)));
}

TEST_F(Win32DialogTest, EscapeGoesThroughTheCloseGuard) {
  Open();
  StartQuery();
  TabTo(IDC_LIST_DEVICES);
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(dialog_->Ended());
  EXPECT_FALSE(IsWindowVisible(Dialog()));
  EXPECT_TRUE(CapturesEnded());
  EXPECT_EQ(Controller().Mode(), UiMode::Idle);  // the worker's stop was handled
}

TEST_F(Win32DialogTest, TheCloseWaitHandlesTheWorkerButNoInput) {
  settings_.WriteString(settings::kSectionPendravel, settings::kKeyExePath, u"C:\\Tools\\");
  openFileAnswer_ = u"D:\\fw\\package.pck";
  Open();
  Click(IDC_BUTTON_BROWSE);
  StartQuery();
  Announce({Device(10)});
  Tick();
  SetTicked(0, true);
  // The capture takes a long read time-out to end, and meanwhile a click on
  // "Batch Update" waits in the queue.
  capture_->readTimeoutMs = 400;
  capture_->interruptible = false;
  const int reads = capture_->reads.load();
  ASSERT_TRUE(Pump([&] { return capture_->reads.load() > reads; }));  // now in a long read
  PostMessageW(Item(IDC_BUTTON_BATCH_UPDATE), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(Item(IDC_BUTTON_BATCH_UPDATE), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  PostMessageW(Item(IDC_BUTTON_BATCH_UPDATE), BM_CLICK, 0, 0);
  {
    ModalWatcher boxes;
    SendMessageW(Dialog(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(boxes.seen.empty());
  }
  EXPECT_TRUE(dialog_->Ended());
  EXPECT_TRUE(CapturesEnded());
  EXPECT_EQ(Controller().Mode(), UiMode::Idle);  // the worker's stop message was handled
  EXPECT_EQ(launcher_.CallCount(), 0u);
  EXPECT_EQ(settings_.ReadString(settings::kSectionQuilmarr, settings::kKeyPckFile, 300), u"");
}

TEST_F(Win32DialogTest, TheSystemMenuOpensTheAboutBox) {
  Open();
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

  ModalWatcher boxes(IDCANCEL);  // closed with Esc
  SendMessageW(Dialog(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  SendMessageW(Dialog(), WM_SYSCOMMAND, IDM_ABOUTBOX | 0xF, 0);  // low four bits ignored
  SendMessageW(Dialog(), WM_SYSCOMMAND, 0x0020, 0);
  EXPECT_EQ(aboutBoxes_, 2);
  ASSERT_EQ(boxes.seen.size(), 2u);
  const SeenDialog& about = boxes.seen.front();
  EXPECT_EQ(about.caption, L"About Quilmarr");
  ASSERT_EQ(about.texts.size(), 2u);
  EXPECT_EQ(about.texts[0], L"Quilmarr, Version 1.0");
  EXPECT_NE(about.texts[1].find(L"2023"), std::wstring::npos);
  EXPECT_EQ(about.buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_TRUE(about.showsIcon);
  EXPECT_EQ(about.owner, Dialog());
  EXPECT_FALSE(dialog_->Ended());
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
  EXPECT_EQ(ClientRectOf(fits), (Box{10, 10, 210, 26}));
  const Box widened = ClientRectOf(cut);
  EXPECT_EQ(widened.left, 10);
  EXPECT_EQ(widened.top, 40);
  EXPECT_EQ(widened.bottom, 56);
  EXPECT_GT(widened.right - widened.left, 60);
}

TEST_F(Win32DialogTest, TheCommonOpenFileDialogIsOwnedByTheDialog) {
  Open();
  ModalWatcher dialogs(IDCANCEL);
  EXPECT_EQ(ShowOpenFileDialog(Dialog()), std::nullopt);
  ASSERT_EQ(dialogs.seen.size(), 1u);
  EXPECT_EQ(dialogs.seen.front().owner, Dialog());
}

// Choosing where to save must not make that folder the working folder:
// relative paths would then resolve against a USB stick or a share.
TEST_F(Win32DialogTest, ChoosingAFileLeavesTheWorkingFolderAsItWas) {
  Open();
  const TempFolder elsewhere;
  const std::filesystem::path before = std::filesystem::current_path();
  ModalWatcher dialogs(IDOK);
  const std::u16string report = elsewhere.File("devices.csv").u16string();
  EXPECT_EQ(ShowSaveCsvDialog(Dialog(), report), report);
  EXPECT_EQ(std::filesystem::current_path(), before);
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace quilmarr::test
