#include "platform/ini_engine.h"

namespace quilmarr {

std::unique_ptr<IniStore> MakePlatformIniStore() { return std::make_unique<IniEngineStore>(); }

}  // namespace quilmarr
