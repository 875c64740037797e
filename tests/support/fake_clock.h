#pragma once
#include <atomic>

#include "platform/clock.h"

namespace quilmarr::test {

class FakeClock final : public Clock {
 public:
  explicit FakeClock(UnixSeconds now = 1'700'000'000) : now_(now) {}
  [[nodiscard]] UnixSeconds Now() const override { return now_.load(); }
  void Set(UnixSeconds now) { now_.store(now); }
  void Advance(UnixSeconds seconds) { now_.fetch_add(seconds); }

 private:
  std::atomic<UnixSeconds> now_;
};

}  // namespace quilmarr::test
