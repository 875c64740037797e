// ied-sim: simulated field devices that announce themselves with LLDP on one
// interface, as IEDs do, so the capture side can be exercised without a plant.
#include <CLI/CLI.hpp>
#include <pcap/pcap.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <thread>

#include "tools/ied-sim/device_state.h"
#include "discovery/lldp_constants.h"
#include "tools/ied-sim/lldp_announcement.h"

namespace quilmarr::iedsim {
namespace {

constexpr int kUsageError = 2;
using SteadyClock = std::chrono::steady_clock;
using PcapHandle = std::unique_ptr<pcap_t, decltype(&pcap_close)>;

std::atomic<bool> g_interrupted{false};

struct Options {
  std::string interfaceName;
  std::uint32_t count = 0;
  std::string baseIpText;
  Ipv4Address baseIp{};
  std::string chassisText = "02:00:00:00:00:00";
  MacAddress firstMac{};
  unsigned intervalMs = 1000;
  std::string namePrefix = "IED";
  std::string bootVersion = "1.0.0";
  std::string appVersion = "1.0.0";
  std::string stateDir;
  double seconds = 0;  // 0: until interrupted
  unsigned floodRate = 0;
};

constexpr const char* kStateDirHelp =
    "State folder (--state-dir DIR), read again before every frame, per device <ip>:\n"
    "  DIR/<ip>.app           application version to announce (one line, trailing newline\n"
    "                         optional); absent: the --app-version value\n"
    "  DIR/<ip>.silent-until  decimal unix time in seconds; while now < that time the device\n"
    "                         sends nothing\n"
    "Device k (from 0): source MAC and Chassis ID (MAC subtype) --chassis + k, management\n"
    "address base-ip + k, System Name NAME-k, System Description\n"
    "\"BootVer:V & AppVer:V & IDE Name:NAME_k\". Exit status: 0 done, 1 interface\n"
    "cannot be opened or written, 2 bad options.";

std::string Validate(Options& options) {
  const auto base = ParseIpv4(options.baseIpText);
  if (!base) return "--base-ip: not a dotted-decimal IPv4 address: " + options.baseIpText;
  options.baseIp = *base;
  if (!DeviceAddress(*base, options.count - 1))
    return "--base-ip + --count runs past 255.255.255.255";
  const auto mac = ParseMac(options.chassisText);
  // A multicast source address is no device's.
  if (!mac || ((*mac)[0] & 0x01) != 0) {
    return "--chassis: not a unicast MAC address (aa:bb:cc:dd:ee:ff): " + options.chassisText;
  }
  if (!DeviceMac(*mac, options.count - 1)) return "--chassis + --count runs past ff:ff:ff:ff:ff:ff";
  options.firstMac = *mac;
  const std::string last = std::to_string(options.count - 1);
  if (options.namePrefix.size() + 1 + last.size() > lldp::kMaxTlvValueLength ||
      SystemDescription(options.bootVersion, options.appVersion, options.namePrefix + "_" + last)
              .size() > lldp::kMaxTlvValueLength) {
    return "names and versions too long for one LLDP TLV (511 bytes)";
  }
  return {};
}

PcapHandle OpenForSending(const std::string& interfaceName) {
  char error[PCAP_ERRBUF_SIZE] = {};
  PcapHandle handle(pcap_create(interfaceName.c_str(), error), &pcap_close);
  if (!handle) {
    std::cerr << "ied-sim: cannot open " << interfaceName << ": " << error << '\n';
    return handle;
  }
  if (pcap_set_snaplen(handle.get(), 64) != 0 || pcap_activate(handle.get()) < 0) {
    std::cerr << "ied-sim: cannot open " << interfaceName << ": " << pcap_geterr(handle.get())
              << '\n';
    handle.reset();
  }
  return handle;
}

bool Send(pcap_t* handle, const std::vector<std::uint8_t>& frame) {
  return pcap_inject(handle, frame.data(), frame.size()) == static_cast<int>(frame.size());
}

// One announcement from every device that is not silent; false when the interface fails.
bool AnnounceAll(pcap_t* handle, const Options& options, std::uint64_t& sent) {
  const auto now = static_cast<std::int64_t>(std::time(nullptr));
  for (std::uint32_t k = 0; k < options.count; ++k) {
    Announcement a;
    a.source = *DeviceMac(options.firstMac, k);
    a.managementAddress = *DeviceAddress(options.baseIp, k);
    std::string appVersion = options.appVersion;
    if (!options.stateDir.empty()) {
      const auto state =
          ReadDeviceState(options.stateDir, FormatIpv4(a.managementAddress), appVersion, now);
      if (state.silent) continue;
      appVersion = state.appVersion;
    }
    const std::string index = std::to_string(k);
    a.systemName = options.namePrefix + "-" + index;
    a.systemDescription =
        SystemDescription(options.bootVersion, appVersion, options.namePrefix + "_" + index);
    if (!Send(handle, BuildAnnouncementFrame(a))) return false;
    ++sent;
  }
  return true;
}

bool Finished(SteadyClock::time_point deadline) {
  return g_interrupted.load() || SteadyClock::now() >= deadline;
}

constexpr std::uint64_t kFramesBetweenDeadlineChecks = 64;

// Paces background frames to `rate` per second until the deadline.
void Flood(pcap_t* handle, unsigned rate, SteadyClock::time_point deadline, std::uint64_t& sent,
           std::atomic<bool>& failed) {
  const auto frame = BuildFloodFrame(DeviceMac(0xFFFF));
  const auto start = SteadyClock::now();
  while (!Finished(deadline) && !failed.load()) {
    const std::chrono::duration<double> elapsed = SteadyClock::now() - start;
    const auto due = static_cast<std::uint64_t>(elapsed.count() * rate);
    for (; sent < due; ++sent) {
      // Within a burst too: behind a rate the link cannot carry, the burst
      // would otherwise grow with every round and run far past the deadline.
      if (sent % kFramesBetweenDeadlineChecks == 0 && Finished(deadline)) return;
      if (!Send(handle, frame)) {
        failed.store(true);
        return;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

int Run(const Options& options) {
  PcapHandle handle = OpenForSending(options.interfaceName);
  if (!handle) return 1;
  PcapHandle floodHandle(nullptr, &pcap_close);
  if (options.floodRate > 0) {
    floodHandle = OpenForSending(options.interfaceName);
    if (!floodHandle) return 1;
  }

  const auto start = SteadyClock::now();
  const auto deadline = options.seconds > 0
                            ? start + std::chrono::duration_cast<SteadyClock::duration>(
                                          std::chrono::duration<double>(options.seconds))
                            : SteadyClock::time_point::max();
  std::atomic<bool> failed{false};
  std::uint64_t floodSent = 0;
  std::thread flood;
  if (floodHandle) {
    flood = std::thread(Flood, floodHandle.get(), options.floodRate, deadline, std::ref(floodSent),
                        std::ref(failed));
  }

  std::uint64_t announced = 0;
  auto next = start;
  while (!Finished(deadline) && !failed.load()) {
    if (!AnnounceAll(handle.get(), options, announced)) failed.store(true);
    next += std::chrono::milliseconds(options.intervalMs);
    while (!Finished(deadline) && !failed.load() && SteadyClock::now() < next) {
      std::this_thread::sleep_until(
          std::min(next, SteadyClock::now() + std::chrono::milliseconds(50)));
    }
  }
  if (flood.joinable()) flood.join();
  std::printf("announcements %llu flood %llu\n", static_cast<unsigned long long>(announced),
              static_cast<unsigned long long>(floodSent));
  if (failed.load()) {
    std::cerr << "ied-sim: sending on " << options.interfaceName
              << " failed: " << pcap_geterr(handle.get()) << '\n';
    return 1;
  }
  return 0;
}

extern "C" void OnSignal(int) { g_interrupted.store(true); }

}  // namespace
}  // namespace quilmarr::iedsim

int main(int argc, char** argv) {
  using namespace quilmarr::iedsim;
  Options options;
  CLI::App app{"ied-sim: simulated field devices announcing themselves with LLDP"};
  app.footer(kStateDirHelp);
  app.add_option("--interface", options.interfaceName, "interface to send on")->required();
  app.add_option("--count", options.count, "number of devices")
      ->required()
      ->check(CLI::Range(1u, 65536u));
  app.add_option("--base-ip", options.baseIpText, "management address of device 0")->required();
  app.add_option("--chassis", options.chassisText,
                 "source MAC and Chassis ID of device 0 (two runs with different ones put two "
                 "devices on one address)")
      ->capture_default_str();
  app.add_option("--interval-ms", options.intervalMs, "time between announcements")
      ->capture_default_str()
      ->check(CLI::Range(1u, 3600000u));
  app.add_option("--name-prefix", options.namePrefix, "NAME of NAME-k and NAME_k")
      ->capture_default_str();
  app.add_option("--boot-version", options.bootVersion, "BootVer value")->capture_default_str();
  app.add_option("--app-version", options.appVersion, "AppVer value")->capture_default_str();
  app.add_option("--state-dir", options.stateDir, "folder of per-device state files (below)")
      ->check(CLI::ExistingDirectory);
  app.add_option("--seconds", options.seconds, "run time; 0 or absent: until interrupted")
      ->check(CLI::Range(0.0, 1e9));
  app.add_option("--flood-rate", options.floodRate,
                 "also send R non-LLDP frames per second (200 bytes, EtherType 0x88B8)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kUsageError;
  }
  if (const auto problem = Validate(options); !problem.empty()) {
    std::cerr << "ied-sim: " << problem << '\n';
    return kUsageError;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  return Run(options);
}
