#pragma once
// The services the tool runs with: the platform's settings folder and INI
// store, the clock, the process launcher, the sleep inhibitor, and the
// capture library's adapters and live capture. Declared in the order they
// depend on each other.
#include <memory>

#include "discovery/capture_worker.h"
#include "discovery/pcap/live_capture.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "platform/sleep_inhibitor.h"
#include "session/batch_session.h"
#include "update/settings_file.h"

namespace quilmarr {

struct PlatformServices {
  std::unique_ptr<AppDataFolderLocator> locator = MakePlatformFolderLocator();
  std::unique_ptr<IniStore> ini = MakePlatformIniStore();
  SettingsFile settings{*locator, *ini};
  SystemClock clock;
  std::unique_ptr<ProcessLauncher> launcher = MakePlatformProcessLauncher();
  std::unique_ptr<InterfaceLister> interfaces = MakeLiveInterfaceLister();
  PacketSourceFactory openPacketSource = &MakeLivePacketSource;
  std::unique_ptr<SleepInhibitor> sleep = MakePlatformSleepInhibitor();
};

// What a front end hands its batch session, from the platform's services.
[[nodiscard]] inline FrontEndServices FrontEndServicesOf(PlatformServices& services) {
  return {*services.interfaces, services.openPacketSource, services.clock,
          services.settings,    *services.launcher,        *services.sleep};
}

}  // namespace quilmarr
