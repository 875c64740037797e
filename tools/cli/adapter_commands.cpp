// adapters: the capture-capable adapters in list order; listen: a live capture
// on one of them through the packet pipeline, printed as a device table.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "discovery/adapters.h"
#include "discovery/capture_worker.h"
#include "discovery/pcap/live_capture.h"
#include "inventory/device_table.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "tools/cli/commands.h"

namespace quilmarr::cli {
namespace {

// Handles every frame inline on the worker thread; the table is guarded because
// the main thread takes it once the worker has ended.
class PipelineSink final : public CaptureSink {
 public:
  explicit PipelineSink(DeviceTable& table) : table_(table) {}
  void FrameCaptured(std::span<const std::uint8_t> frame) override {
    const std::lock_guard lock(mutex_);
    ProcessCapturedFrame(frame, table_, clock_);
  }
  void CaptureStopped() override { End(ListenEnd::Listened); }
  void CaptureOpenFailed() override { End(ListenEnd::OpenFailed); }
  void CaptureReadFailed() override { End(ListenEnd::ReadFailed); }

  [[nodiscard]] ListenEnd Ended() {
    const std::lock_guard lock(mutex_);
    return end_;
  }

 private:
  std::mutex mutex_;
  DeviceTable& table_;
  SystemClock clock_;
  ListenEnd end_ = ListenEnd::Listened;

  void End(ListenEnd end) {
    const std::lock_guard lock(mutex_);
    end_ = end;
  }
};

void Print(const DeviceTable& table) {
  for (const auto& record : table) {
    std::cout << JoinFields({record->ipText, record->systemName, record->iedName,
                             record->bootVersion, record->originalAppVersion,
                             record->currentAppVersion})
              << '\n';
  }
}

std::unique_ptr<AdapterList> ListAdapters() {
  if (LiveCaptureLibraryMissing()) std::cerr << kCaptureLibraryMissing << '\n';
  try {
    return EnumerateAdapters(*MakeLiveInterfaceLister());
  } catch (const CPcapException& e) {
    std::cerr << e.what() << '\n';
    return nullptr;
  }
}

int Adapters() {
  const auto adapters = ListAdapters();
  if (!adapters) return 1;
  for (const auto& adapter : *adapters) {
    std::cout << JoinFields({adapter->ipAddress, adapter->description, adapter->deviceName})
              << '\n';
  }
  return 0;
}

// The last match ignoring case, as the adapter box selects it.
const AdapterInfo* FindAdapter(const AdapterList& adapters, std::u16string_view ip) {
  const AdapterInfo* found = nullptr;
  for (const auto& adapter : adapters) {
    if (EqualsNoCase(adapter->ipAddress, ip)) found = adapter.get();
  }
  return found;
}

int Listen(const std::string& adapterIp, double seconds) {
  DeviceTable table;
  switch (ListenOnAdapter(adapterIp, seconds, table)) {
    case ListenEnd::NoAdapters: return 1;
    case ListenEnd::NoSuchAdapter: return kUsageError;
    case ListenEnd::OpenFailed: std::cerr << kOpenAdapterFailed << '\n'; return 1;
    case ListenEnd::ReadFailed:
      Print(table);
      std::cerr << kAdapterReadFailed << '\n';
      return 1;
    case ListenEnd::Listened: break;
  }
  Print(table);
  return 0;
}

}  // namespace

ListenEnd ListenOnAdapter(const std::string& adapterIp, double seconds, DeviceTable& table) {
  const auto adapters = ListAdapters();
  if (!adapters) return ListenEnd::NoAdapters;
  const AdapterInfo* adapter = FindAdapter(*adapters, FromUtf8(adapterIp));
  if (adapter == nullptr) {
    std::cerr << "quilmarr-cli: no capture adapter has the address " << adapterIp << '\n';
    return ListenEnd::NoSuchAdapter;
  }

  PipelineSink target(table);
  CaptureContext context;
  context.sink = &target;
  context.running.store(true);
  context.adapterName = adapter->deviceName;
  context.stopRequested.store(false);
  {
    CaptureWorkerThread worker;
    worker.Start(context, MakeLivePacketSource());
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    while (worker.IsAlive() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    worker.RequestStop();
    worker.Join();  // safe: the target never waits for this thread
  }
  return target.Ended();
}

void AddAdapterCommands(CLI::App& app, int& status) {
  auto* adapters = app.add_subcommand("adapters", "List the capture-capable adapters");
  adapters->callback([&status] { status = Adapters(); });

  auto* listen = app.add_subcommand("listen", "Capture on an adapter and print the device table");
  static std::string adapterIp;
  static double seconds = 0;
  listen->add_option("ADAPTER_IP", adapterIp, "the adapter's IPv4 address as listed")->required();
  listen->add_option("SECONDS", seconds, "how long to listen")
      ->required()
      ->check(CLI::Range(0.0, 86400.0));
  listen->callback([&status] { status = Listen(adapterIp, seconds); });
}

}  // namespace quilmarr::cli
