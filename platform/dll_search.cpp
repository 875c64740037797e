#include "platform/dll_search.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace quilmarr {

void HardenDllSearch() noexcept {
#ifdef _WIN32
  static_cast<void>(
      SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS));
#endif
}

}  // namespace quilmarr
