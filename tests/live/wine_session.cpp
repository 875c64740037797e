#include "tests/live/wine_session.h"

#include <algorithm>

#include "tests/support/child_process.h"

namespace quilmarr::test {

bool StopWine() {
  static_cast<void>(RunCommand({"wineserver", "-k"}));
  return RunCommand({"wineserver", "-w"}).status == 0;
}

bool StartWineIn(const std::string& ns) {
  return StopWine() && RunCommand({"wineserver", "-p"}).status == 0 &&
         RunCommand({"ip", "netns", "exec", ns, "wine", "cmd", "/c", "exit"}).status == 0;
}

std::string WithoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

std::string WindowsPath(const std::filesystem::path& path) {
  std::string text = "Z:" + path.string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

}  // namespace quilmarr::test
