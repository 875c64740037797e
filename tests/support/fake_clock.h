#pragma once
#include "platform/clock.h"

namespace quilmarr::test {

class FakeClock final : public Clock {
 public:
  explicit FakeClock(UnixSeconds now = 1'700'000'000) : now_(now) {}
  [[nodiscard]] UnixSeconds Now() const override { return now_; }
  void Set(UnixSeconds now) { now_ = now; }
  void Advance(UnixSeconds seconds) { now_ += seconds; }

 private:
  UnixSeconds now_;
};

}  // namespace quilmarr::test
