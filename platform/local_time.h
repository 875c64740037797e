#pragma once
// Times as engineers read them: the machine's local time with its offset.
#include <string>

#include "platform/clock.h"

namespace quilmarr {

// ISO 8601 with the UTC offset, e.g. 2026-12-07T09:15:30+01:00.
[[nodiscard]] std::string Iso8601LocalTime(UnixSeconds time);

// The next moment after `now` at which the local clock reads hour:minute
// (today's if it is still ahead, else tomorrow's).
[[nodiscard]] UnixSeconds NextLocalTimeOfDay(int hour, int minute, UnixSeconds now);

// For file names, which cannot hold a colon on Windows: 20261207-091530.
[[nodiscard]] std::string FileNameLocalTime(UnixSeconds time);

}  // namespace quilmarr
