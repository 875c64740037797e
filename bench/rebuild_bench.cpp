// One refresh tick of the real dialog (offscreen), with the real Qt list:
// the rebuild after N devices were first heard, a repeat tick with the same
// devices, and each followed by the repaint it causes.
// Run with QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimerEvent>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "platform/clock.h"
#include "tests/support/lldp_frames.h"
#include "app/qt_dialog_services.h"
#include "ui/qt/qt_batch_dialog.h"

namespace quilmarr::bench {
namespace {

using test::Bytes;
using test::NumberedDeviceFrame;
using SteadyClock = std::chrono::steady_clock;

class OneAdapter final : public InterfaceLister {
 public:
  [[nodiscard]] std::optional<std::vector<CaptureInterfaceEntry>> FindAllDevs() override {
    return std::vector<CaptureInterfaceEntry>{
        {"bench0", "Bench Adapter", 0, {{kAddressFamilyIpv4, {10, 0, 0, 1}, std::nullopt}}}};
  }
};

// A quiet adapter: the frames come straight from the benchmark on the UI thread.
class QuietSource final : public PacketSource {
 public:
  [[nodiscard]] bool Open(const std::string&) override { return true; }
  [[nodiscard]] ReadResult Read() override {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return {ReadStatus::Timeout, {}};
  }
  void Close() override {}
};

struct Bench {
  PlatformServices services;
  OneAdapter interfaces;
  QtBatchDialog dialog{QtServicesFor(services, interfaces, [] {
    return std::unique_ptr<PacketSource>(std::make_unique<QuietSource>());
  })};
};
Bench* g_bench = nullptr;

int StartQuery() {
  QtBatchDialog& dialog = g_bench->dialog;
  dialog.QueryButton().click();
  const auto timers = QAbstractEventDispatcher::instance()->registeredTimers(&dialog);
  return timers.size() == 1 ? timers.front().timerId : -1;
}

void StopQuery() {
  QtBatchDialog& dialog = g_bench->dialog;
  dialog.QueryButton().click();
  // Enabled again once the capture's end has been handled.
  while (!dialog.QueryButton().isEnabled()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
}

void Feed(const std::vector<Bytes>& frames) {
  for (const Bytes& frame : frames) {
    Message message;
    message.id = WM_CAPTURE_PACKET;
    message.frame = frame;
    g_bench->dialog.WorkerTarget().Send(message);
  }
}

double Tick(int timerId, bool withRepaint) {
  QTimerEvent event(timerId);
  const auto start = SteadyClock::now();
  QCoreApplication::sendEvent(&g_bench->dialog, &event);
  if (withRepaint) QCoreApplication::processEvents();
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// Args: devices, repeat tick (0: the first tick after they were heard), repaint.
void BM_RefreshTick(benchmark::State& state) {
  const auto devices = static_cast<int>(state.range(0));
  const bool repeat = state.range(1) != 0;
  const bool withRepaint = state.range(2) != 0;
  std::vector<Bytes> frames;
  for (int i = 0; i < devices; ++i) frames.push_back(NumberedDeviceFrame(i));
  int rows = 0;
  for (auto _ : state) {
    const int timerId = StartQuery();
    if (timerId < 0) {
      state.SkipWithError("the query did not start");
      break;
    }
    Feed(frames);
    if (repeat) static_cast<void>(Tick(timerId, withRepaint));
    state.SetIterationTime(Tick(timerId, withRepaint));
    rows = g_bench->dialog.DeviceList().rowCount();
    StopQuery();
  }
  state.counters["rows"] = rows;
}
BENCHMARK(BM_RefreshTick)
    ->ArgNames({"devices", "repeat", "repaint"})
    ->ArgsProduct({{250, 1000}, {0, 1}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quilmarr::bench

int main(int argc, char* argv[]) {
  QTemporaryDir settingsHome;
  qputenv("XDG_CONFIG_HOME", settingsHome.path().toUtf8());
  QApplication app(argc, argv);
  quilmarr::bench::Bench bench;
  quilmarr::bench::g_bench = &bench;
  bench.dialog.AdapterCombo().setCurrentIndex(0);
  bench.dialog.show();
  QCoreApplication::processEvents();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  quilmarr::bench::g_bench = nullptr;
  return 0;
}
