// Starts a Windows program, waits until its main window is shown, closes it
// with WM_CLOSE and waits for the program to end; reports how long the window
// took to appear. Error boxes shown meanwhile are listed and closed.
//   startup_probe.exe <program.exe> <window title>
// Exit code 0 when the window appeared and the program then ended with 0.
#include <windows.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr auto kPatience = std::chrono::seconds(30);

struct WindowSearch {
  DWORD process;
  std::wstring caption;
  HWND found = nullptr;
};

// A shown top-level window of the program (not of another program that has
// one with the same caption) with the caption searched for.
BOOL CALLBACK FindShownWindow(HWND window, LPARAM parameter) {
  auto& search = *reinterpret_cast<WindowSearch*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  std::array<wchar_t, 128> caption{};
  GetWindowTextW(window, caption.data(), static_cast<int>(caption.size()));
  if (process == search.process && IsWindowVisible(window) && caption.data() == search.caption) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindShown(DWORD process, const std::wstring& caption) {
  WindowSearch search{process, caption};
  EnumWindows(&FindShownWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void CloseErrorBoxes(DWORD process) {
  const HWND box = FindShown(process, L"Error");
  if (box == nullptr) return;
  std::array<wchar_t, 512> text{};
  GetDlgItemTextW(box, 0xFFFF, text.data(), static_cast<int>(text.size()));
  std::fwprintf(stderr, L"error box: %ls\n", text.data());
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: startup_probe <program.exe> <window title>\n", stderr);
    return 2;
  }
  std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION child{};
  const auto started = std::chrono::steady_clock::now();
  if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &child)) {
    std::fputs("cannot start the program\n", stderr);
    return 1;
  }
  HWND window = nullptr;
  while (window == nullptr && std::chrono::steady_clock::now() - started < kPatience) {
    window = FindShown(child.dwProcessId, argv[2]);
    if (window == nullptr) {
      CloseErrorBoxes(child.dwProcessId);
      Sleep(5);
    }
  }
  const auto shown = std::chrono::steady_clock::now();
  DWORD exitCode = 1;
  if (window != nullptr) {
    std::printf(
        "window shown after %lld ms\n",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(shown - started).count()));
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(child.hProcess, 10'000) == WAIT_OBJECT_0) {
      GetExitCodeProcess(child.hProcess, &exitCode);
    }
  } else {
    std::fputs("no window\n", stderr);
  }
  TerminateProcess(child.hProcess, 1);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return window != nullptr && exitCode == 0 ? 0 : 1;
}
