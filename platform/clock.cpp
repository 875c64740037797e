#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace quilmarr {

UnixSeconds SystemClock::Now() const {
  static_assert(sizeof(std::time_t) == 8, "64-bit time is required");
  return static_cast<UnixSeconds>(std::time(nullptr));
}

std::int64_t SystemClock::SteadySeconds() const {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace quilmarr
