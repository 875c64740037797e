#pragma once
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "update/device_run.h"
#include "update/settings_file.h"
#include "update/update_sink.h"

namespace quilmarr {

// The one record the dialog shares with the update worker.
struct UpdateJob {
  UpdateJob(SettingsFile& settings, UpdateSink* reportTo);
  UpdateJob(const UpdateJob&) = delete;
  UpdateJob& operator=(const UpdateJob&) = delete;
  ~UpdateJob();

  void ReplaceTargets(const std::vector<std::u16string>& ips);

  std::unique_ptr<std::vector<std::u16string>> targetIps;
  std::u16string adapterIp;
  std::u16string packagePath;
  UpdateSink* sink = nullptr;  // the dialog
  // Zero: each updater runs as long as it takes. Ending an updater while it
  // writes flash can leave a device unusable, so a limit is the user's choice.
  std::chrono::seconds updateTimeLimit{0};
  // On the worker's thread, just before the updater of target `index` is
  // started: a text stops the batch there (that device and the rest are
  // not started) and is reported. Then once the updater runs, and once its
  // run has ended, before the end is reported (it may mark the run).
  std::function<std::optional<std::u16string>(std::size_t index)> beforeRun;
  std::function<void(std::size_t index, const ProcessIdentity& updater)> runStarted;
  std::function<void(std::size_t index, DeviceRun& run)> afterRun;
  std::atomic<bool> interruptRequested{false};
  std::atomic<bool> running{false};
};

}  // namespace quilmarr
