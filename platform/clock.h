#pragma once
#include <cstdint>

namespace quilmarr {

// Seconds since 1970-01-01 00:00 UTC, signed 64-bit.
using UnixSeconds = std::int64_t;

class Clock {
 public:
  virtual ~Clock() = default;
  [[nodiscard]] virtual UnixSeconds Now() const = 0;
};

// The C library's 64-bit time().
class SystemClock final : public Clock {
 public:
  [[nodiscard]] UnixSeconds Now() const override;
};

}  // namespace quilmarr
