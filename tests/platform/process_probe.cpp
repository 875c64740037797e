// Child program for the process launcher tests. Usage:
//   process_probe REPORT [ARG...]  waits a little (so a launcher that does not
//     wait is caught), then writes REPORT: one line per argument, the working
//     folder, QUILMARR_PROBE_VALUE and what its standard handles and other
//     open descriptors are;
//   process_probe --exit N         exits with status N;
//   process_probe --hang PIDFILE   starts a second probe that hangs too, writes
//     both process ids to PIDFILE and hangs.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
std::string StandardHandle(DWORD which) { return GetStdHandle(which) == nullptr ? "null" : "set"; }
#else
std::string StandardHandle(int descriptor) {
  std::error_code error;
  const auto target =
      std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(descriptor), error);
  return error ? "closed" : target.string();
}

std::string OtherDescriptors() {
  std::string list;
  // The directory iterator's own descriptor shows up too; it points into /proc.
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    const std::string name = entry.path().filename().string();
    const int descriptor = std::stoi(name);
    std::error_code error;
    const auto target = std::filesystem::read_symlink(entry.path(), error);
    if (descriptor <= 2 || (!error && target.string().starts_with("/proc/"))) continue;
    list += name + ' ';
  }
  return list;
}
#endif

}  // namespace

[[noreturn]] void Hang() {
  for (;;) std::this_thread::sleep_for(std::chrono::seconds(60));
}

// Starts this program again with "--hang -": a grandchild of the launcher.
long StartHangingChild(const char* self) {
#ifdef _WIN32
  std::wstring line = L"\"";
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  line += path;
  line += L"\" --hang -";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION child{};
  static_cast<void>(self);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &child)) {
    return -1;
  }
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return static_cast<long>(child.dwProcessId);
#else
  const pid_t child = fork();
  if (child == 0) {
    execl(self, self, "--hang", "-", static_cast<char*>(nullptr));
    _exit(127);
  }
  return static_cast<long>(child);
#endif
}

long OwnId() {
#ifdef _WIN32
  return static_cast<long>(GetCurrentProcessId());
#else
  return static_cast<long>(getpid());
#endif
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string mode = argv[1];
  if (mode == "--exit" && argc == 3) return std::atoi(argv[2]);
  if (mode == "--hang" && argc == 3) {
    if (std::string(argv[2]) != "-") {
      const long grandchild = StartHangingChild(argv[0]);
      std::ofstream(argv[2]) << OwnId() << ' ' << grandchild << '\n';
    }
    Hang();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // Everything is gathered before the report is opened, so its descriptor is not listed.
  std::ostringstream report;
  for (int i = 2; i < argc; ++i) report << "arg=" << argv[i] << '\n';
  report << "cwd=" << std::filesystem::current_path().string() << '\n';
  const char* value = std::getenv("QUILMARR_PROBE_VALUE");
  report << "env=" << (value != nullptr ? value : "(unset)") << '\n';
#ifdef _WIN32
  report << "stdin=" << StandardHandle(STD_INPUT_HANDLE) << '\n';
  report << "stdout=" << StandardHandle(STD_OUTPUT_HANDLE) << '\n';
  report << "stderr=" << StandardHandle(STD_ERROR_HANDLE) << '\n';
#else
  report << "stdin=" << StandardHandle(0) << '\n';
  report << "stdout=" << StandardHandle(1) << '\n';
  report << "stderr=" << StandardHandle(2) << '\n';
  report << "others=" << OtherDescriptors() << '\n';
#endif
  std::ofstream(argv[1], std::ios::binary) << report.str();
  return 0;
}
