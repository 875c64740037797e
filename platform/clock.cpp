#include "platform/clock.h"

#include <ctime>

namespace quilmarr {

UnixSeconds SystemClock::Now() const {
  static_assert(sizeof(std::time_t) == 8, "64-bit time is required");
  return static_cast<UnixSeconds>(std::time(nullptr));
}

}  // namespace quilmarr
