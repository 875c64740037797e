#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/process.h"

namespace quilmarr {
namespace {

// Closes a kernel handle when it goes out of scope.
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle = nullptr) noexcept : handle_(handle) {}
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  ~OwnedHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  [[nodiscard]] HANDLE Get() const noexcept { return handle_; }

 private:
  HANDLE handle_;
};

int ExitCodeOf(HANDLE process) {
  DWORD code = 0;
  return GetExitCodeProcess(process, &code) ? static_cast<int>(code) : -1;
}

std::uint64_t CreationTimeOf(HANDLE process) {
  FILETIME creation{}, exit{}, kernel{}, user{};
  if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) return 0;
  return (static_cast<std::uint64_t>(creation.dwHighDateTime) << 32) | creation.dwLowDateTime;
}

class WindowsProcessLauncher final : public ProcessLauncher {
 public:
  ProcessRun RunAndWait(const std::u16string& program, const std::vector<std::u16string>& arguments,
                        std::chrono::seconds timeLimit, const ProcessStarted& started) override {
    const std::u16string line = BuildWindowsCommandLine(program, arguments);
    // CreateProcessW may write into the command line, so it gets a copy.
    std::vector<wchar_t> writableLine(line.begin(), line.end());
    writableLine.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_SHOW;

    const bool limited = timeLimit.count() > 0;
    // A limited run starts suspended inside a job object, so the watchdog can
    // end the updater together with every process it started.
    OwnedHandle job(limited ? CreateJobObjectW(nullptr, nullptr) : nullptr);
    if (limited && job.Get() == nullptr) return {};
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, writableLine.data(), nullptr, nullptr, FALSE,
                        limited ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &child)) {
      return {};
    }
    const OwnedHandle process(child.hProcess);
    const OwnedHandle thread(child.hThread);
    if (started) started({child.dwProcessId, CreationTimeOf(process.Get())});
    if (!limited) {
      WaitForSingleObject(thread.Get(), INFINITE);
      WaitForSingleObject(process.Get(), INFINITE);
      return {ProcessRun::End::Exited, ExitCodeOf(process.Get())};
    }
    if (!AssignProcessToJobObject(job.Get(), process.Get())) {
      TerminateProcess(process.Get(), 1);
      return {};
    }
    ResumeThread(thread.Get());
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(timeLimit);
    const DWORD wait =
        milliseconds.count() >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(milliseconds.count());
    if (WaitForSingleObject(process.Get(), wait) == WAIT_OBJECT_0) {
      return {ProcessRun::End::Exited, ExitCodeOf(process.Get())};
    }
    TerminateJobObject(job.Get(), 1);
    WaitForSingleObject(process.Get(), INFINITE);
    return {ProcessRun::End::TimedOut, 0};
  }
};

}  // namespace

bool ProcessStillRuns(const ProcessIdentity& process) {
  if (process.id <= 0) return false;
  const OwnedHandle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                       static_cast<DWORD>(process.id)));
  return handle.Get() != nullptr && CreationTimeOf(handle.Get()) == process.start &&
         WaitForSingleObject(handle.Get(), 0) == WAIT_TIMEOUT;
}

std::unique_ptr<ProcessLauncher> MakePlatformProcessLauncher() {
  return std::make_unique<WindowsProcessLauncher>();
}

}  // namespace quilmarr
