#pragma once
// The main window's services from the platform's, optionally with other
// adapters or another capture source.
#include <utility>

#include "app/platform_services.h"
#include "ui/qt/qt_batch_dialog.h"

namespace quilmarr {

[[nodiscard]] inline FrontEndServices QtServicesFor(PlatformServices& services,
                                                    InterfaceLister& interfaces,
                                                    PacketSourceFactory openSource) {
  return {interfaces,        std::move(openSource), services.clock,
          services.settings, *services.launcher,    *services.sleep};
}

[[nodiscard]] inline FrontEndServices QtServicesFor(PlatformServices& services) {
  return FrontEndServicesOf(services);
}

}  // namespace quilmarr
