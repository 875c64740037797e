#include "win32_dialog_harness.h"

#include <commctrl.h>

#include <array>

#include "app/win32/about_box.h"
#include "res/dialog_layout.h"
#include "ui/win32/win32_text.h"

namespace quilmarr::test {
namespace {

constexpr int kIds[] = {IDC_BUTTON_QUERY,  IDC_BUTTON_BATCH_UPDATE, IDC_BUTTON_BROWSE,
                        IDC_COMBO_ADAPTER, IDC_LIST_DEVICES,        IDC_EDIT_FILE};

}  // namespace

Win32WindowDriver::Win32WindowDriver() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  Open();
}

Win32WindowDriver::~Win32WindowDriver() {
  launcher.ReleaseAll();
  dialog_.reset();
}

void Win32WindowDriver::Open() {
  dialog_.reset();
  Win32DialogServices services{adapters, ScriptedSources(capture), clock, settings.File(),
                               launcher};
  services.captureLibraryMissing = captureLibraryMissing;
  Win32DialogOptions options;
  options.openFile = [this](HWND owner) {
    ++openFileCalls;
    openFileOwnedByTheWindow = owner == Dialog();
    return openFileAnswer;
  };
  options.saveFile = [this](HWND, std::u16string_view suggested) {
    saveFileSuggestions.emplace_back(suggested);
    return saveFileAnswer;
  };
  options.showAbout = [this](HWND owner) {
    ++aboutBoxes;
    CAboutDlg().DoModal(owner);
  };
  dialog_ = std::make_unique<Win32BatchDialog>(std::move(services), std::move(options));
  EXPECT_NE(dialog_->CreateModeless(), nullptr) << "no window: is Wine's graphics driver set?";
  PumpPending();
}

HWND Win32WindowDriver::Item(Control c) const { return Item(kIds[static_cast<int>(c)]); }

bool Win32WindowDriver::Until(const std::function<bool()>& done,
                              std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    PumpPending();
  }
  return true;
}

