#pragma once
// The default push button follows the keyboard focus, as the Windows dialog
// manager keeps it: a focused push button is the default (Enter presses it);
// with the focus anywhere else, the dialog's default id (DM_GETDEFID) is.
#include "ui/win32/windows_api.h"

namespace quilmarr {

[[nodiscard]] bool IsPushButton(HWND control);

// Lets every push button of `dialog` report its focus changes (BN_SETFOCUS),
// so that a mouse click moves the default as the Tab key does.
void NotifyButtonFocus(HWND dialog);

// Gives the default look to the focused push button, or to the dialog's
// default id when the focus is elsewhere; every other push button loses it.
void MoveDefaultButton(HWND dialog, HWND focus);

}  // namespace quilmarr
