#pragma once
// Stand-ins for the dialog's outside world: interfaces, clock, capture,
// process start and the settings folder.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "discovery/adapters.h"
#include "discovery/packet_source.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_folder_locator.h"
#include "tests/support/fake_interface_lister.h"
#include "tests/support/fake_launcher.h"

namespace quilmarr::test {

// What the next capture does: whether it opens, the frames it delivers, and
// whether a read then fails. Afterwards it reports read time-outs.
struct CaptureScript {
  bool opens = true;
  std::vector<std::vector<std::uint8_t>> frames;
  bool failAfterFrames = false;
};

class ScriptedPacketSource final : public PacketSource {
 public:
  ScriptedPacketSource(CaptureScript script, std::shared_ptr<std::vector<std::string>> opened)
      : script_(std::move(script)), opened_(std::move(opened)) {}
  [[nodiscard]] bool Open(const std::string& narrowDeviceName) override {
    opened_->push_back(narrowDeviceName);
    return script_.opens;
  }
  [[nodiscard]] ReadResult Read() override {
    if (next_ < script_.frames.size()) {
      return {ReadStatus::Frame, script_.frames[next_++]};
    }
    if (script_.failAfterFrames) {
      return {ReadStatus::Error, {}};
    }
    // Stands in for the capture library's read time-out on a quiet adapter.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return {ReadStatus::Timeout, {}};
  }
  void Close() override {}

 private:
  CaptureScript script_;
  std::shared_ptr<std::vector<std::string>> opened_;
  std::size_t next_ = 0;
};

}  // namespace quilmarr::test
