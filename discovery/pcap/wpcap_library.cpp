#include "discovery/pcap/wpcap_library.h"

namespace quilmarr {
namespace {

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(folder, length);
}

std::vector<std::wstring> PlatformCandidates() {
  const std::wstring system = SystemFolder();
  if (system.empty()) return {};
  return {system + L"\\Npcap\\wpcap.dll", system + L"\\wpcap.dll"};
}

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr;
}

// The entry points the capture needs, then the optional ones.
bool ResolveAll(HMODULE module, WpcapFunctions& f) {
  const bool needed =
      Resolve(module, "pcap_findalldevs_ex", f.findAllDevsEx) &&
      Resolve(module, "pcap_freealldevs", f.freeAllDevs) && Resolve(module, "pcap_open", f.open) &&
      Resolve(module, "pcap_next_ex", f.nextEx) && Resolve(module, "pcap_breakloop", f.breakLoop) &&
      Resolve(module, "pcap_close", f.close);
  if (needed) static_cast<void>(Resolve(module, "pcap_setbuff", f.setBuffer));
  return needed;
}

}  // namespace

WpcapLibrary::WpcapLibrary() : WpcapLibrary(PlatformCandidates()) {}

WpcapLibrary::WpcapLibrary(const std::vector<std::wstring>& candidates) {
  for (const std::wstring& path : candidates) {
    // A full path; what it needs is searched for in its own folder (Npcap's
    // Packet.dll lies beside its wpcap.dll), then in System32, never in the
    // current folder. LOAD_WITH_ALTERED_SEARCH_PATH would bring the current
    // folder back and cannot be combined with these flags.
    const HMODULE module = LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) continue;
    WpcapFunctions functions;
    if (ResolveAll(module, functions)) {
      module_ = module;
      functions_ = functions;
      return;
    }
    FreeLibrary(module);
  }
}

WpcapLibrary::~WpcapLibrary() {
  if (module_ != nullptr) FreeLibrary(module_);
}

}  // namespace quilmarr
