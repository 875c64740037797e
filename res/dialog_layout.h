#pragma once
// The dialog templates of quilmarr.rc as numbers, for the front ends that do
// not load the .rc: x, y, width and height in dialog units. The .rc is the
// layout; a test checks that these agree with it.
#include "res/resource.h"

namespace quilmarr::layout {

struct DialogRect {
  int x, y, width, height;
  friend bool operator==(const DialogRect&, const DialogRect&) = default;
};

// IDD_MAIN_DIALOG
inline constexpr DialogRect kMainDialog{0, 0, 525, 322};
inline constexpr DialogRect kBatchUpdateButton{201, 292, 97, 23};
inline constexpr DialogRect kQueryButton{432, 30, 68, 14};
inline constexpr DialogRect kAdapterCombo{26, 30, 398, 30};  // height includes the drop-down
inline constexpr DialogRect kAdapterLabel{17, 17, 58, 8};
inline constexpr DialogRect kDevicesLabel{15, 57, 64, 8};
inline constexpr DialogRect kDeviceList{24, 73, 474, 162};
inline constexpr DialogRect kFileLabel{17, 248, 14, 8};
inline constexpr DialogRect kFileEdit{23, 260, 419, 14};
inline constexpr DialogRect kBrowseButton{447, 260, 50, 14};

// IDD_ABOUTBOX
inline constexpr DialogRect kAboutBox{0, 0, 170, 62};
inline constexpr DialogRect kAboutIcon{14, 14, 21, 20};
inline constexpr DialogRect kAboutVersion{42, 14, 114, 8};
inline constexpr DialogRect kAboutNotice{42, 26, 114, 8};
inline constexpr DialogRect kAboutOk{113, 41, 50, 14};

}  // namespace quilmarr::layout
