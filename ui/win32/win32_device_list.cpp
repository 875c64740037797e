#include "ui/win32/win32_device_list.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <vector>

#include "platform/text.h"
#include "ui/win32/win32_controls.h"
#include "ui/win32/win32_handles.h"
#include "ui/win32/win32_text.h"

namespace quilmarr {

namespace {

static_assert(kListStyleGridLines == LVS_EX_GRIDLINES);
static_assert(kListStyleCheckBoxes == LVS_EX_CHECKBOXES);
static_assert(kColumnAutosizeUseHeader == LVSCW_AUTOSIZE_USEHEADER);

// State image 1 is the empty box, 2 the ticked one (LVS_EX_CHECKBOXES).
constexpr UINT kUncheckedState = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kCheckedState = INDEXTOSTATEIMAGEMASK(2);

int ItemHeight(HWND list) {
  RECT bounds{};
  if (ListView_GetItemCount(list) == 0 || !ListView_GetItemRect(list, 0, &bounds, LVIR_BOUNDS)) {
    return 0;
  }
  return bounds.bottom - bounds.top;
}

// The width at which a column's header shows its whole text: the text in the
// header's font and the header's text margins (three edges each side).
int HeaderFitWidth(HWND list, int column) {
  const HWND header = ListView_GetHeader(list);
  std::array<wchar_t, 256> text{};
  HDITEMW item{};
  item.mask = HDI_TEXT;
  item.pszText = text.data();
  item.cchTextMax = static_cast<int>(text.size());
  if (header == nullptr || !Header_GetItem(header, column, &item)) return 0;
  const WindowDc dc(header);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0));
  const SelectedObject selected(dc.Dc(), font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
  SIZE extent{};
  GetTextExtentPoint32W(dc.Dc(), text.data(), static_cast<int>(wcslen(text.data())), &extent);
  return extent.cx + 2 * 3 * GetSystemMetrics(SM_CXEDGE);
}

int HorizontalOffset(HWND list) {
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_POS;
  return GetScrollInfo(list, SB_HORZ, &info) ? info.nPos : 0;
}

}  // namespace

void Win32ListControl::AddReportStyle() {
  const LONG_PTR style = GetWindowLongPtrW(list_, GWL_STYLE);
  SetWindowLongPtrW(list_, GWL_STYLE, (style & ~LONG_PTR{LVS_TYPEMASK}) | LVS_REPORT);
}

void Win32ListControl::SetExtendedStyle(unsigned style) {
  // Whole rows are selected, as the device is the unit the user picks.
  const DWORD extended =
      (style & (kListStyleGridLines | kListStyleCheckBoxes)) | LVS_EX_FULLROWSELECT;
  ListView_SetExtendedListViewStyle(list_, extended);
}

int Win32ListControl::InsertColumn(int index, std::u16string_view header, int width) {
  std::wstring text = ToWide(header);
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
  column.fmt = LVCFMT_CENTER;
  column.cx = width;
  column.pszText = text.data();
  return ListView_InsertColumn(list_, index, &column);
}

void Win32ListControl::DeleteColumn(int index) { ListView_DeleteColumn(list_, index); }

void Win32ListControl::SetColumnWidth(int index, int width) {
  ListView_SetColumnWidth(list_, index, width);
  const bool last = index == ColumnCount() - 1;
  if (last) {
    lastColumnFills_ = width == kColumnAutosizeUseHeader;
  } else if (width == kColumnAutosizeUseHeader) {
    // Some list views fit the header without its margins and cut the text short.
    const int fit = HeaderFitWidth(list_, index);
    if (ListView_GetColumnWidth(list_, index) < fit) ListView_SetColumnWidth(list_, index, fit);
  }
}

void Win32ListControl::RefitLastColumn() {
  const int last = ColumnCount() - 1;
  if (lastColumnFills_ && last >= 0) {
    ListView_SetColumnWidth(list_, last, LVSCW_AUTOSIZE_USEHEADER);
  }
}

int Win32ListControl::ColumnCount() const {
  const HWND header = ListView_GetHeader(list_);
  return header != nullptr ? Header_GetItemCount(header) : 0;
}

void Win32ListControl::DeleteAllItems() { ListView_DeleteAllItems(list_); }

int Win32ListControl::GetItemCount() const { return ListView_GetItemCount(list_); }

int Win32ListControl::InsertItem(int index, std::u16string_view text) {
  std::wstring first = ToWide(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = first.data();
  return ListView_InsertItem(list_, &item);
}

void Win32ListControl::SetItemText(int row, int column, std::u16string_view text) {
  std::wstring cell = ToWide(text);
  ListView_SetItemText(list_, row, column, cell.data());
}

std::u16string Win32ListControl::GetItemText(int row, int column) const {
  // LVM_GETITEMTEXT answers the length copied; a full buffer may mean a cut text.
  std::vector<wchar_t> buffer(64);
  for (;;) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    const auto copied = static_cast<std::size_t>(SendMessageW(
        list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    if (copied + 1 < buffer.size()) {
      return FromWide(std::wstring_view(buffer.data(), copied));
    }
    buffer.resize(buffer.size() * 2);
  }
}

void Win32ListControl::SetCheck(int row, bool checked) {
  ListView_SetItemState(list_, row, checked ? kCheckedState : kUncheckedState, LVIS_STATEIMAGEMASK);
}

bool Win32ListControl::GetCheck(int row) const {
  return (ListView_GetItemState(list_, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) ==
         kCheckedState;
}

void Win32ListControl::Enable(bool enabled) { EnableDialogControl(list_, enabled); }
bool Win32ListControl::IsEnabled() const { return IsWindowEnabled(list_) != FALSE; }

void Win32ListControl::BeginRebuild() {
  if (rebuildDepth_++ > 0) {
    return;
  }
  saved_ = {};
  saved_.topIndex = ListView_GetTopIndex(list_);
  saved_.horizontalOffset = HorizontalOffset(list_);
  saved_.focusedRow = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
  if (saved_.focusedRow >= 0) {
    saved_.focusedKey = GetItemText(saved_.focusedRow, 0);
    saved_.focusedSelected =
        (ListView_GetItemState(list_, saved_.focusedRow, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  }
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
}

void Win32ListControl::EndRebuild() {
  if (rebuildDepth_ == 0 || --rebuildDepth_ > 0) {
    return;
  }
  const int count = GetItemCount();
  // The focus follows its device; if the device has gone, it stays at its place.
  int focused = -1;
  for (int row = 0; row < count && !saved_.focusedKey.empty(); ++row) {
    if (EqualsNoCase(GetItemText(row, 0), saved_.focusedKey)) {
      focused = row;
      break;
    }
  }
  if (focused < 0 && saved_.focusedRow >= 0 && count > 0) {
    focused = std::min(saved_.focusedRow, count - 1);
  }
  if (focused >= 0) {
    const UINT state = LVIS_FOCUSED | (saved_.focusedSelected ? LVIS_SELECTED : 0u);
    ListView_SetItemState(list_, focused, state, LVIS_FOCUSED | LVIS_SELECTED);
  }

  const int itemHeight = ItemHeight(list_);
  const int rowsDown =
      std::min(saved_.topIndex, std::max(0, count - 1)) - ListView_GetTopIndex(list_);
  const int right = saved_.horizontalOffset - HorizontalOffset(list_);
  if ((rowsDown != 0 && itemHeight > 0) || right != 0) {
    ListView_Scroll(list_, right, rowsDown * itemHeight);
  }

  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(list_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

}  // namespace quilmarr
