// Runs the real dialog (offscreen) the way a user does and reports what the
// capture pipeline achieved. Two modes:
//   flood_harness startup
//       builds the dialog as the application does and reports the time from
//       process start to the first paint of the shown window, and peak RSS.
//   flood_harness flood <interface> <expected-devices>
//       selects <interface>, clicks "Query Device", prints "ready" once the
//       adapter is open, captures until SIGINT or SIGTERM (as tcpdump does, so
//       both are measured over the same window), clicks "Stop Query" and
//       reports per tick and in total.
// Meant to run inside the capture namespace made by flood_harness.sh.
#include <sys/resource.h>
#include <time.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QTimerEvent>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/measured_pcap_source.h"
#include "platform/clock.h"
#include "ui/qt/qt_batch_dialog.h"
#include "app/qt_dialog_services.h"

namespace quilmarr::bench {
namespace {

using SteadyClock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_stopSignalled = 0;
extern "C" void OnStopSignal(int) { g_stopSignalled = 1; }

double Milliseconds(SteadyClock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double RealtimeSeconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

long PeakRssKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct Tick {
  SteadyClock::time_point at;
  double handlingMs = 0;
  int rows = 0;
};

// Sees every event first, so it can time the dialog's refresh ticks and its first paint.
class ObservingApplication final : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    if (dialog_ == nullptr || receiver != dialog_) return QApplication::notify(receiver, event);
    if (event->type() == QEvent::Paint && !painted_) {
      painted_ = true;
      paintedAt_ = RealtimeSeconds();
    }
    if (event->type() != QEvent::Timer ||
        static_cast<QTimerEvent*>(event)->timerId() != refreshTimerId_) {
      return QApplication::notify(receiver, event);
    }
    const auto start = SteadyClock::now();
    const bool handled = QApplication::notify(receiver, event);
    ticks_.push_back(
        {start, Milliseconds(SteadyClock::now() - start), dialog_->DeviceList().rowCount()});
    return handled;
  }

  void Observe(QtBatchDialog* dialog) { dialog_ = dialog; }
  void WatchTimer(int timerId) { refreshTimerId_ = timerId; }
  [[nodiscard]] const std::vector<Tick>& Ticks() const { return ticks_; }
  [[nodiscard]] bool Painted() const { return painted_; }
  [[nodiscard]] double PaintedAt() const { return paintedAt_; }

 private:
  QtBatchDialog* dialog_ = nullptr;
  int refreshTimerId_ = -1;
  std::vector<Tick> ticks_;
  bool painted_ = false;
  double paintedAt_ = 0;
};

// A nested event loop, as the application's own exec() runs it.
void PumpFor(SteadyClock::duration span) {
  QEventLoop loop;
  QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(span), Qt::PreciseTimer,
                     &loop, &QEventLoop::quit);
  loop.exec();
}

// The application's event loop until SIGINT or SIGTERM.
void PumpUntilSignalled() {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&loop] {
    if (g_stopSignalled != 0) loop.quit();
  });
  poll.start(std::chrono::milliseconds(20));
  loop.exec();
}

