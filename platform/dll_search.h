#pragma once

namespace quilmarr {

// Called first thing by each Windows program: later DLL loads by name search
// System32 and folders added with AddDllDirectory only, never the current
// folder or the program's own. A package opened from a USB stick or a share,
// or a program copied into a downloads folder, would otherwise have a planted
// DLL loaded in its place. Nothing to do elsewhere.
void HardenDllSearch() noexcept;

}  // namespace quilmarr
