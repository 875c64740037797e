#pragma once
// The outside world of a dialog under test, as every front end's tests build
// it: adapters as the test lists them, a scripted capture, a clock and an
// updater launcher and a sleep inhibitor that the test controls, and a real
// settings file in a temporary folder.
#include <chrono>
#include <memory>
#include <string>

#include "platform/sleep_inhibitor.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_interface_lister.h"
#include "tests/support/fake_launcher.h"
#include "tests/support/scripted_capture.h"
#include "tests/support/temp_settings.h"

namespace quilmarr::test {

// How long a test waits for a worker before it fails.
inline constexpr std::chrono::milliseconds kPatience{10'000};

// Counts the holds still held, or refuses with the reason the test gives.
class FakeSleepInhibitor final : public SleepInhibitor {
 public:
  SleepHoldAttempt Hold(std::u16string_view /*why*/) override {
    if (!refusal.empty()) return {nullptr, refusal};
    return {std::make_unique<Counted>(held), {}};
  }
  std::u16string refusal;
  int held = 0;

 private:
  struct Counted final : SleepHold {
    explicit Counted(int& count) : count_(++count) {}
    ~Counted() override { --count_; }
    int& count_;
  };
};

}  // namespace quilmarr::test
