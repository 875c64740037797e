#include "modal_watcher.h"

#include <array>

namespace quilmarr::test {

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";

std::wstring ClassName(HWND window) {
  std::array<wchar_t, 64> name{};
  const int length = GetClassNameW(window, name.data(), static_cast<int>(name.size()));
  return std::wstring(name.data(), static_cast<std::size_t>(length > 0 ? length : 0));
}

std::wstring Text(HWND window) {
  std::array<wchar_t, 512> text{};
  const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return std::wstring(text.data(), static_cast<std::size_t>(length > 0 ? length : 0));
}

}  // namespace

ModalWatcher::ModalWatcher(WORD closeWith) : closeWith_(closeWith) {
  active_ = this;
  hook_.Reset(SetWindowsHookExW(WH_CBT, &Hook, nullptr, GetCurrentThreadId()));
}

ModalWatcher::~ModalWatcher() { active_ = nullptr; }

LRESULT CALLBACK ModalWatcher::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && active_ != nullptr) {
    const auto window = reinterpret_cast<HWND>(wParam);
    if (ClassName(window) == kDialogClass && GetWindow(window, GW_OWNER) != nullptr) {
      active_->Record(window);
      if (GetDlgItem(window, IDYES) == nullptr) {
        PostMessageW(window, WM_COMMAND, active_->closeWith_, 0);
      } else if (active_->answer) {
        active_->answer(window);
      } else {
        PostMessageW(window, WM_COMMAND, IDYES, 0);
      }
    }
  }
  // A box focuses its default button, the one Enter presses, as it starts.
  if (code == HCBT_SETFOCUS && active_ != nullptr) {
    const auto window = reinterpret_cast<HWND>(wParam);
    if (_wcsicmp(ClassName(window).c_str(), L"Button") == 0) active_->focused_ = window;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void ModalWatcher::Record(HWND dialog) {
  SeenDialog shown;
  shown.caption = Text(dialog);
  if (focused_ != nullptr && GetParent(focused_) == dialog) shown.defaultButton = Text(focused_);
  shown.owner = GetWindow(dialog, GW_OWNER);
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    // The dialog itself is not shown yet when it is activated.
    if ((GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) == 0) continue;
    const std::wstring type = ClassName(child);
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    if (_wcsicmp(type.c_str(), L"Static") == 0) {
      if ((style & SS_TYPEMASK) == SS_ICON) {
        shown.showsIcon = shown.showsIcon || SendMessageW(child, STM_GETICON, 0, 0) != 0;
      } else {
        shown.texts.push_back(Text(child));
      }
    } else if (_wcsicmp(type.c_str(), L"Button") == 0) {
      shown.buttons.push_back(Text(child));
    }
  }
  seen.push_back(std::move(shown));
}

}  // namespace quilmarr::test
