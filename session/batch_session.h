#pragma once
// One batch's life, the same under both windows and quilmarr-cli: the capture
// and the device table it feeds, the update job and its worker, each device's
// outcome and verification, the report, and every worker message. A front end
// maps its state to controls or lines and its users' actions to its calls.
// Runs on the thread that handles the workers' messages.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/adapters.h"
#include "discovery/capture_worker.h"
#include "inventory/device_table.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/file_lock.h"
#include "platform/sleep_inhibitor.h"
#include "session/batch_journal.h"
#include "session/site_audit.h"
#include "session/device_rows.h"
#include "session/worker_messages.h"
#include "update/batch_options.h"
#include "update/batch_outcomes.h"
#include "update/settings_file.h"
#include "update/update_job.h"
#include "update/target_version.h"
#include "update/update_worker.h"

namespace quilmarr {

// What the user can do follows from the workers that are alive: a batch makes
// the mode Updating, otherwise a capture (running or stopping) makes it Querying.
enum class UiMode : std::int32_t { Idle = 0, Querying = 1, Updating = 2 };

// The controls each mode enables; the file field is always enabled (it is
// read-only, and keeps the focus while a batch runs).
struct ControlsAllowed {
  bool batchUpdate = false, query = false, adapter = false, browse = false, list = false;
};
[[nodiscard]] constexpr ControlsAllowed ControlsFor(UiMode mode) noexcept {
  switch (mode) {
    case UiMode::Idle: return {.query = true, .adapter = true, .browse = true};
    case UiMode::Querying:
      return {.batchUpdate = true, .query = true, .browse = true, .list = true};
    case UiMode::Updating: break;
  }
  return {};
}

inline constexpr char kWaitUpdateInterrupt[] = "Please wait update interrupt";

// What a front end brings from outside; all must outlive the session.
struct FrontEndServices {
  InterfaceLister& interfaces;
  PacketSourceFactory openPacketSource;
  const Clock& clock;
  SettingsFile& settings;
  ProcessLauncher& launcher;
  SleepInhibitor& sleep;
};

// What the session needs from outside; all must outlive it.
struct SessionServices {
  MessageTarget& window;  // where the workers report; its messages come back to HandleMessage
  InterfaceLister& interfaces;
  PacketSourceFactory openPacketSource;
  const Clock& clock;
  SettingsFile& settings;
  ProcessLauncher& launcher;
  SleepInhibitor& sleep;  // held while a batch runs
};

// A front end's services with its own target for the workers' messages.
[[nodiscard]] inline SessionServices WithWindow(MessageTarget& window, FrontEndServices services) {
  return {window,         services.interfaces, std::move(services.openPacketSource),
          services.clock, services.settings,   services.launcher,
          services.sleep};
}

// The front end as the session sees it.
class SessionHost {
 public:
  virtual ~SessionHost() = default;
  // An error for the user: the window's error box, a line on standard error.
  virtual void ShowError(std::u16string_view text) = 0;
  // Something the user should know that needs no answer; the windows show nothing.
  virtual void ShowNote(std::u16string_view /*text*/) {}
  // Keeps handling the workers' messages (the capture worker may be blocked in
  // a send) until `done` holds or `timeout` has passed; returns done().
  virtual bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) = 0;
  // After the session has handled a capture's end, or a batch's.
  virtual void CaptureEnded() {}
  virtual void BatchEnded() {}
};

// Where a batch stands, for a progress line or a title.
struct BatchProgress {
  std::size_t total = 0;           // devices in the batch
  std::size_t finished = 0;        // with their final outcome
  std::size_t watched = 0;         // waiting to be heard back
  std::u16string updatingIp;       // whose updater runs now, if any
  std::size_t updatingNumber = 0;  // its place in the batch, from 1
  std::chrono::seconds updatingFor{0};
  std::chrono::seconds elapsed{0};           // since the batch started
  std::optional<std::chrono::seconds> left;  // estimated; none before a run has ended
  // While the worker runs: the device whose updater runs, or runs next, from 1.
  std::size_t place = 0;
};

