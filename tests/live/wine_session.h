#pragma once
// Test helper: Windows programs under Wine, in the prefix named by
// $WINEPREFIX, with the prefix's services inside a network namespace.
#include <filesystem>
#include <string>

namespace quilmarr::test {

// Ends every process of the prefix and waits for its server to go.
[[nodiscard]] bool StopWine();

// Wine maps adapter names and addresses through its network service, which
// sees the namespace it was started in: stops the prefix, then starts its
// server and services afresh from inside `ns`.
[[nodiscard]] bool StartWineIn(const std::string& ns);

// Wine's console output ends lines with CR LF.
[[nodiscard]] std::string WithoutCarriageReturns(std::string text);

// "Z:\..." for a path of this machine, as a Windows program under Wine sees it.
[[nodiscard]] std::string WindowsPath(const std::filesystem::path& path);

}  // namespace quilmarr::test
