#include "update/update_job.h"

namespace quilmarr {

UpdateJob::UpdateJob(SettingsFile& settings, UpdateSink* reportTo) : sink(reportTo) {
  settings.ResolveFolder();
}

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
