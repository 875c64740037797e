#pragma once
#include <atomic>
#include <thread>

#include "platform/process.h"
#include "update/settings_file.h"
#include "update/update_job.h"

namespace quilmarr {

inline constexpr char kUpdaterFileName[] = "Pendravel.exe";
inline constexpr char kUpdaterPortArgument[] = "-P255";

// The thread procedure of a batch; returns 0. Posts WM_UPDATE_ERROR,
// WM_UPDATE_DEVICE_STARTED and WM_UPDATE_FINISHED to job.hwnd, texts by value.
int UpdateWorker(UpdateJob& job, const SettingsFile& settings, ProcessLauncher& launcher);

// Owns one update worker thread; the destructor joins it.
class UpdateWorkerThread {
 public:
  UpdateWorkerThread() = default;
  UpdateWorkerThread(const UpdateWorkerThread&) = delete;
  UpdateWorkerThread& operator=(const UpdateWorkerThread&) = delete;
  ~UpdateWorkerThread();

  // Joins an earlier, ended worker first. Precondition: !IsAlive().
  void Start(UpdateJob& job, const SettingsFile& settings, ProcessLauncher& launcher);
  // True from Start until the thread procedure has returned (covers the time
  // before the worker sets `running` and after it posts its last message).
  [[nodiscard]] bool IsAlive() const noexcept { return alive_.load(); }
  void Join();

 private:
  std::thread thread_;
  std::atomic<bool> alive_{false};
};

}  // namespace quilmarr
