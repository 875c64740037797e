#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/message_target.h"
#include "update/settings_file.h"

namespace quilmarr {

// The one record the dialog shares with the update worker.
struct UpdateJob {
  UpdateJob(SettingsFile& settings, MessageTarget* window);
  UpdateJob(const UpdateJob&) = delete;
  UpdateJob& operator=(const UpdateJob&) = delete;
  ~UpdateJob();  // targets freed, then the snapshot restored

  void ReplaceTargets(const std::vector<std::u16string>& ips);

  UdpSettingsSnapshot udpSnapshot;
  std::unique_ptr<std::vector<std::u16string>> targetIps;
  std::u16string adapterIp;
  std::u16string packagePath;
  MessageTarget* hwnd = nullptr;
  std::atomic<bool> interruptRequested{false};
  std::atomic<bool> running{false};
};

}  // namespace quilmarr
