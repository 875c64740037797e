// quilmarr-cli ini get/set and settings, run as a user would, on real files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/support/child_process.h"

namespace quilmarr::test {
namespace {

CommandResult RunCli(std::vector<std::string> args) {
  args.insert(args.begin(), QUILMARR_CLI_PATH);
  return RunCommand(args);
}

TEST(CliSettings, IniSetAndGetGoThroughTheToolsLayer) {
  TempFolder folder;
  const std::string file = folder.File("Pendravel.ini").string();
  WriteBytes(file, "; kept\n[UDP]\nREMOTE_IP=1.1.1.1\n");

  struct Step {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const Step steps[] = {
      {{"ini", "set", file, "UDP", "HOST_IP", "10.0.0.1"}, 0, ""},
      {{"ini", "get", file, "udp", "host_ip", "50"}, 0, "10.0.0.1\n"},
      {{"ini", "get", file, "UDP", "HOST_IP", "4"}, 0, "10.\n"},
      {{"ini", "get", file, "UDP", "MISSING", "50"}, 0, "\n"},
      {{"ini", "get", file + ".absent", "UDP", "HOST_IP", "50"}, 0, "\n"},
      {{"ini", "set", file, "UDP", "PckFile", "a\n[UDP]\nREMOTE_IP=6.6.6.6"}, 1, ""},
      {{"ini", "set", (folder.Path() / "absent" / "x.ini").string(), "S", "k", "v"}, 1, ""},
      {{"ini", "get", file, "UDP"}, 2, ""},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.args[1] + " " + step.args.back());
    const auto result = RunCli(step.args);
    EXPECT_EQ(result.status, step.status);
    EXPECT_EQ(result.out, step.out);
  }
  EXPECT_EQ(ReadBytes(file), "; kept\n[UDP]\nREMOTE_IP=1.1.1.1\nHOST_IP=10.0.0.1\n");
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "absent"));
}

TEST(CliSettings, SettingsShowsThePathAndEveryKey) {
  TempFolder configHome;
  const auto firmware = configHome.Path() / "Kavrendt" / "Ostrovel" / "Firmware";
  std::filesystem::create_directories(firmware);
  WriteBytes(
      firmware / "Pendravel.ini",
      "[UDP]\nREMOTE_IP=10.0.0.5\n[Quilmarr]\nPckFile=/fw/a.pck\n[Pendravel]\nExePath=C:\\P\\\n");
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("XDG_CONFIG_HOME", configHome.Path().c_str(), 1);
  const auto result = RunCli({"settings"});
  if (old != nullptr) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "file: " + (firmware / "Pendravel.ini").string() +
                            "\n[UDP] REMOTE_IP=10.0.0.5\n[UDP] HOST_IP=\n"
                            "[Quilmarr] PckFile=/fw/a.pck\n[Quilmarr] AdapterIp=\n"
                            "[Pendravel] ExePath=C:\\x5cP\\x5c\n");
}

}  // namespace
}  // namespace quilmarr::test
