#pragma once
// The platform's capture library, for the front ends and the tools: libpcap,
// or on Windows wpcap.dll (Npcap) loaded at run time.
#include <memory>

#include "discovery/adapters.h"
#include "discovery/capture_worker.h"

namespace quilmarr {

// Shown once when capture is impossible because the library is not installed;
// enumeration then fails as usual ("Cant find any network adapter").
inline constexpr char kCaptureLibraryMissing[] =
    "Please install Npcap from https://npcap.com/ to capture on this computer";

class CaptureLibrary {
 public:
  CaptureLibrary();
  CaptureLibrary(const CaptureLibrary&) = delete;
  CaptureLibrary& operator=(const CaptureLibrary&) = delete;
  ~CaptureLibrary();

  [[nodiscard]] InterfaceLister& Interfaces() noexcept;
  // Makes closed live sources; they must not outlive this object.
  [[nodiscard]] PacketSourceFactory LiveSources() const;
  // True when the library itself could not be loaded (Windows without Npcap).
  [[nodiscard]] bool LibraryMissing() const noexcept;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace quilmarr
