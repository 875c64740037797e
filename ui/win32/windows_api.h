#pragma once
// <windows.h> for the front end. Its MessageBox macro would rename the
// controller's DialogHost::MessageBox in some translation units and not in
// others; the front end calls MessageBoxW by its own name.
#include <windows.h>

#undef MessageBox
