#pragma once
// Catches the modal dialogs a test provokes (message boxes, the about box,
// the file dialog): records what each shows when it is activated, then closes
// it as a user would, so none is left open.
#include <functional>
#include <string>
#include <vector>

#include "ui/win32/win32_handles.h"
#include "ui/win32/windows_api.h"

namespace quilmarr::test {

struct SeenDialog {
  std::wstring caption;
  std::vector<std::wstring> texts;    // static controls, in window order
  std::vector<std::wstring> buttons;  // button texts, in window order
  std::wstring defaultButton;         // the button it focuses
  HWND owner = nullptr;
  bool showsIcon = false;
};

class ModalWatcher {
 public:
  // `closeWith`: the command that closes each dialog (IDOK, or IDCANCEL as Esc
  // does); one with a Yes button is answered by `answer`, or else with Yes.
  explicit ModalWatcher(WORD closeWith = IDOK);
  ModalWatcher(const ModalWatcher&) = delete;
  ModalWatcher& operator=(const ModalWatcher&) = delete;
  ~ModalWatcher();

  std::vector<SeenDialog> seen;
  std::function<void(HWND dialog)> answer;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  void Record(HWND dialog);

  WORD closeWith_;
  HWND focused_ = nullptr;  // the last button given the focus
  UniqueHook hook_;
  static inline ModalWatcher* active_ = nullptr;
};

}  // namespace quilmarr::test
