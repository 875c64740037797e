#pragma once
#include <atomic>

#include "platform/clock.h"

namespace quilmarr::test {

class FakeClock final : public Clock {
 public:
  explicit FakeClock(UnixSeconds now = 1'700'000'000) : now_(now) {}
  [[nodiscard]] UnixSeconds Now() const override { return now_.load(); }
  [[nodiscard]] std::int64_t SteadySeconds() const override { return steady_.load(); }
  // Sets the wall clock only, as a user or a time server would.
  void Set(UnixSeconds now) { now_.store(now); }
  void Advance(UnixSeconds seconds) {
    now_.fetch_add(seconds);
    steady_.fetch_add(seconds);
  }

 private:
  std::atomic<UnixSeconds> now_;
  std::atomic<std::int64_t> steady_{0};
};

}  // namespace quilmarr::test
