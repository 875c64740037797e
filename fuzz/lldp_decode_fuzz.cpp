// libFuzzer target: any bytes through the decoder and the record builder.
#include <cstddef>
#include <cstdint>
#include <span>

#include "discovery/lldp_frame_view.h"
#include "inventory/device_table.h"
#include "platform/clock.h"

namespace {
class ZeroClock final : public quilmarr::Clock {
 public:
  [[nodiscard]] quilmarr::UnixSeconds Now() const override { return 0; }
  [[nodiscard]] std::int64_t SteadySeconds() const override { return 0; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  quilmarr::LldpFrameView view = quilmarr::MakeFrameView(bytes);
  try {
    view.Decode();
  } catch (const quilmarr::CLldpException&) {
    return 0;
  }
  const ZeroClock clock;
  auto record = quilmarr::BuildDeviceRecord(view, clock);
  quilmarr::DeviceTable table;
  if (record) quilmarr::MergeDeviceRecord(std::move(record), table, clock);
  quilmarr::ProcessCapturedFrame(bytes, table, clock);
  return 0;
}
