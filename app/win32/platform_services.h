#pragma once
// The services the Windows program runs with: the platform's settings folder
// and INI functions, the clock, the process launcher, and the capture library
// (wpcap.dll). Declared in the order they depend on each other. A test driver
// can build the real dialog on these the way the program does.
#include <memory>
#include <utility>

#include "discovery/pcap/capture_library.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "ui/win32/win32_batch_dialog.h"
#include "update/settings_file.h"

namespace quilmarr {

struct Win32PlatformServices {
  std::unique_ptr<AppDataFolderLocator> locator = MakePlatformFolderLocator();
  std::unique_ptr<IniStore> ini = MakePlatformIniStore();
  SettingsFile settings{*locator, *ini};
  SystemClock clock;
  std::unique_ptr<ProcessLauncher> launcher = MakePlatformProcessLauncher();
  CaptureLibrary capture;

  [[nodiscard]] Win32DialogServices Dialog() {
    Win32DialogServices services{capture.Interfaces(), capture.LiveSources(), clock, settings,
                                 *launcher};
    if (capture.LibraryMissing()) services.captureLibraryMissing = kCaptureLibraryMissing;
    return services;
  }
};

}  // namespace quilmarr
