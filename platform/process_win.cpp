#include <windows.h>

#include <string>
#include <vector>

#include "platform/process.h"

namespace quilmarr {
namespace {

class WindowsProcessLauncher final : public ProcessLauncher {
 public:
  bool RunAndWait(const std::u16string& program,
                  const std::vector<std::u16string>& arguments) override {
    const std::u16string line = BuildWindowsCommandLine(program, arguments);
    // CreateProcessW may write into the command line, so it gets a copy.
    std::vector<wchar_t> writableLine(line.begin(), line.end());
    writableLine.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, writableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &child)) {
      return false;
    }
    WaitForSingleObject(child.hThread, INFINITE);
    WaitForSingleObject(child.hProcess, INFINITE);
    // The child has ended by now; this changes nothing and is kept as a safeguard.
    TerminateProcess(child.hProcess, 0);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    return true;
  }
};

}  // namespace

std::unique_ptr<ProcessLauncher> MakePlatformProcessLauncher() {
  return std::make_unique<WindowsProcessLauncher>();
}

}  // namespace quilmarr
