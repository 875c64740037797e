#pragma once
// quilmarr-cli update: the batch session on a console. It listens on the
// adapter, checks the request, runs the session's batch, keeps capturing
// while each device is verified, and tells the console each device's final
// outcome.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "session/batch_session.h"
#include "session/message_queue.h"

namespace quilmarr::cli {

// Exit statuses of a batch.
inline constexpr int kBatchSucceeded = 0;  // every device verified (or done, without verification)
inline constexpr int kBatchFailed = 1;     // the batch ran, but not every device ended so
inline constexpr int kNothingUpdated = 2;  // refused before any updater was started

struct UpdateRequest {
  std::u16string adapterIp;
  std::u16string packagePath;
  // In update order; empty: every device heard during the listen, in the order first heard.
  std::vector<std::u16string> deviceIps;
  std::chrono::milliseconds listenFor{7000};
  BatchOptionOverrides overrides;
  std::u16string reportPath;  // empty: the Reports folder beside the settings file
  // The package must have this SHA-256 (lowercase hex), checked before the
  // listen, so a wrong file costs no time, and again in the batch's plan.
  std::optional<std::string> packageSha256;
  // Every check, then the plan instead of the batch: nothing written, nothing run.
  bool dryRun = false;
  std::u16string targetVersion;  // empty: none
  std::u16string rosterPath;     // the targets are the roster's; empty: none
  bool allowDowngrade = false;
  bool force = false;
  std::size_t maxRuns = 0;  // --max-devices; 0: no limit
  std::optional<UnixSeconds> finishBy;
};

// Where the run stands, for a progress line: listening, or the batch.
struct RunProgress {
  bool listening = false;
  std::size_t heard = 0;  // devices heard so far
  std::chrono::seconds listenLeft{0};
  BatchProgress batch;
};

// What the batch tells whoever runs it; called on the thread that runs it.
class BatchEvents {
 public:
  virtual ~BatchEvents() = default;
  // A refusal, an updater error, where the report went: one message each.
  virtual void Say(std::u16string_view text) = 0;
  // About once a second, and when a device starts.
  virtual void Progress(const RunProgress& progress) = 0;
  // Once per device, when its outcome is final; `succeeded` as it counts for the exit status.
  virtual void DeviceFinished(const DeviceResult& result, bool succeeded,
                              const BatchInfo& batch) = 0;
  // A dry run's plan, in update order, once every check has passed.
  virtual void Planned(const std::vector<PlannedDevice>& devices, const BatchPlan& plan) = 0;
};

class HeadlessBatch final : private SessionHost {
 public:
  // `interrupt` is polled: once set, the running updater finishes, the rest
  // are skipped, and the batch ends without waiting for devices to come back.
  HeadlessBatch(const FrontEndServices& services, BatchEvents& events,
                const std::atomic<bool>& interrupt,
                std::chrono::milliseconds tick = std::chrono::seconds(1));

  // Runs the whole batch once; returns its exit status.
  int Run(const UpdateRequest& request);

 private:
  [[nodiscard]] std::optional<BatchRequest> Check(const UpdateRequest& request);
  [[nodiscard]] bool Listen(const UpdateRequest& request, const AdapterInfo& adapter);
  // Nullopt, or the refusal when the package's digest is not the one asked for.
  [[nodiscard]] int Finish();

  // SessionHost
  void ShowError(std::u16string_view text) override { events_.Say(text); }
  void ShowNote(std::u16string_view text) override { events_.Say(text); }
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override;

  // Handles messages, ticks and the interrupt until `done` holds.
  void Pump(const std::function<bool()>& done);
  void OnTick();
  void NoticeInterrupt();
  void ReportFinishedDevices();
  void ReportProgress();
  [[nodiscard]] bool Interrupted() const noexcept { return interrupt_.load(); }

  BatchEvents& events_;
  const std::atomic<bool>& interrupt_;
  const std::chrono::milliseconds tick_;
  std::chrono::steady_clock::time_point listenEnd_{};
  bool listening_ = false;
  bool interruptNoticed_ = false;
  MessageQueue queue_;
  // Declared last: destroyed first, while the queue can still be pumped.
  BatchSession session_;
};

}  // namespace quilmarr::cli
