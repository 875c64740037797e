#pragma once
// The sleep inhibitor as the test plays it: counts the holds still held, or
// refuses with the reason the test gives.
#include <memory>
#include <string>

#include "platform/sleep_inhibitor.h"

namespace quilmarr::test {

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
