#pragma once
// The Windows window's services from the platform's. A test driver can build
// the real dialog on these the way the program does.
#include "app/platform_services.h"
#include "ui/win32/win32_batch_dialog.h"

namespace quilmarr {

[[nodiscard]] inline Win32DialogServices Win32ServicesFor(PlatformServices& services) {
  Win32DialogServices dialog{FrontEndServicesOf(services), nullptr};
  if (LiveCaptureLibraryMissing()) dialog.captureLibraryMissing = kCaptureLibraryMissing;
  return dialog;
}

}  // namespace quilmarr
