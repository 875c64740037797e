#include "update/update_worker.h"

#include <cstddef>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace quilmarr {
namespace {

constexpr char kCreateProcessFailText[] = "create process fail";
constexpr char kUnknownExceptionText[] = "Unknown exception";

void PostError(const UpdateJob& job, std::u16string text) {
  if (job.sink != nullptr) job.sink->UpdateError(std::move(text));
}

void PostError(const UpdateJob& job, const char* text) { PostError(job, WidenCounted(text)); }

void PostDeviceStarted(const UpdateJob& job, const std::u16string& ip) {
  if (job.sink != nullptr) job.sink->UpdateDeviceStarted(ip);
}

void PostDeviceEnded(const UpdateJob& job, DeviceRun run) {
  if (job.sink != nullptr) job.sink->UpdateDeviceEnded(std::move(run));
}

void PostFinished(const UpdateJob& job) {
  if (job.sink != nullptr) job.sink->UpdateFinished();
}

void RunDevices(UpdateJob& job, const SettingsFile& settings, ProcessLauncher& launcher,
                const Clock& clock, const std::u16string& exePath) {
  if (!settings.WriteString(settings::kSectionUdp, settings::kKeyHostIp, job.adapterIp)) {
    PostError(job, SettingsNotWrittenText(settings));
    return;
  }
  for (std::size_t i = 0;; ++i) {
    if (job.interruptRequested.load()) break;
    if (job.targetIps == nullptr || i >= job.targetIps->size()) break;
    const std::u16string program = UpdaterProgramPath(exePath);
    const std::vector<std::u16string> arguments{job.packagePath, FromUtf8(kUpdaterPortArgument)};
    const std::u16string& ip = (*job.targetIps)[i];
    DeviceRun run{ip, 0, 0, {}};
    if (job.beforeRun) {
      if (std::optional<std::u16string> stop = job.beforeRun(i)) {
        PostError(job, std::move(*stop));
        break;
      }
    }
    if (!settings.WriteString(settings::kSectionUdp, settings::kKeyRemoteIp, ip)) {
      // Otherwise the updater would update whatever device the file named before.
      PostError(job, u"Device " + ip + u" skipped. " + SettingsNotWrittenText(settings));
      run.start = run.end = clock.Now();
      if (job.afterRun) job.afterRun(i, run);
      PostDeviceEnded(job, std::move(run));
      continue;
    }
    PostDeviceStarted(job, ip);
    run.start = clock.Now();
    run.process = launcher.RunAndWait(program, arguments, job.updateTimeLimit,
                                      [&job, i](const ProcessIdentity& updater) {
                                        if (job.runStarted) job.runStarted(i, updater);
                                      });
    run.end = clock.Now();
    if (run.process.end == ProcessRun::End::NotStarted) PostError(job, kCreateProcessFailText);
    if (job.afterRun) job.afterRun(i, run);
    PostDeviceEnded(job, std::move(run));
  }
}

void RunBatch(UpdateJob& job, const SettingsFile& settings, ProcessLauncher& launcher,
              const Clock& clock) {
  const std::u16string exePath =
      settings.ReadString(settings::kSectionPendravel, settings::kKeyExePath, kPathValueCapacity);
  if (exePath.empty()) {
    PostError(job, kMissingUpdaterText);
    return;
  }
  job.running.store(true);
  RunDevices(job, settings, launcher, clock, exePath);
}

}  // namespace

std::u16string UpdaterProgramPath(const std::u16string& exePath) {
  return exePath + FromUtf8(kUpdaterFileName);
}

std::u16string SettingsNotWrittenText(const SettingsFile& settings) {
  const std::u16string path = settings.FilePath();
  return u"The settings file could not be written: " +
         (path.empty() ? std::u16string(u"its folder is unknown") : path);
}

int UpdateWorker(UpdateJob& job, const SettingsFile& settings, ProcessLauncher& launcher,
                 const Clock& clock) {
  // The worker's loop is the entry point that turns a failure into a message;
  // the batch still finishes, so the dialog leaves its updating mode.
  try {
    RunBatch(job, settings, launcher, clock);
  } catch (const std::exception& failure) {
    PostError(job, failure.what());
  } catch (...) {
    PostError(job, kUnknownExceptionText);
  }
  PostFinished(job);
  job.running.store(false);
  return 0;
}

}  // namespace quilmarr
