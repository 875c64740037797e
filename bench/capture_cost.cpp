// The capture worker's own cost per frame on a live adapter, without the
// dialog: runs CaptureWorker on the live source for <seconds> with a sink that
// only counts, then prints what it read. Meant for callgrind (see
// bench/capture_cost.sh), where the instructions of CaptureWorker divided by
// the frames read give its user-space cost per frame.
//   capture_cost <interface> <seconds>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "discovery/capture_sink.h"
#include "discovery/capture_worker.h"
#include "discovery/pcap/pcap_packet_source.h"
#include "platform/text.h"

namespace quilmarr::bench {
namespace {

class CountingSink final : public CaptureSink {
 public:
  void FrameCaptured(std::span<const std::uint8_t>) override { ++lldpFrames; }
  void CaptureStopped() override {}
  void CaptureOpenFailed() override {}
  void CaptureReadFailed() override {}

  std::uint64_t lldpFrames = 0;
};

// Keeps the statistics of the capture the worker closes.
class StatisticsSource final : public PacketSource {
 public:
  bool Open(const std::string& name) override { return capture_.Open(name); }
  ReadResult Read() override { return capture_.Read(); }
  ReadStatus ReadBatch(const FrameHandler& onFrame) override { return capture_.ReadBatch(onFrame); }
  void Close() override {
    statistics = capture_.Statistics().value_or(CaptureStatistics{});
    capture_.Close();
  }

  CaptureStatistics statistics;

 private:
  PcapPacketSource capture_;
};

}  // namespace
}  // namespace quilmarr::bench

int main(int argc, char* argv[]) {
  using namespace quilmarr;
  if (argc != 3) {
    std::fprintf(stderr, "usage: capture_cost <interface> <seconds>\n");
    return 2;
  }
  bench::CountingSink sink;
  bench::StatisticsSource source;
  CaptureContext context;
  context.sink = &sink;
  context.adapterName = FromUtf8(argv[1]);
  context.running = true;
  context.stopRequested = false;
  std::thread stopper([&context, seconds = std::strtod(argv[2], nullptr)] {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    context.stopRequested = true;
  });
  const int exitCode = CaptureWorker(context, source);
  stopper.join();
  std::printf("exit %d\nlldp_frames %llu\npcap_received %llu\npcap_dropped %llu\n", exitCode,
              static_cast<unsigned long long>(sink.lldpFrames),
              static_cast<unsigned long long>(source.statistics.received),
              static_cast<unsigned long long>(source.statistics.dropped));
  return exitCode == 0 ? 0 : 1;
}
