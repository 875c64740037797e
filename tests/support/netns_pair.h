#pragma once
// Test helper: two fresh network namespaces joined by a veth pair, deleted
// again by the destructor. All test traffic stays on this pair.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "discovery/packet_source.h"

namespace quilmarr::test {

class NetnsPair {
 public:
  // nullptr and `whyNot` set when the namespaces cannot be made (not root, no ip tool).
  [[nodiscard]] static std::unique_ptr<NetnsPair> Create(std::string& whyNot);
  NetnsPair(const NetnsPair&) = delete;
  NetnsPair& operator=(const NetnsPair&) = delete;
  ~NetnsPair();

  std::string captureNamespace;
  std::string senderNamespace;
  std::string captureInterface;
  std::string senderInterface;
  std::string captureAddress;  // IPv4 of captureInterface

  // Deletes the capture end of the pair (and with it the sender end).
  [[nodiscard]] bool DeleteCaptureInterface() const;
  // The command line of ied-sim announcing on the sender end, with its own
  // `options` (--count, --base-ip ...).
  [[nodiscard]] std::vector<std::string> IedSimCommand(const std::string& iedSim,
                                                       std::vector<std::string> options) const;

 private:
  NetnsPair() = default;
};

// Runs `task` on a thread that has entered the named network namespace.
void RunInNamespace(const std::string& ns, const std::function<void()>& task);

// Enters the named namespace on the calling (worker) thread before opening `inner`.
[[nodiscard]] std::unique_ptr<PacketSource> InNamespace(std::string ns,
                                                        std::unique_ptr<PacketSource> inner);

}  // namespace quilmarr::test
