#include "discovery/capture_worker.h"

#include <utility>

#include "discovery/lldp_frame_view.h"
#include "platform/text.h"

namespace quilmarr {
namespace {

bool OpenAdapter(const CaptureContext& context, PacketSource& source) {
  const auto narrowName = NarrowForPlatform(context.adapterName);
  return narrowName.has_value() && source.Open(*narrowName);
}

}  // namespace

int CaptureWorker(CaptureContext& context, PacketSource& source) {
  if (!OpenAdapter(context, source)) {
    context.running.store(false);
    context.sink->CaptureOpenFailed();
    return -1;
  }

  // The dialog would drop frames failing the header checks silently after the
  // hand-off; dropping them here keeps the one-at-a-time blocking send from
  // limiting the capture rate. The stop flag is tested after every frame as
  // well as before every read, so a stop set while the dialog handles a frame
  // ends the batch right after that frame.
  const PacketSource::FrameHandler handOver = [&context](std::span<const std::uint8_t> frame) {
    if (CheckEthernetHeader(frame) == LldpRejection::None) context.sink->FrameCaptured(frame);
    return !context.stopRequested.load();
  };
  bool readFailed = false;
  while (!context.stopRequested.load()) {
    if (source.ReadBatch(handOver) == PacketSource::ReadStatus::Error) {
      readFailed = true;
      break;
    }
  }
  source.Close();

  context.running.store(false);
  // A read failure without a stop request would otherwise leave the dialog querying forever.
  if (context.stopRequested.load()) {
    context.sink->CaptureStopped();
  } else {
    context.sink->CaptureReadFailed();
  }
  return readFailed ? -1 : 0;
}

CaptureWorkerThread::~CaptureWorkerThread() {
  RequestStop();
  thread_.Join();
}

void CaptureWorkerThread::Start(CaptureContext& context, std::unique_ptr<PacketSource> source) {
  {
    const std::lock_guard lock(sourceMutex_);
    context_ = &context;
    liveSource_ = source.get();
  }
  try {
    thread_.Start([this, &context, owned = std::move(source)]() mutable {
      static_cast<void>(CaptureWorker(context, *owned));
      ForgetLiveSource();
      owned.reset();  // closed and freed before the thread counts as ended
    });
  } catch (...) {
    ForgetLiveSource();
    throw;
  }
}

void CaptureWorkerThread::RequestStop() noexcept {
  const std::lock_guard lock(sourceMutex_);
  if (context_ == nullptr) return;
  context_->stopRequested.store(true);
  if (liveSource_ != nullptr) liveSource_->Interrupt();
}

void CaptureWorkerThread::ForgetLiveSource() noexcept {
  const std::lock_guard lock(sourceMutex_);
  liveSource_ = nullptr;
}

}  // namespace quilmarr
