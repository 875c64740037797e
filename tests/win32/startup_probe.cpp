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

struct BoxSearch {
  DWORD process;
  HWND box = nullptr;
};

// A message box of the program: a dialog with the caption "Error".
BOOL CALLBACK FindErrorBox(HWND window, LPARAM parameter) {
  auto& search = *reinterpret_cast<BoxSearch*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  std::array<wchar_t, 16> caption{};
  GetWindowTextW(window, caption.data(), static_cast<int>(caption.size()));
  if (process == search.process && IsWindowVisible(window) &&
      std::wstring(caption.data()) == L"Error") {
    search.box = window;
    return FALSE;
  }
  return TRUE;
}

void CloseErrorBoxes(DWORD process) {
  BoxSearch search{process};
  EnumWindows(&FindErrorBox, reinterpret_cast<LPARAM>(&search));
  if (search.box == nullptr) return;
  std::array<wchar_t, 512> text{};
  GetDlgItemTextW(search.box, 0xFFFF, text.data(), static_cast<int>(text.size()));
  std::fwprintf(stderr, L"error box: %ls\n", text.data());
  PostMessageW(search.box, WM_COMMAND, IDOK, 0);
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
    const HWND found = FindWindowW(L"#32770", argv[2]);
    if (found != nullptr && IsWindowVisible(found)) {
      window = found;
    } else {
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