void Win32WindowDriver::PumpPending() {
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

void Win32WindowDriver::PostClick(Control c) {
  PostMessageW(Item(c), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(Item(c), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  PostMessageW(Item(c), BM_CLICK, 0, 0);
}

void Win32WindowDriver::SelectAdapter(int index) {
  const HWND combo = Item(Control::Adapter);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_COMBO_ADAPTER, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

// Through the dialog manager, as the program's loop passes a key press.
void Win32WindowDriver::Press(Key key) {
  const WPARAM keys[] = {VK_RETURN, VK_RETURN, VK_SPACE, VK_ESCAPE};
  const LPARAM extended = key == Key::KeypadEnter ? 0x01000000 : 0;
  for (const UINT type : {UINT{WM_KEYDOWN}, UINT{WM_KEYUP}}) {
    MSG message{GetFocus(),
                type,
                keys[static_cast<int>(key)],
                (type == WM_KEYDOWN ? 1 : static_cast<LPARAM>(0xC0000001u)) | extended,
                GetTickCount(),
                {}};
    if (!IsDialogMessageW(Dialog(), &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    PumpPending();
  }
}

// The check box's state, as a click on it sets it.
void Win32WindowDriver::TickRow(int row) {
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(2);
  SendMessageW(Item(Control::List), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(&item));
}

void Win32WindowDriver::SetCurrentRow(int row) {
  ListView_SetItemState(Item(Control::List), row, LVIS_FOCUSED | LVIS_SELECTED,
                        LVIS_FOCUSED | LVIS_SELECTED);
}

void Win32WindowDriver::ScrollToEnd() {
  ListView_EnsureVisible(Item(Control::List), Rows() - 1, 0);
}

// The command of the list's context menu.
void Win32WindowDriver::ExportList() {
  SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(IDM_EXPORT_LIST, 0), 0);
}

bool Win32WindowDriver::RequestClose() {
  SendMessageW(Dialog(), WM_CLOSE, 0, 0);
  return dialog_->Ended();
}

void Win32WindowDriver::Resize(int dx, int dy) {
  const Rect size = WindowSize();
  SetWindowPos(Dialog(), nullptr, 0, 0, size.right + dx, size.bottom + dy,
               SWP_NOMOVE | SWP_NOZORDER);
  PumpPending();
}

std::u16string Win32WindowDriver::Title() { return WindowText(Dialog()); }
std::u16string Win32WindowDriver::Text(Control c) { return WindowText(Item(c)); }

bool Win32WindowDriver::ReadOnly(Control c) {
  return (GetWindowLongPtrW(Item(c), GWL_STYLE) & ES_READONLY) != 0;
}

bool Win32WindowDriver::LooksDefault(Control c) {
  return (SendMessageW(Item(c), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0;
}

std::optional<Control> Win32WindowDriver::Focused() {
  const HWND focus = GetFocus();
  for (int c = 0; c < 6; ++c) {
    const HWND item = Item(static_cast<Control>(c));
    if (focus == item || IsChild(item, focus)) return static_cast<Control>(c);
  }
  return std::nullopt;
}

std::vector<std::u16string> Win32WindowDriver::AdapterItems() {
  std::vector<std::u16string> items;
  const HWND combo = Item(Control::Adapter);
  for (LRESULT i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
    std::array<wchar_t, 128> item{};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(item.data()));
    items.push_back(FromWide(item.data()));
  }
  return items;
}

int Win32WindowDriver::AdapterSelection() {
  return static_cast<int>(SendMessageW(Item(Control::Adapter), CB_GETCURSEL, 0, 0));
}

Rect Win32WindowDriver::Geometry(Control c) {
  RECT rect{};
  GetWindowRect(Item(c), &rect);
  MapWindowPoints(HWND_DESKTOP, Dialog(), reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

// As the dialog manager places a template's control: position and size converted apart.
Rect Win32WindowDriver::TemplateGeometry(Control c) {
  const layout::DialogRect* rects[] = {&layout::kQueryButton,  &layout::kBatchUpdateButton,
                                       &layout::kBrowseButton, &layout::kAdapterCombo,
                                       &layout::kDeviceList,   &layout::kFileEdit};
  const layout::DialogRect& units = *rects[static_cast<int>(c)];
  RECT converted{units.x, units.y, units.width, units.height};
  MapDialogRect(Dialog(), &converted);
  return {converted.left, converted.top, converted.left + converted.right,
          converted.top + converted.bottom};
}

Rect Win32WindowDriver::WindowSize() {
  RECT window{};
  GetWindowRect(Dialog(), &window);
  return {0, 0, window.right - window.left, window.bottom - window.top};
}

std::vector<ShownColumn> Win32WindowDriver::Columns() {
  const HWND list = Item(Control::List);
  std::vector<ShownColumn> columns;
  for (int column = 0; column < Header_GetItemCount(ListView_GetHeader(list)); ++column) {
    std::array<wchar_t, 64> header{};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT | LVCF_FMT;
    info.pszText = header.data();
    info.cchTextMax = static_cast<int>(header.size());
    ListView_GetColumn(list, column, &info);
    // Its text whole, within the header's margins.
    const int fitted =
        ListView_GetStringWidth(list, header.data()) + 6 * GetSystemMetrics(SM_CXEDGE);
    columns.push_back({FromWide(header.data()), (info.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER,
                       ListView_GetColumnWidth(list, column), fitted});
  }
  return columns;
}

int Win32WindowDriver::ListInnerWidth() {
  RECT client{};
  GetClientRect(Item(Control::List), &client);
  return client.right - client.left;
}

int Win32WindowDriver::ListTextWidth(std::u16string_view text) {
  return ListView_GetStringWidth(Item(Control::List), ToWide(text).c_str());
}

int Win32WindowDriver::Rows() { return ListView_GetItemCount(Item(Control::List)); }

std::u16string Win32WindowDriver::Cell(int row, int column) {
  std::array<wchar_t, 256> text{};
  ListView_GetItemText(Item(Control::List), row, column, text.data(),
                       static_cast<int>(text.size()));
  return FromWide(text.data());
}

bool Win32WindowDriver::Ticked(int row) {
  return ListView_GetCheckState(Item(Control::List), row) != FALSE;
}

// The focused row, when it is also the one selected.
int Win32WindowDriver::CurrentRow() {
  const HWND list = Item(Control::List);
  const int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
  return focused == ListView_GetNextItem(list, -1, LVNI_SELECTED) ? focused : -2;
}

int Win32WindowDriver::TopRow() { return ListView_GetTopIndex(Item(Control::List)); }

std::vector<ShownBox> Win32WindowDriver::TakeBoxes() {
  std::vector<ShownBox> boxes;
  for (const SeenDialog& seen : watcher->seen) {
    std::u16string text;
    for (const std::wstring& line : seen.texts)
      text += (text.empty() ? u"" : u"\n") + FromWide(line);
    std::vector<std::u16string> buttons;
    for (const std::wstring& button : seen.buttons) buttons.push_back(FromWide(button));
    boxes.push_back(
        {FromWide(seen.caption), text, buttons, seen.showsIcon, seen.owner == Dialog()});
  }
  watcher->seen.clear();
  return boxes;
}

}  // namespace quilmarr::test
