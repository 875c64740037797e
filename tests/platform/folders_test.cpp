#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/folders.h"
#include "platform/text.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace quilmarr::test {
namespace {

#ifdef _WIN32

TEST(PlatformFolderLocatorTest, UsesTheShellsRoamingFolderAndTheWindowsDirectory) {
  const auto locator = MakePlatformFolderLocator();
  const auto appData = locator->RoamingAppDataFolder();
  ASSERT_TRUE(appData.has_value());
  EXPECT_TRUE(appData->ends_with(u"\\AppData\\Roaming")) << ToUtf8(*appData);
  const std::u16string windows = locator->FallbackFolder();
  EXPECT_TRUE(EqualsNoCase(windows, u"C:\\windows")) << ToUtf8(windows);
  EXPECT_EQ(PathSeparator(), u'\\');
}

#else

// Sets or unsets environment variables for one scope.
class EnvironmentOverride {
 public:
  EnvironmentOverride(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  EnvironmentOverride(const EnvironmentOverride&) = delete;
  EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;
  ~EnvironmentOverride() {
    if (saved_) {
      ::setenv(name_, saved_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

std::u16string PasswordHomeConfig() {
  const passwd* entry = ::getpwuid(::geteuid());
  return FromUtf8(std::string(entry != nullptr ? entry->pw_dir : "") + "/.config");
}

struct LocatorCase {
  const char* name;
  const char* xdgConfigHome;               // nullptr: unset
  const char* home;                        // nullptr: unset
  std::optional<std::u16string> expected;  // nullopt: from the password database
};

TEST(PlatformFolderLocatorTest, FollowsTheXdgConfigHomeRules) {
  const LocatorCase cases[] = {
      {"absolute XDG_CONFIG_HOME", "/srv/cfg", "/home/a", u"/srv/cfg"},
      {"relative XDG_CONFIG_HOME ignored", "cfg", "/home/a", u"/home/a/.config"},
      {"empty XDG_CONFIG_HOME ignored", "", "/home/a", u"/home/a/.config"},
      {"HOME alone", nullptr, "/home/a", u"/home/a/.config"},
      {"empty HOME", nullptr, "", std::nullopt},
      {"no HOME", nullptr, nullptr, std::nullopt},
  };
  const auto locator = MakePlatformFolderLocator();
  for (const LocatorCase& c : cases) {
    SCOPED_TRACE(c.name);
    const EnvironmentOverride xdg("XDG_CONFIG_HOME", c.xdgConfigHome);
    const EnvironmentOverride home("HOME", c.home);
    EXPECT_EQ(locator->RoamingAppDataFolder(), c.expected.value_or(PasswordHomeConfig()));
  }
  EXPECT_EQ(locator->FallbackFolder(), u"") << "no system folder stands in for the user's";
  EXPECT_EQ(PathSeparator(), u'/');
}

#endif

}  // namespace
}  // namespace quilmarr::test
