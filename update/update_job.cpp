#include "update/update_job.h"

namespace quilmarr {

UpdateJob::UpdateJob(SettingsFile& settings, UpdateSink* reportTo)
    : udpSnapshot(settings), sink(reportTo) {}

// Members go in reverse order, so the snapshot, the first field, restores last.
UpdateJob::~UpdateJob() {
  targetIps.reset();
  packagePath.clear();
  adapterIp.clear();
}

void UpdateJob::ReplaceTargets(const std::vector<std::u16string>& ips) {
  targetIps.reset();
  targetIps = std::make_unique<std::vector<std::u16string>>(ips);
}

}  // namespace quilmarr
