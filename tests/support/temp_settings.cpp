#include "tests/support/temp_settings.h"

namespace quilmarr::test {

TempSettings::TempSettings() {
  file_.ResolveFolder();
  std::filesystem::create_directories(std::filesystem::path(file_.Folder()));
}

}  // namespace quilmarr::test
