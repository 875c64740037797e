#pragma once
// The sleep inhibitor as the test plays it: counts the holds taken and those
// still held, or refuses with the reason the test gives.
#include <memory>
#include <string>

#include "platform/sleep_inhibitor.h"

namespace quilmarr::test {

class FakeSleepInhibitor final : public SleepInhibitor {
 public:
  SleepHoldAttempt Hold(std::u16string_view /*why*/) override {
    if (!refusal.empty()) return {nullptr, refusal};
    ++taken;
    return {std::make_unique<CountedHold>(held), {}};
  }

  std::u16string refusal;  // when set, no hold is taken
  int taken = 0;
  int held = 0;

 private:
  class CountedHold final : public SleepHold {
   public:
    explicit CountedHold(int& held) : held_(++held) {}
    ~CountedHold() override { --held_; }

   private:
    int& held_;
  };
};

}  // namespace quilmarr::test
