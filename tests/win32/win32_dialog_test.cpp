// The Windows main window: the real dialog from its template, driven with
// window messages under the platform's dialog manager: the window contract
// shared with the Qt window, then what only the Windows window does.
#include "ui/win32/windows_api.h"

#include <commctrl.h>

#include <array>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "ui/win32/dialog_resizer.h"
#include "ui/win32/file_dialogs.h"
#include "ui/win32/win32_message_target.h"
#include "win32_dialog_harness.h"

namespace quilmarr::test {

void PrintTo(const ContractCase& contractCase, std::ostream* out) { *out << contractCase.name; }

namespace {

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
  EXPECT_TRUE(AdapterItems().empty());
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
  SendMessageW(Dialog(), WM_SYSCOMMAND, IDM_ABOUTBOX | 0xF, 0);  // low four bits ignored
  SendMessageW(Dialog(), WM_SYSCOMMAND, 0x0020, 0);
  EXPECT_EQ(aboutBoxes, 2);
  const std::vector<ShownBox> boxes = TakeBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, u"About Quilmarr");
  EXPECT_EQ(boxes[0].text.rfind(u"Quilmarr, Version 1.0\n", 0), 0u);
  EXPECT_NE(boxes[0].text.find(u"2023"), std::u16string::npos);
  EXPECT_EQ(boxes[0].buttons, std::vector<std::u16string>{u"OK"});
  EXPECT_TRUE(boxes[0].icon);
  EXPECT_TRUE(boxes[0].modalOverTheWindow);
  EXPECT_FALSE(dialog_->Ended());
}

TEST_F(Win32DialogTest, TheCommonOpenFileDialogIsOwnedByTheDialog) {
  watcher.emplace(IDCANCEL);
  EXPECT_EQ(ShowOpenFileDialog(Dialog()), std::nullopt);
  const std::vector<ShownBox> dialogs = TakeBoxes();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_TRUE(dialogs[0].modalOverTheWindow);
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
  RECT rect{};
  GetWindowRect(fits, &rect);
  MapWindowPoints(HWND_DESKTOP, parent.Get(), reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ((Rect{rect.left, rect.top, rect.right, rect.bottom}), (Rect{10, 10, 210, 26}));
  GetWindowRect(cut, &rect);
  MapWindowPoints(HWND_DESKTOP, parent.Get(), reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ((Rect{rect.left, rect.top, rect.bottom, 0}), (Rect{10, 40, 56, 0}));
  EXPECT_GT(rect.right - rect.left, 60);
}

}  // namespace
}  // namespace quilmarr::test
