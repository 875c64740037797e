#pragma once
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/worker_thread.h"
#include "update/settings_file.h"
#include "update/update_job.h"

namespace quilmarr {

inline constexpr char kUpdaterFileName[] = "Pendravel.exe";
inline constexpr char kUpdaterPortArgument[] = "-P255";

// The thread procedure of a batch; returns 0. Reports to job.sink: errors,
// each device as it starts and as its run ends, and the end of the batch.
int UpdateWorker(UpdateJob& job, const SettingsFile& settings, ProcessLauncher& launcher,
                 const Clock& clock);

// Owns one update worker thread; the destructor joins it.
class UpdateWorkerThread {
 public:
  // Joins an earlier, ended worker first. Precondition: !IsAlive().
  void Start(UpdateJob& job, const SettingsFile& settings, ProcessLauncher& launcher,
             const Clock& clock) {
    thread_.Start([&job, &settings, &launcher, &clock] {
      static_cast<void>(UpdateWorker(job, settings, launcher, clock));
    });
  }
  // True from Start until the thread procedure has returned (covers the time
  // before the worker sets `running` and after it posts its last message).
  [[nodiscard]] bool IsAlive() const noexcept { return thread_.IsAlive(); }
  void Join() { thread_.Join(); }

 private:
  WorkerThread thread_;
};

}  // namespace quilmarr