// A device of a batch's plan, as last heard.
struct PlannedDevice {
  std::u16string ip;
  std::u16string systemName;
  std::u16string iedName;
  std::u16string bootVersion;
  std::u16string appVersion;
  std::u16string action;  // "would update", "already at V", "newer than V"
};

struct BatchRequest {
  std::u16string packagePath;
  std::u16string adapterIp;
  std::vector<std::u16string> targets;  // in update order
  BatchOptionOverrides overrides;
  std::u16string reportPath;  // empty: the Reports folder beside the settings file
  std::optional<std::string> expectedPackageSha256;  // lowercase hex: refused unless so
  bool dryRun = false;  // checks only: nothing is written, nothing recovered
  // Per target, in the same order: the version it should run; empty: none.
  std::vector<std::u16string> targetVersions;
  bool allowDowngrade = false;          // run a device newer than its target
  bool force = false;                   // run a device already at its target
  std::size_t maxRuns = 0;              // at most this many updater runs; 0: no limit
  std::optional<UnixSeconds> finishBy;  // no updater starts that would end later
};

// A batch that passed every check, as it would run.
struct BatchPlan {
  BatchRequest request;
  BatchOptions options;
  std::u16string updaterPath;  // <ExePath>Pendravel.exe
  std::string packageSha256;   // lowercase hex
  std::string updaterSha256;
  // Targets outside the adapter's subnet (adapterSubnet, "10.0.0.0/24"): a
  // router may reach them, but the user is told before the batch.
  std::vector<std::u16string> offSubnet;
  std::u16string adapterSubnet;
  // Per target of request.targets: run it, or leave it as its target says.
  std::vector<TargetAction> actions;
  // Devices to update beyond request.maxRuns, in order: left for a later run.
  std::vector<std::u16string> leftForLater;
};

// "Update 3 devices with fw.pck?", the targets outside the adapter's subnet
// and the package's SHA-256: asked before a window's batch, so no stray key
// flashes anything.
[[nodiscard]] std::u16string ConfirmationText(const BatchPlan& plan);

class BatchSession {
 public:
  BatchSession(SessionServices services, SessionHost& host);
  BatchSession(const BatchSession&) = delete;
  BatchSession& operator=(const BatchSession&) = delete;
  // Joins the workers, then restores [UDP] as the last batch found it.
  ~BatchSession();

  // Once, when the front end starts: an earlier batch ended from outside is
  // recovered (`writes`; otherwise only said), then the adapters are loaded.
  void Start(bool writes = true);
  // Adapters, enumerated once; a failure is shown and leaves none.
  void LoadAdapters();

  // The site roster the devices are checked against, remembered as
  // [Quilmarr] RosterFile when `remember`; false when it is refused (the
  // reason is shown).
  bool OpenRoster(const std::u16string& path, bool remember = true);
  // The roster remembered from the last time, if any (a window's start).
  void ReopenRoster();
  void CloseRoster();
  [[nodiscard]] const SiteRoster* Roster() const noexcept { return roster_.get(); }
  // The roster's rows and the unlisted devices heard, with their states.
  [[nodiscard]] std::vector<AuditRow> Audit() const;
  // A roster run's targets, in roster order: the rows marked yes that were
  // heard with the roster's names, each with its target version. The rows
  // heard with other names are named (shown); nullopt when none was heard.
  [[nodiscard]] std::optional<std::pair<std::vector<std::u16string>, std::vector<std::u16string>>>
  RosterTargets() const;
  [[nodiscard]] const AdapterList* Adapters() const noexcept { return adapters_.get(); }
  [[nodiscard]] const AdapterInfo* AdapterAt(int index) const noexcept;
  [[nodiscard]] const AdapterInfo* FindAdapter(std::u16string_view ip) const;
  // The last adapter whose address is [Quilmarr] "AdapterIp" (ignoring case), or -1.
  [[nodiscard]] int SavedAdapterIndex() const;

