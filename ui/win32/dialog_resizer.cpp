#include "ui/win32/dialog_resizer.h"

#include <algorithm>
#include <array>
#include <string>

#include "ui/win32/win32_handles.h"
#include "ui/win32/win32_text.h"

namespace quilmarr {

void WidenClippedLabels(HWND dialog) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    std::array<wchar_t, 16> type{};
    GetClassNameW(child, type.data(), static_cast<int>(type.size()));
    if (_wcsicmp(type.data(), L"Static") != 0 || (style & SS_TYPEMASK) != SS_LEFT) continue;
    const std::wstring text = ToWide(WindowText(child));
    const WindowDc dc(child);
    const SelectedObject font(dc.Dc(),
                              reinterpret_cast<HGDIOBJ>(SendMessageW(child, WM_GETFONT, 0, 0)));
    RECT needed{};
    const UINT prefix = (style & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0u;
    DrawTextW(dc.Dc(), text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_SINGLELINE | prefix);
    RECT rect{};
    GetWindowRect(child, &rect);
    const int width = rect.right - rect.left;
    if (needed.right > width) {
      SetWindowPos(child, nullptr, 0, 0, needed.right, rect.bottom - rect.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
}

void DialogResizer::Capture(HWND dialog, HWND growing) {
  dialog_ = dialog;
  RECT client{};
  GetClientRect(dialog, &client);
  templateClient_ = {client.right - client.left, client.bottom - client.top};
  RECT window{};
  GetWindowRect(dialog, &window);
  templateWindow_ = {window.right - window.left, window.bottom - window.top};

  RECT growingRect{};
  GetWindowRect(growing, &growingRect);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&growingRect), 2);

  placements_.clear();
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
    const bool grows = child == growing;
    const bool moves = !grows && rect.top >= growingRect.bottom;
    if (grows || moves) placements_.push_back({child, rect, grows, moves});
  }
}

void DialogResizer::Apply() const {
  if (dialog_ == nullptr || placements_.empty()) return;
  RECT client{};
  GetClientRect(dialog_, &client);
  const int dx = std::max(0L, client.right - client.left - templateClient_.cx);
  const int dy = std::max(0L, client.bottom - client.top - templateClient_.cy);

  HDWP positions = BeginDeferWindowPos(static_cast<int>(placements_.size()));
  for (const Placement& placement : placements_) {
    const RECT& r = placement.rect;
    const int width = r.right - r.left + (placement.grows ? dx : 0);
    const int height = r.bottom - r.top + (placement.grows ? dy : 0);
    const int top = r.top + (placement.moves ? dy : 0);
    if (positions != nullptr) {
      positions = DeferWindowPos(positions, placement.control, nullptr, r.left, top, width, height,
                                 SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if (positions != nullptr) EndDeferWindowPos(positions);
  // Moved controls leave their old places behind.
  InvalidateRect(dialog_, nullptr, TRUE);
}

void DialogResizer::LimitTracking(MINMAXINFO& limits) const {
  if (templateWindow_.cx > 0) {
    limits.ptMinTrackSize = {templateWindow_.cx, templateWindow_.cy};
  }
}

}  // namespace quilmarr
