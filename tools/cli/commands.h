#pragma once
// quilmarr-cli subcommands. Each Add*Commands registers its subcommands on
// `app`; a subcommand's callback stores its exit status in `status`.
#include <CLI/CLI.hpp>

#include <initializer_list>
#include <string>
#include <string_view>

#include "inventory/device_table.h"

namespace quilmarr::cli {

void AddDecodeCommands(CLI::App& app, int& status);    // decode, table [--csv]
void AddAdapterCommands(CLI::App& app, int& status);   // adapters, listen
void AddSettingsCommands(CLI::App& app, int& status);  // ini get/set, settings
void AddUpdateCommand(CLI::App& app, int& status);     // update
void AddAuditCommand(CLI::App& app, int& status);      // audit

enum class ListenEnd { Listened, NoAdapters, NoSuchAdapter, OpenFailed, ReadFailed };
inline constexpr char kOpenAdapterFailed[] = "Open adapter failed";
inline constexpr char kAdapterReadFailed[] =
    "Capture stopped: the network adapter could not be read";

// A live capture on the adapter with this address for `seconds`, every frame
// through the packet pipeline into `table`. Says on standard error when there
// is no such adapter or no adapter list.
ListenEnd ListenOnAdapter(const std::string& adapterIp, double seconds, DeviceTable& table);

// Text field as one line of UTF-8: characters below U+0020, U+007F and the
// backslash become \xHH.
[[nodiscard]] std::string EscapeField(std::u16string_view text);

// Fields escaped as above, separated by one tab.
[[nodiscard]] std::string JoinFields(std::initializer_list<std::u16string_view> fields);

// Empty when `text` is a number of seconds from 0 to 86400, else why not.
[[nodiscard]] std::string ListenSecondsError(const std::string& text);

// Exit status for unreadable input and wrong arguments.
inline constexpr int kUsageError = 2;

}  // namespace quilmarr::cli