  // Starts a capture on the adapter and empties the table, the outcomes and
  // the marker; false when it could not start (the reason is shown).
  bool StartCapture(const AdapterInfo& adapter);
  // Asks the capture to stop; its end arrives as a message.
  void RequestCaptureStop();
  [[nodiscard]] bool CaptureActive() const noexcept { return captureActive_; }
  [[nodiscard]] bool CaptureStopping() const noexcept {
    return captureActive_ && capture_.stopRequested.load();
  }

  // The checks that need no device heard: the settings file, the options,
  // the package and the updater, and an earlier batch that still runs or
  // whose [UDP] is not back yet (recovered first, unless a dry run).
  [[nodiscard]] std::optional<std::u16string> RefusalBeforeTargets(const BatchRequest& request);
  // Every check a batch must pass: those above, then the targets (one
  // device's address each, as PlaceUpdateTarget tells against the adapter's
  // subnet, none in an address conflict), the settings file's lock and the
  // digests of the package and the updater. Nullopt when refused (the reason
  // is shown), or silently while an earlier batch's worker lives.
  [[nodiscard]] std::optional<BatchPlan> PlanBatch(const BatchRequest& request);
  // Takes the settings file's lock, writes [Quilmarr] and the journal, and
  // starts the update worker; false when refused (the reason is shown).
  bool StartBatch(const BatchPlan& plan);
  bool StartBatch(const BatchRequest& request);
  // A batch, from its start until its worker has returned.
  [[nodiscard]] bool BatchAlive() const noexcept;
  [[nodiscard]] bool BatchActive() const noexcept { return batchActive_; }
  // During a batch: the running updater finishes, the rest are skipped.
  // After it: devices not yet heard back stay "Done".
  void Interrupt();

  [[nodiscard]] UiMode Mode() const noexcept {
    if (batchActive_) return UiMode::Updating;
    return captureActive_ ? UiMode::Querying : UiMode::Idle;
  }

  // Refused while a batch runs: it is asked to stop and the user told to
  // wait. Otherwise ends the capture, writes the report and restores [UDP].
  bool Close();
  // The window goes away without a close: stops both workers and waits.
  void Shutdown();
  // The operating system ends the session: whatever still runs, the report
  // is written and [UDP] put back now.
  void EndNow();
  // [UDP] could not be put back after this session's batch: its journal is
  // kept, and no batch starts until a put-back succeeds.
  [[nodiscard]] bool UdpPending() const noexcept { return udpPending_; }

  void HandleMessage(const Message& message);
  // Once a second: ends the verification windows that ran out.
  void Tick();

  // The devices to list, in table order: heard within kFreshSeconds, ticked
  // during a batch, or in the last batch; with "Updating" or the outcome.
  // `batchJustEnded`: the last rows after a batch, with no marker.
  [[nodiscard]] std::vector<DeviceRow> Rows(const std::vector<std::u16string>& ticked,
                                            bool batchJustEnded = false) const;

  // The devices heard with these addresses, as the table spells them, in the
  // order given; empty ones: every device heard, in the order first heard.
  // Nullopt when one was not heard, or none was (the reason is shown).
  [[nodiscard]] std::optional<std::vector<std::u16string>> HeardTargets(
      const std::vector<std::u16string>& ips) const;
  // Nullopt while no batch has run since the last query.
  [[nodiscard]] std::optional<BatchProgress> Progress() const;
  // The devices of the batch whose outcome became final since the last call,
  // in update order: each once, as soon as nothing can change it.
  [[nodiscard]] std::vector<DeviceResult> TakeFinishedDevices();
  // The plan's devices, in update order, with what was last heard of them.
  [[nodiscard]] std::vector<PlannedDevice> PlannedDevices(const BatchPlan& plan) const;

