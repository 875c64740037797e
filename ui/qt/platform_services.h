#pragma once
// The services the tool runs with: the platform's settings folder and INI
// store, the clock, the process launcher, and the capture library's adapters
// and live capture. Declared in the order they depend on each other.
#include <memory>
#include <utility>

#include "discovery/pcap/capture_library.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "ui/qt/qt_batch_dialog.h"
#include "update/settings_file.h"

namespace quilmarr {

struct PlatformServices {
  std::unique_ptr<AppDataFolderLocator> locator = MakePlatformFolderLocator();
  std::unique_ptr<IniStore> ini = MakePlatformIniStore();
  SettingsFile settings{*locator, *ini};
  SystemClock clock;
  std::unique_ptr<ProcessLauncher> launcher = MakePlatformProcessLauncher();
  CaptureLibrary capture;
  InterfaceLister& interfaces = capture.Interfaces();

  // For the main window, with other adapters or another capture source.
  [[nodiscard]] QtDialogServices Dialog(InterfaceLister& adapters, PacketSourceFactory openSource) {
    return {adapters, std::move(openSource), clock, settings, *launcher};
  }
  [[nodiscard]] QtDialogServices Dialog() {
    return Dialog(interfaces, capture.LiveSources());
  }
};

}  // namespace quilmarr
