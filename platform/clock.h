#pragma once
#include <cstdint>

namespace quilmarr {

// Seconds since 1970-01-01 00:00 UTC, signed 64-bit.
using UnixSeconds = std::int64_t;

class Clock {
 public:
  virtual ~Clock() = default;
  [[nodiscard]] virtual UnixSeconds Now() const = 0;
  // Seconds from an arbitrary start that never jump: a time window measured
  // with it neither ends early nor lasts for hours when the wall clock is set.
  [[nodiscard]] virtual std::int64_t SteadySeconds() const = 0;
};

// The C library's 64-bit time().
class SystemClock final : public Clock {
 public:
  [[nodiscard]] UnixSeconds Now() const override;
  [[nodiscard]] std::int64_t SteadySeconds() const override;
};

}  // namespace quilmarr
