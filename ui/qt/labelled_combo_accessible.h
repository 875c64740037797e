#pragma once
#include <QComboBox>

namespace quilmarr {

// An editable combo box tells assistive technology its current text as its
// name on some platforms, so a screen reader would read the selected adapter
// instead of its label. This keeps the widget's accessible name as the name
// and offers the current text as the value, while the drop-down list and its
// items stay reachable as children, as with Qt's own interface.
void KeepAccessibleName(QComboBox& combo);

}  // namespace quilmarr
