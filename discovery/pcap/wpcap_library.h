#pragma once
// wpcap.dll, the WinPcap/Npcap API, loaded at run time: a machine without
// Npcap still starts the program, which can then say what is missing.
#include <windows.h>
#include <pcap/pcap.h>

#include <string>
#include <vector>

namespace quilmarr {

// The entry points the tool calls. Each is implemented by Npcap and by Wine's
// wpcap.dll; many others are stubs in Wine that abort the process when called
// (pcap_open_offline, pcap_getevent, pcap_stats_ex...) or are not exported at
// all (pcap_init, pcap_set_immediate_mode), so they are never looked up.
struct WpcapFunctions {
  decltype(&::pcap_findalldevs_ex) findAllDevsEx = nullptr;
  decltype(&::pcap_freealldevs) freeAllDevs = nullptr;
  decltype(&::pcap_open) open = nullptr;
  decltype(&::pcap_next_ex) nextEx = nullptr;
  decltype(&::pcap_breakloop) breakLoop = nullptr;
  decltype(&::pcap_close) close = nullptr;
  // Optional (null when absent): the kernel buffer of an open capture.
  decltype(&::pcap_setbuff) setBuffer = nullptr;
};

class WpcapLibrary {
 public:
  // Npcap's own folder (System32\Npcap) first, then System32, where
  // WinPcap, Npcap's compatible mode and Wine put wpcap.dll.
  WpcapLibrary();
  // The first of these files that loads and has every entry point.
  explicit WpcapLibrary(const std::vector<std::wstring>& candidates);
  WpcapLibrary(const WpcapLibrary&) = delete;
  WpcapLibrary& operator=(const WpcapLibrary&) = delete;
  ~WpcapLibrary();

  // Null when no wpcap.dll with every entry point could be loaded.
  [[nodiscard]] const WpcapFunctions* Functions() const noexcept {
    return module_ != nullptr ? &functions_ : nullptr;
  }

 private:
  HMODULE module_ = nullptr;
  WpcapFunctions functions_;
};

}  // namespace quilmarr