  [[nodiscard]] const DeviceTable& Devices() const noexcept { return devices_; }
  [[nodiscard]] const BatchOutcomes* Outcomes() const noexcept { return outcomes_.get(); }
  [[nodiscard]] const std::u16string& UpdatingIp() const noexcept { return updatingIp_; }
  [[nodiscard]] const std::u16string& ReportPath() const noexcept { return reportPath_; }
  // Whether the report of the last batch has been written (true) or failed (false).
  [[nodiscard]] std::optional<bool> ReportWritten() const noexcept { return reportWritten_; }
  // The report, once the batch and its verification are over, or now with
  // the outcomes known so far; a failure is shown.
  void WriteReport();

 private:
  bool WaitForCaptureEnd();
  void StopWorkers();  // asks both to end and handles messages until they have, a while
  void OnCaptureEnded();
  void OnUpdateFinished();
  void WriteReportIfOver();
  // Joins an ended update worker and frees its job, which restores [UDP].
  void ReleaseBatch();
  void ForgetJournalIfDone();
  void RecoverEarlierBatch(bool dryRun);
  [[nodiscard]] bool PutBackOwnUdp();  // said when it fails
  [[nodiscard]] bool WriteJournal();   // under journalMutex_
  // On the worker's thread.
  [[nodiscard]] std::optional<std::u16string> BeforeRun(std::size_t index);
  void RunStarted(std::size_t index, const ProcessIdentity& updater);
  void PlanActions(BatchPlan& plan) const;
  void CountHeardFailures();
  void AfterRun(std::size_t index, DeviceRun& run);
  void ShowError(std::u16string_view text) { host_.ShowError(text); }

  SessionServices services_;
  SessionHost& host_;
  WindowMessageSink sink_{services_.window};
  std::unique_ptr<AdapterList> adapters_;
  std::unique_ptr<SiteRoster> roster_;
  CaptureContext capture_;
  std::u16string captureIp_;  // the address of the adapter captured on
  DeviceTable devices_;
  std::unique_ptr<UpdateJob> job_;
  // The settings file's, from a batch's start until its report is written.
  FileLock lock_;
  // The journal's content; the worker updates it at each device's start and end.
  std::mutex journalMutex_;
  BatchJournal journal_;
  bool journalWriteFailed_ = false;  // under journalMutex_
  bool udpPending_ = false;
  std::u16string lastRecoveryText_;
  std::u16string updaterPath_;
  std::unique_ptr<WriteBlock> packageBlock_;
  // The worker's runs: their places among the batch's devices; read-only while it lives.
  std::vector<std::size_t> runIndex_;
  std::size_t maxFailures_ = 0;
  std::optional<UnixSeconds> finishBy_;
  std::size_t runFailures_ = 0;  // under journalMutex_: runs that ended not well
  // Devices ended not succeeded that the worker cannot see: not run, or not verified.
  std::atomic<std::size_t> heardFailures_{0};
  // What the devices the worker did not run get, if it stopped for a reason.
  std::atomic<DeviceOutcome> notRun_{DeviceOutcome::NotStarted};
  std::unique_ptr<BatchOutcomes> outcomes_;
  std::u16string reportPath_;
  std::optional<bool> reportWritten_;
  std::vector<bool> finishedTaken_;  // per device of the batch
  std::u16string updatingIp_;
  std::int64_t updatingSince_ = 0;  // Clock::SteadySeconds
  std::int64_t batchSince_ = 0;
  bool captureActive_ = false;  // from a capture's start until its end is handled
  bool batchActive_ = false;    // from a batch's start until its end is handled
  // Keeps the computer awake during the batch.
  std::unique_ptr<SleepHold> sleepHold_;
  // Declared last: destroyed first, joining the workers before the records
  // they share are freed.
  UpdateWorkerThread updateThread_;
  CaptureWorkerThread captureThread_;
};

}  // namespace quilmarr
