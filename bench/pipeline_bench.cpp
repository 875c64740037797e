// Per-frame costs on the user-interface thread: rejecting ordinary traffic,
// decoding a device frame, and the whole pipeline into tables of several sizes.
#include <benchmark/benchmark.h>

#include <vector>

#include "inventory/device_table.h"
#include "platform/clock.h"
#include "tests/support/lldp_frames.h"

namespace {

using quilmarr::test::Bytes;

class FixedClock final : public quilmarr::Clock {
 public:
  [[nodiscard]] quilmarr::UnixSeconds Now() const override { return 1'700'000'000; }
  [[nodiscard]] std::int64_t SteadySeconds() const override { return 0; }
};

Bytes GooseFrame() {
  // IEC 61850 GOOSE: 01-0C-CD-01-00-01, EtherType 88-B8, 200 bytes.
  Bytes frame(200, 0x5A);
  const std::uint8_t header[] = {0x01, 0x0C, 0xCD, 0x01, 0x00, 0x01, 0x02,
                                 0,    0,    0,    0,    1,    0x88, 0xB8};
  std::copy(std::begin(header), std::end(header), frame.begin());
  return frame;
}

void BM_RejectNonLldpFrame(benchmark::State& state) {
  const Bytes frame = GooseFrame();
  const FixedClock clock;
  quilmarr::DeviceTable table;
  for (auto _ : state) {
    quilmarr::ProcessCapturedFrame(frame, table, clock);
    benchmark::DoNotOptimize(table);
  }
}
BENCHMARK(BM_RejectNonLldpFrame);

void BM_DecodeDeviceFrame(benchmark::State& state) {
  const Bytes frame = quilmarr::test::NumberedDeviceFrame(7);
  for (auto _ : state) {
    quilmarr::LldpFrameView view = quilmarr::MakeFrameView(frame);
    view.Decode();
    benchmark::DoNotOptimize(view.appVersion);
  }
}
BENCHMARK(BM_DecodeDeviceFrame);

// Copy, decode, build and merge, cycling through every device of a full table,
// so the linear scan finds each device at its own place.
void BM_PipelineIntoTable(benchmark::State& state) {
  const auto devices = static_cast<int>(state.range(0));
  std::vector<Bytes> frames;
  for (int i = 0; i < devices; ++i) frames.push_back(quilmarr::test::NumberedDeviceFrame(i));
  const FixedClock clock;
  quilmarr::DeviceTable table;
  for (const Bytes& frame : frames) quilmarr::ProcessCapturedFrame(frame, table, clock);
  std::size_t next = 0;
  for (auto _ : state) {
    quilmarr::ProcessCapturedFrame(frames[next], table, clock);
    next = next + 1 == frames.size() ? 0 : next + 1;
  }
  state.counters["devices"] = static_cast<double>(table.size());
}
BENCHMARK(BM_PipelineIntoTable)->Arg(10)->Arg(250)->Arg(1000);

}  // namespace
