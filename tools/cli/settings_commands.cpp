#include <cstdio>
#include <memory>
#include <string>

#include "platform/folders.h"
#include "platform/ini.h"
#include "platform/text.h"
#include "tools/cli/commands.h"
#include "update/settings_file.h"

namespace quilmarr::cli {
namespace {

struct IniArguments {
  std::string file;
  std::string section;
  std::string key;
  std::size_t capacity = 0;
  std::string value;
};

void PrintLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
}

void AddIniCommands(CLI::App& app, int& status) {
  auto arguments = std::make_shared<IniArguments>();
  CLI::App* ini = app.add_subcommand("ini", "Read or write one key through the tool's INI layer");
  ini->require_subcommand(1);

  CLI::App* get = ini->add_subcommand("get", "Print a key's value as the tool would read it");
  get->add_option("FILE", arguments->file, "INI file")->required();
  get->add_option("SECTION", arguments->section, "section name")->required();
  get->add_option("KEY", arguments->key, "key name")->required();
  get->add_option("CAPACITY", arguments->capacity, "characters, terminator included")->required();
  get->callback([arguments, &status] {
    const auto store = MakePlatformIniStore();
    PrintLine(EscapeField(store->Read(FromUtf8(arguments->file), FromUtf8(arguments->section),
                                      FromUtf8(arguments->key), u"", arguments->capacity)));
    status = 0;
  });

  CLI::App* set = ini->add_subcommand("set", "Store a key's value as the tool would write it");
  set->add_option("FILE", arguments->file, "INI file")->required();
  set->add_option("SECTION", arguments->section, "section name")->required();
  set->add_option("KEY", arguments->key, "key name")->required();
  set->add_option("VALUE", arguments->value, "value")->required();
  set->callback([arguments, &status] {
    const auto store = MakePlatformIniStore();
    const bool stored = store->Write(FromUtf8(arguments->file), FromUtf8(arguments->section),
                                     FromUtf8(arguments->key), FromUtf8(arguments->value));
    status = stored ? 0 : 1;
  });
}

struct SettingsKey {
  std::u16string_view section;
  std::u16string_view key;
  std::size_t capacity;
};

constexpr SettingsKey kToolKeys[] = {
    {settings::kSectionUdp, settings::kKeyRemoteIp, kIpValueCapacity},
    {settings::kSectionUdp, settings::kKeyHostIp, kIpValueCapacity},
    {settings::kSectionQuilmarr, settings::kKeyPckFile, kPathValueCapacity},
    {settings::kSectionQuilmarr, settings::kKeyAdapterIp, kPathValueCapacity},
    {settings::kSectionPendravel, settings::kKeyExePath, kPathValueCapacity},
};

void AddShowSettingsCommand(CLI::App& app, int& status) {
  CLI::App* show = app.add_subcommand(
      "settings", "Print the settings file path and every key the tool and the updater read");
  show->callback([&status] {
    const auto locator = MakePlatformFolderLocator();
    const auto store = MakePlatformIniStore();
    SettingsFile settings(*locator, *store);
    settings.ResolveFolder();
    PrintLine("file: " + EscapeField(settings.FilePath()));
    for (const SettingsKey& entry : kToolKeys) {
      PrintLine("[" + ToUtf8(entry.section) + "] " + ToUtf8(entry.key) + "=" +
                EscapeField(settings.ReadString(entry.section, entry.key, entry.capacity)));
    }
    status = 0;
  });
}

}  // namespace

void AddSettingsCommands(CLI::App& app, int& status) {
  AddIniCommands(app, status);
  AddShowSettingsCommand(app, status);
}

}  // namespace quilmarr::cli
