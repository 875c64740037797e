#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "discovery/capture_sink.h"
#include "discovery/packet_source.h"
#include "platform/worker_thread.h"

namespace quilmarr {

struct CaptureContext {
  CaptureSink* sink = nullptr;  // the dialog
  std::atomic<bool> stopRequested{true};
  std::atomic<bool> running{false};
  std::u16string adapterName;
};

// The thread procedure: 0 after a requested stop, -1 after a failed open or read.
int CaptureWorker(CaptureContext& context, PacketSource& source);

using PacketSourceFactory = std::function<std::unique_ptr<PacketSource>()>;

// Owns one capture worker thread. The destructor requests a stop and joins, so
// the context cannot be freed while the worker runs as long as this object is
// declared after (destroyed before) the context it was started with.
// The worker's sends block until the owner has handled them, so an owner that
// is also the message target must not join while the worker may send: it calls
// RequestStop, keeps handling messages until IsAlive() is false (at most one
// read time-out plus one frame), and only then joins or destroys this object.
class CaptureWorkerThread {
 public:
  CaptureWorkerThread() = default;
  CaptureWorkerThread(const CaptureWorkerThread&) = delete;
  CaptureWorkerThread& operator=(const CaptureWorkerThread&) = delete;
  ~CaptureWorkerThread();

  // Joins an earlier, ended worker first. Precondition: no worker alive.
  void Start(CaptureContext& context, std::unique_ptr<PacketSource> source);
  // Sets the context's stopRequested and wakes a read blocked on a silent
  // adapter (a capture library whose read time-out never fires there). Safe
  // from any thread at any time; does nothing before the first Start.
  void RequestStop() noexcept;
  // True from Start until the thread procedure has returned.
  [[nodiscard]] bool IsAlive() const noexcept { return thread_.IsAlive(); }
  // Joins; call only when IsAlive() is false or the worker cannot be blocked in a send.
  void Join() { thread_.Join(); }

 private:
  void ForgetLiveSource() noexcept;

  // Guards both pointers. The running worker's source is owned by its thread
  // procedure, which forgets it here before freeing it.
  std::mutex sourceMutex_;
  CaptureContext* context_ = nullptr;
  PacketSource* liveSource_ = nullptr;
  WorkerThread thread_;
};

}  // namespace quilmarr
