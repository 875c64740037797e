#pragma once
// A batch update without a window. An event loop on the calling thread plays
// the dialog's role: it listens on the adapter, checks the request, writes
// [Quilmarr] as the Batch Update click does, runs the same update worker and
// job, keeps capturing while each device is verified, and writes the report.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/adapters.h"
#include "discovery/capture_worker.h"
#include "inventory/device_table.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "tools/cli/message_loop.h"
#include "ui/dialog_messages.h"
#include "update/batch_options.h"
#include "update/batch_outcomes.h"
#include "update/settings_file.h"
#include "update/update_job.h"
#include "update/update_worker.h"

namespace quilmarr::cli {

// Exit statuses of a batch.
inline constexpr int kBatchSucceeded = 0;  // every device verified (or done, without verification)
inline constexpr int kBatchFailed = 1;     // the batch ran, but not every device ended so
inline constexpr int kNothingUpdated = 2;  // refused before any updater was started

struct HeadlessServices {
  InterfaceLister& interfaces;
  PacketSourceFactory openPacketSource;
  const Clock& clock;
  SettingsFile& settings;
  ProcessLauncher& launcher;
};

struct BatchRequest {
  std::u16string adapterIp;
  std::u16string packagePath;
  // In update order; empty: every device heard during the listen, in the order first heard.
  std::vector<std::u16string> deviceIps;
  std::chrono::milliseconds listenFor{7000};
  BatchOptionOverrides overrides;
  std::u16string reportPath;  // empty: the Reports folder beside the settings file
};

// Where the batch stands, for a progress line.
struct BatchProgress {
  bool listening = false;
  std::size_t heard = 0;  // devices heard so far
  std::chrono::seconds listenLeft{0};
  std::size_t total = 0;     // devices in the batch
  std::size_t finished = 0;  // with their final outcome
  std::size_t watched = 0;   // waiting to be heard back
  std::u16string updatingIp;
  std::chrono::seconds updatingFor{0};
};

// What the batch tells whoever runs it; called on the thread that runs it.
class BatchEvents {
 public:
  virtual ~BatchEvents() = default;
  // A refusal, an updater error, where the report went: one message each.
  virtual void Say(std::u16string_view text) = 0;
  // About once a second, and when a device starts.
  virtual void Progress(const BatchProgress& progress) = 0;
  // Once per device, when its outcome is final; `succeeded` as it counts for the exit status.
  virtual void DeviceFinished(const DeviceResult& result, bool succeeded) = 0;
};

// Verified, or Done when the batch verifies nothing.
[[nodiscard]] bool DeviceSucceeded(const DeviceResult& result,
                                   std::chrono::seconds verifyFor) noexcept;

class HeadlessBatch {
 public:
  // `interrupt` is polled: once set, the running updater finishes, the rest
  // are skipped, and the batch ends without waiting for devices to come back.
  HeadlessBatch(HeadlessServices services, BatchEvents& events, const std::atomic<bool>& interrupt,
                std::chrono::milliseconds tick = std::chrono::seconds(1));
  HeadlessBatch(const HeadlessBatch&) = delete;
  HeadlessBatch& operator=(const HeadlessBatch&) = delete;
  ~HeadlessBatch();

  // Runs the whole batch once; returns its exit status.
  int Run(const BatchRequest& request);

 private:
  struct Checked {
    const AdapterInfo* adapter = nullptr;
    std::u16string packagePath;  // absolute
    BatchOptions options;
  };
  [[nodiscard]] std::optional<Checked> CheckBeforeListening(const BatchRequest& request);
  [[nodiscard]] bool Listen(const BatchRequest& request, const AdapterInfo& adapter);
  [[nodiscard]] std::optional<std::vector<std::u16string>> ChooseTargets(
      const BatchRequest& request);
  [[nodiscard]] bool StartBatch(const BatchRequest& request, const Checked& checked,
                                const std::vector<std::u16string>& targets);
  [[nodiscard]] int FinishBatch();

  // Handles messages and ticks until `done` holds.
  template <typename Done>
  void PumpUntil(Done done);
  void OnMessage(const Message& message);
  void OnTick();
  void OnCaptureEnded();
  void NoticeInterrupt();
  void ReportFinishedDevices();
  void ReportProgress();
  void StopCapture();
  [[nodiscard]] bool Interrupted() const noexcept { return interrupt_.load(); }

  HeadlessServices services_;
  BatchEvents& events_;
  const std::atomic<bool>& interrupt_;
  const std::chrono::milliseconds tick_;
  MessageLoop loop_;
  WindowMessageSink sink_{loop_};
  std::unique_ptr<AdapterList> adapters_;
  CaptureContext capture_;
  DeviceTable devices_;
  std::unique_ptr<UpdateJob> job_;
  std::unique_ptr<BatchOutcomes> outcomes_;
  std::vector<bool> reported_;
  std::u16string reportPath_;
  std::u16string updatingIp_;
  std::chrono::steady_clock::time_point updatingSince_{};
  std::chrono::steady_clock::time_point listenEnd_{};
  bool listening_ = false;
  bool captureActive_ = false;
  bool batchActive_ = false;
  bool interruptNoticed_ = false;
  // Declared last: destroyed first, so the workers end before what they share.
  UpdateWorkerThread updateThread_;
  CaptureWorkerThread captureThread_;
};

}  // namespace quilmarr::cli
