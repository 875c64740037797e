// quilmarr-cli: the tool's core from the command line, for inspecting saved
// captures, adapters and the shared settings file.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "platform/dll_search.h"
#include "quilmarr_version.h"
#include "tools/cli/commands.h"

int main(int argc, char** argv) {
  quilmarr::HardenDllSearch();  // before any DLL is loaded by name (Windows)
  CLI::App app{"Quilmarr command-line companion: LLDP captures, adapters and settings"};
  app.set_version_flag("--version", std::string("quilmarr-cli ") + QUILMARR_VERSION_TEXT);
  app.require_subcommand(1);
  // Options are --long and -s everywhere; a word starting with '/' is a path
  // (CLI11 would read it as an option on Windows). Subcommands inherit this.
  app.allow_windows_style_options(false);
  int status = 0;
  quilmarr::cli::AddDecodeCommands(app, status);
  quilmarr::cli::AddAdapterCommands(app, status);
  quilmarr::cli::AddSettingsCommands(app, status);
  quilmarr::cli::AddUpdateCommand(app, status);
  quilmarr::cli::AddAuditCommand(app, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return quilmarr::cli::kUsageError;
  }
  std::fflush(stdout);
  return status;
}
