#pragma once
// quilmarr-cli subcommands. Each Add*Commands registers its subcommands on
// `app`; a subcommand's callback stores its exit status in `status`.
#include <CLI/CLI.hpp>

#include <initializer_list>
#include <string>
#include <string_view>

namespace quilmarr::cli {

void AddDecodeCommands(CLI::App& app, int& status);    // decode, table [--csv]
void AddAdapterCommands(CLI::App& app, int& status);   // adapters, listen
void AddSettingsCommands(CLI::App& app, int& status);  // ini get/set, settings
void AddUpdateCommand(CLI::App& app, int& status);     // update

// Text field as one line of UTF-8: characters below U+0020, U+007F and the
// backslash become \xHH.
[[nodiscard]] std::string EscapeField(std::u16string_view text);

// Fields escaped as above, separated by one tab.
[[nodiscard]] std::string JoinFields(std::initializer_list<std::u16string_view> fields);

// Exit status for unreadable input and wrong arguments.
inline constexpr int kUsageError = 2;

}  // namespace quilmarr::cli
