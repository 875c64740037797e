#pragma once
// The outside world of a dialog under test, as every front end's tests build
// it: adapters as the test lists them, a scripted capture, a clock and an
// updater launcher and a sleep inhibitor that the test controls, and a real
// settings file in a temporary folder.
#include <chrono>

#include "tests/support/fake_clock.h"
#include "tests/support/fake_interface_lister.h"
#include "tests/support/fake_launcher.h"
#include "tests/support/fake_sleep_inhibitor.h"
#include "tests/support/scripted_capture.h"
#include "tests/support/temp_settings.h"

namespace quilmarr::test {

// How long a test waits for a worker before it fails.
inline constexpr std::chrono::milliseconds kPatience{10'000};

}  // namespace quilmarr::test
