#pragma once
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "update/settings_file.h"
#include "update/update_sink.h"

namespace quilmarr {

// The one record the dialog shares with the update worker.
struct UpdateJob {
  UpdateJob(SettingsFile& settings, UpdateSink* reportTo);
  UpdateJob(const UpdateJob&) = delete;
  UpdateJob& operator=(const UpdateJob&) = delete;
  ~UpdateJob();  // targets freed, then the snapshot restored

  void ReplaceTargets(const std::vector<std::u16string>& ips);

  UdpSettingsSnapshot udpSnapshot;
  std::unique_ptr<std::vector<std::u16string>> targetIps;
  std::u16string adapterIp;
  std::u16string packagePath;
  UpdateSink* sink = nullptr;  // the dialog
  // Zero: each updater runs as long as it takes. Ending an updater while it
  // writes flash can leave a device unusable, so a limit is the user's choice.
  std::chrono::seconds updateTimeLimit{0};
  std::atomic<bool> interruptRequested{false};
  std::atomic<bool> running{false};
};

}  // namespace quilmarr
