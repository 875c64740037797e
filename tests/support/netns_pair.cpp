#include "tests/support/netns_pair.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"

namespace quilmarr::test {
namespace {

bool Ip(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{"ip"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunCommand(argv).status == 0;
}

bool NoIpv6(const std::string& ns) {
  return Ip({"netns", "exec", ns, "sysctl", "-qw", "net.ipv6.conf.all.disable_ipv6=1"}) &&
         Ip({"netns", "exec", ns, "sysctl", "-qw", "net.ipv6.conf.default.disable_ipv6=1"});
}

bool EnterNamespace(const std::string& ns) {
  const int fd = open(("/var/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool entered = setns(fd, CLONE_NEWNET) == 0;
  close(fd);
  return entered;
}

class NamespacedSource final : public PacketSource {
 public:
  NamespacedSource(std::string ns, std::unique_ptr<PacketSource> inner)
      : ns_(std::move(ns)), inner_(std::move(inner)) {}
  bool Open(const std::string& name) override { return EnterNamespace(ns_) && inner_->Open(name); }
  ReadResult Read() override { return inner_->Read(); }
  ReadStatus ReadBatch(const FrameHandler& onFrame) override { return inner_->ReadBatch(onFrame); }
  void Close() override { inner_->Close(); }

 private:
  std::string ns_;
  std::unique_ptr<PacketSource> inner_;
};

}  // namespace

std::unique_ptr<NetnsPair> NetnsPair::Create(std::string& whyNot) {
  if (geteuid() != 0) {
    whyNot = "live capture tests need root (network namespaces, veth pairs, raw capture)";
    return nullptr;
  }
  static std::atomic<int> counter{0};
  const std::string tag = std::to_string(getpid() % 100000) + "x" + std::to_string(++counter);
  std::unique_ptr<NetnsPair> pair(new NetnsPair);
  pair->captureNamespace = "qlmcap-" + tag;
  pair->senderNamespace = "qlmsim-" + tag;
  pair->captureInterface = "qc" + tag;  // at most 15 characters
  pair->senderInterface = "qs" + tag;
  pair->captureAddress = "10.213." + std::to_string(counter % 250) + ".1";
  const bool made =
      Ip({"netns", "add", pair->captureNamespace}) && Ip({"netns", "add", pair->senderNamespace}) &&
      Ip({"link", "add", pair->captureInterface, "netns", pair->captureNamespace, "type", "veth",
          "peer", "name", pair->senderInterface, "netns", pair->senderNamespace}) &&
      // No IPv6: the pair carries only the test's own frames, so a quiet
      // adapter is completely silent.
      NoIpv6(pair->captureNamespace) && NoIpv6(pair->senderNamespace) &&
      Ip({"-n", pair->captureNamespace, "addr", "add", pair->captureAddress + "/24", "dev",
          pair->captureInterface}) &&
      Ip({"-n", pair->captureNamespace, "link", "set", pair->captureInterface, "up"}) &&
      Ip({"-n", pair->senderNamespace, "link", "set", pair->senderInterface, "up"});
  if (!made) {
    whyNot = "cannot create network namespaces and a veth pair with the ip tool";
    return nullptr;  // the destructor removes what was made
  }
  return pair;
}

NetnsPair::~NetnsPair() {
  static_cast<void>(Ip({"netns", "delete", captureNamespace}));
  static_cast<void>(Ip({"netns", "delete", senderNamespace}));
}

std::vector<std::string> NetnsPair::IedSimCommand(const std::string& iedSim,
                                                  std::vector<std::string> options) const {
  std::vector<std::string> argv{"ip",   "netns",       "exec",         senderNamespace,
                                iedSim, "--interface", senderInterface};
  argv.insert(argv.end(), options.begin(), options.end());
  return argv;
}

bool NetnsPair::DeleteCaptureInterface() const {
  return Ip({"-n", captureNamespace, "link", "delete", captureInterface});
}

void RunInNamespace(const std::string& ns, const std::function<void()>& task) {
  std::thread thread([&] {
    if (EnterNamespace(ns)) task();
  });
  thread.join();
}

std::unique_ptr<PacketSource> InNamespace(std::string ns, std::unique_ptr<PacketSource> inner) {
  return std::make_unique<NamespacedSource>(std::move(ns), std::move(inner));
}

}  // namespace quilmarr::test
