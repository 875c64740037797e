#pragma once
// Resizing a dialog from its template layout: one control grows with the
// window, the controls below it move down with the bottom edge, the rest keep
// their place. The template size is the smallest size.
#include "ui/win32/windows_api.h"

#include <vector>

namespace quilmarr {

// Widens each text label of `dialog` that its font would cut short (a font
// wider than the template's), keeping its place: labels only ever grow.
void WidenClippedLabels(HWND dialog);

class DialogResizer {
 public:
  // Takes the layout as the template placed it.
  void Capture(HWND dialog, HWND growing);
  // Places the controls for the dialog's current client size.
  void Apply() const;
  // The template's window size, as the smallest tracking size.
  void LimitTracking(MINMAXINFO& limits) const;

 private:
  struct Placement {
    HWND control;
    RECT rect;  // client coordinates of the dialog, as in the template
    bool grows;
    bool moves;
  };

  HWND dialog_ = nullptr;
  SIZE templateClient_{};
  SIZE templateWindow_{};
  std::vector<Placement> placements_;
};

}  // namespace quilmarr