template <typename Predicate>
bool PumpUntil(Predicate done, SteadyClock::duration limit) {
  const auto end = SteadyClock::now() + limit;
  while (!done()) {
    if (SteadyClock::now() >= end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

int RunStartup(ObservingApplication& app) {
  PlatformServices services;
  QtBatchDialog dialog(QtServicesFor(services, *services.interfaces,
                                     [] { return std::unique_ptr<PacketSource>(); }));
  app.Observe(&dialog);
  dialog.show();
  if (!PumpUntil([&] { return app.Painted(); }, std::chrono::seconds(10))) {
    std::fprintf(stderr, "flood_harness: the window was never painted\n");
    return 1;
  }
  std::printf("shown_at_realtime %.6f\npeak_rss_kb_at_shown %ld\n", app.PaintedAt(),
              PeakRssKilobytes());
  return 0;
}

// The platform's interfaces, of which only the one the harness captures on is listed.
class OneInterface final : public InterfaceLister {
 public:
  OneInterface(InterfaceLister& all, std::string name) : all_(all), name_(std::move(name)) {}
  [[nodiscard]] std::optional<std::vector<CaptureInterfaceEntry>> FindAllDevs() override {
    auto entries = all_.FindAllDevs();
    if (entries) std::erase_if(*entries, [&](const auto& entry) { return entry.name != name_; });
    return entries;
  }

 private:
  InterfaceLister& all_;
  std::string name_;
};

// True once the capture's end has been handled and a new query can start.
bool QueryStopped(const QtBatchDialog& dialog) {
  return dialog.QueryButton().isEnabled() &&
         dialog.QueryButton().text() == QStringLiteral("Query Device");
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int RunFlood(ObservingApplication& app, const std::string& interfaceName, int expectedDevices) {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  PlatformServices services;
  OneInterface interfaces(*services.interfaces, interfaceName);
  auto box = std::make_shared<CaptureFiguresBox>();
  QtBatchDialog dialog(QtServicesFor(services, interfaces, [box] {
    return std::unique_ptr<PacketSource>(std::make_unique<MeasuredPcapSource>(box));
  }));
  app.Observe(&dialog);
  dialog.show();
  if (dialog.AdapterCombo().count() != 1) {
    std::fprintf(stderr, "flood_harness: no adapter %s\n", interfaceName.c_str());
    return 1;
  }
  dialog.AdapterCombo().setCurrentIndex(0);
  PumpFor(std::chrono::milliseconds(200));

  const double uiCpuAtStart = ThreadCpuSeconds();
  const auto queryAt = SteadyClock::now();
  dialog.QueryButton().click();
  const auto timers = QAbstractEventDispatcher::instance()->registeredTimers(&dialog);
  if (timers.size() != 1 || dialog.QueryButton().text() != QStringLiteral("Stop Query")) {
    std::fprintf(stderr, "flood_harness: the query did not start\n");
    return 1;
  }
  app.WatchTimer(timers.front().timerId);
  const auto opened = [&box] {
    const std::lock_guard lock(box->mutex);
    return box->figures.opened;
  };
  if (!PumpUntil(opened, std::chrono::seconds(10))) {
    std::fprintf(stderr, "flood_harness: the adapter was not opened\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  PumpUntilSignalled();
  dialog.QueryButton().click();
  const double uiCpu = ThreadCpuSeconds() - uiCpuAtStart;
  if (!PumpUntil([&] { return QueryStopped(dialog); }, std::chrono::seconds(10))) {
    std::fprintf(stderr, "flood_harness: the capture did not stop\n");
    return 1;
  }

  std::vector<double> lateness;
  int ticksShort = 0;
  int ticksCounted = 0;
  std::printf("tick\tat_s\tlate_ms\thandling_ms\trows\n");
  // A tick is late by how much more than one interval has passed since the one
  // before (the first: since the query started), as a user waiting for it sees.
  int k = 0;
  auto previous = queryAt;
  for (const Tick& tick : app.Ticks()) {
    ++k;
    const double late = Milliseconds(tick.at - previous - std::chrono::seconds(1));
    previous = tick.at;
    lateness.push_back(late);
    const double at = Milliseconds(tick.at - queryAt) / 1000.0;
    std::printf("%d\t%.3f\t%.1f\t%.2f\t%d\n", k, at, late, tick.handlingMs, tick.rows);
    if (at > 2.0) {
      ++ticksCounted;
      if (tick.rows != expectedDevices) ++ticksShort;
    }
  }
  const std::lock_guard lock(box->mutex);
  const CaptureFigures& f = box->figures;
  std::printf("ticks %d\n", k);
  std::printf("ticks_after_2s %d\nticks_after_2s_not_all_devices %d\n", ticksCounted, ticksShort);
  std::printf("late_median_ms %.1f\nlate_max_ms %.1f\n", Median(lateness),
              lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()));
  std::printf("pcap_received %llu\npcap_dropped %llu\n",
              static_cast<unsigned long long>(f.pcapReceived),
              static_cast<unsigned long long>(f.pcapDropped));
  std::printf("frames_read %llu\nlldp_frames_read %llu\n",
              static_cast<unsigned long long>(f.framesRead),
              static_cast<unsigned long long>(f.lldpFramesRead));
  std::printf("ui_cpu_s %.2f\nworker_cpu_s %.2f\n", uiCpu, f.workerCpuSeconds);
  std::printf("peak_rss_kb %ld\n", PeakRssKilobytes());
  return f.closed ? 0 : 1;
}

}  // namespace
}  // namespace quilmarr::bench

int main(int argc, char* argv[]) {
  using namespace quilmarr::bench;
  ObservingApplication app(argc, argv);
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "startup") return RunStartup(app);
  if (args.size() == 3 && args[0] == "flood") {
    return RunFlood(app, args[1], static_cast<int>(std::strtol(args[2].c_str(), nullptr, 10)));
  }
  std::fprintf(stderr,
               "usage: flood_harness startup\n"
               "       flood_harness flood <interface> <expected-devices>\n");
  return 2;
}
