#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/folders.h"
#include "platform/text.h"

namespace quilmarr {
namespace {

std::optional<std::string> PasswordDatabaseHome() {
  long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] == '\0') {
    return std::nullopt;
  }
  return std::string(found->pw_dir);
}

// The XDG Base Directory rules for the user's configuration folder.
class XdgConfigLocator final : public AppDataFolderLocator {
 public:
  [[nodiscard]] std::optional<std::u16string> RoamingAppDataFolder() const override {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return FromUtf8(xdg);
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return FromUtf8(std::string(home) + "/.config");
    if (const auto passwdHome = PasswordDatabaseHome()) return FromUtf8(*passwdHome + "/.config");
    return std::nullopt;
  }
  [[nodiscard]] std::u16string FallbackFolder() const override { return {}; }
};

}  // namespace

std::unique_ptr<AppDataFolderLocator> MakePlatformFolderLocator() {
  return std::make_unique<XdgConfigLocator>();
}

char16_t PathSeparator() noexcept { return u'/'; }

}  // namespace quilmarr
