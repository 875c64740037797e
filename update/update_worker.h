#pragma once
#include <string>

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/worker_thread.h"
#include "update/settings_file.h"
#include "update/update_job.h"

namespace quilmarr {

inline constexpr char kUpdaterFileName[] = "Pendravel.exe";
inline constexpr char kUpdaterPortArgument[] = "-P255";
// Reported when [Pendravel] "ExePath" is empty.
inline constexpr char kMissingUpdaterText[] = "Please install Pendravel";

// The program the worker starts: "ExePath" followed directly by the file name.
// No separator is added: "ExePath" must end with one, as the updater's
// installation writes it.
[[nodiscard]] std::u16string UpdaterProgramPath(const std::u16string& exePath);

// "The settings file could not be written: <path>". The updater finds its
// target only in that file, so a batch whose addresses cannot be written
// there must not start it.
[[nodiscard]] std::u16string SettingsNotWrittenText(const SettingsFile& settings);

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
