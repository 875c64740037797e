#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#ifndef _WIN32
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#endif

#include "platform/folders.h"
#include "platform/ini_engine.h"
#include "platform/text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/fake_folder_locator.h"
#include "update/settings_file.h"

namespace quilmarr::test {
namespace {

// Writes '/' as the platform's separator, so one table serves both platforms.
std::u16string Native(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c == u'/') c = PathSeparator();
  }
  return out;
}

struct FolderCase {
  const char* name;
  std::optional<std::u16string> appData;
  std::u16string fallback;
  std::u16string expectedFolder;
};

TEST(SettingsFolderTest, ResolvesLikeTheShellLookup) {
  const FolderCase cases[] = {
      {"app data without separator", Native(u"/u/a/AppData/Roaming"), Native(u"/windows"),
       Native(u"/u/a/AppData/Roaming/Kavrendt/Ostrovel/Firmware/")},
      {"app data with separator gets no second one", Native(u"/u/a/AppData/Roaming/"),
       Native(u"/windows"), Native(u"/u/a/AppData/Roaming/Kavrendt/Ostrovel/Firmware/")},
      {"lookup fails: fallback folder, no sub-folder", std::nullopt, Native(u"/windows"),
       Native(u"/windows/")},
      {"lookup fails: fallback with separator", std::nullopt, Native(u"/etc/"), Native(u"/etc/")},
      {"lookup gives an empty path: relative sub-folder", u"", Native(u"/windows"),
       Native(u"Kavrendt/Ostrovel/Firmware/")},
      {"lookup fails and no fallback", std::nullopt, u"", u""},
  };
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.name);
    const FakeFolderLocator locator(c.appData, c.fallback);
    const auto ini = MakePlatformIniStore();
    SettingsFile settings(locator, *ini);
    settings.ResolveFolder();
    EXPECT_EQ(settings.Folder(), c.expectedFolder);
    EXPECT_EQ(settings.FilePath(),
              c.expectedFolder.empty() ? u"" : c.expectedFolder + u"Pendravel.ini");
  }
}

TEST(SettingsFolderTest, LongFoldersNeverOverrunThe260CharacterPath) {
  const std::u16string sub = Native(u"/Kavrendt/Ostrovel/Firmware/");
  const std::size_t fitting = kMaxPathLength - 1 - std::u16string_view(u"Pendravel.ini").size();
  struct LengthCase {
    std::size_t appDataLength;
    bool fileFits;
  };
  const LengthCase cases[] = {
      {fitting - sub.size(), true}, {fitting - sub.size() + 1, false}, {1000, false}};
  for (const LengthCase& c : cases) {
    SCOPED_TRACE(c.appDataLength);
    const FakeFolderLocator locator(std::u16string(c.appDataLength, u'x'), u"");
    const auto ini = MakePlatformIniStore();
    SettingsFile settings(locator, *ini);
    settings.ResolveFolder();
    EXPECT_LE(settings.Folder().size(), kMaxPathLength - 1);
    EXPECT_LE(settings.FilePath().size(), kMaxPathLength - 1);
    EXPECT_EQ(!settings.FilePath().empty(), c.fileFits);
    EXPECT_EQ(settings.ReadString(settings::kSectionUdp, settings::kKeyRemoteIp, 50), u"");
    if (!c.fileFits) {
      EXPECT_FALSE(settings.WriteString(settings::kSectionUdp, settings::kKeyRemoteIp, u"1"));
    }
  }
}

#ifndef _WIN32
// A user with neither XDG_CONFIG_HOME, nor HOME, nor a password entry has no
// settings folder: nothing is read from or written to a folder of the system.
TEST(SettingsFolderTest, UserWithoutAHomeHasNoSettingsFile) {
  uid_t homeless = 54321;
  while (::getpwuid(homeless) != nullptr) ++homeless;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("HOME");
    if (::geteuid() == 0 && ::setuid(homeless) != 0) ::_exit(3);
    const auto locator = MakePlatformFolderLocator();
    const auto ini = MakePlatformIniStore();
    SettingsFile settings(*locator, *ini);
    settings.ResolveFolder();
    const bool unknown = !locator->RoamingAppDataFolder() && settings.FilePath().empty();
    const bool inert =
        !settings.WriteString(settings::kSectionUdp, settings::kKeyHostIp, u"10.0.0.1") &&
        settings.ReadString(settings::kSectionPendravel, settings::kKeyExePath, 300).empty();
    ::_exit(unknown && inert ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a settings file was found or written; 3: setuid failed";
}
#endif

// A settings file in a temporary folder that plays the application-data folder.
class SettingsFileTest : public ::testing::Test {
 protected:
  TempFolder appData_;
  std::filesystem::path folder_ = appData_.Path() / "Kavrendt" / "Ostrovel" / "Firmware";
  std::filesystem::path file_ = folder_ / "Pendravel.ini";
  FakeFolderLocator locator_{appData_.Path().u16string(), u""};
  std::unique_ptr<IniStore> ini_ = MakePlatformIniStore();
  SettingsFile settings_{locator_, *ini_};

  void SetUp() override { std::filesystem::create_directories(folder_); }
  std::u16string Read(std::u16string_view section, std::u16string_view key) const {
    return ini_->Read(file_.u16string(), section, key, u"<missing>", 1000);
  }
};

// Whatever a batch wrote, [UDP] goes back as it was found: an absent key
// stays absent, a value comes back whole, whoever changed it meanwhile.
TEST_F(SettingsFileTest, PutBackRestoresUdpExactly) {
  const std::string sixty(60, '7');
  settings_.ResolveFolder();
  for (const std::string& before : {std::string("[Pendravel]\nExePath=C:\\Pendravel\\\n"),
                                    std::string("[UDP]\nREMOTE_IP=\nHOST_IP=192.168.0.1\n"),
                                    "[UDP]\nREMOTE_IP=" + sixty + "\nHOST_IP=" + sixty + "\n"}) {
    WriteBytes(file_, before);
    const UdpSettingsSnapshot snapshot = TakeUdpSnapshot(settings_);
    settings_.WriteString(settings::kSectionUdp, settings::kKeyHostIp, u"10.0.0.1");
    settings_.WriteString(settings::kSectionUdp, settings::kKeyRemoteIp, u"10.0.0.5");
    // Another program changes a key while the batch runs.
    settings_.WriteString(settings::kSectionUdp, settings::kKeyRemoteIp, u"172.16.0.9");
    ASSERT_TRUE(PutBackUdp(settings_, snapshot)) << before;
    const UdpSettingsSnapshot after = TakeUdpSnapshot(settings_);
    EXPECT_EQ(after.remoteIp, snapshot.remoteIp) << before;
    EXPECT_EQ(after.hostIp, snapshot.hostIp) << before;
    EXPECT_EQ(Read(u"Pendravel", u"ExePath"), before.starts_with("[Pendravel]")
                                                  ? std::u16string(u"C:\\Pendravel\\")
                                                  : u"<missing>");
  }
  EXPECT_EQ(Read(u"UDP", u"REMOTE_IP"), FromUtf8(sixty));
}

TEST_F(SettingsFileTest, PathValuesAreCutToTheirCapacity) {
  const std::string longPath(400, 'p');
  WriteBytes(file_, "[Quilmarr]\nPckFile=" + longPath + "\nAdapterIp=" + longPath +
                        "\n[Pendravel]\nExePath=" + longPath + "\n");
  settings_.ResolveFolder();
  EXPECT_EQ(
      settings_.ReadString(settings::kSectionQuilmarr, settings::kKeyPckFile, kPathValueCapacity),
      std::u16string(299, u'p'));
  EXPECT_EQ(
      settings_.ReadString(settings::kSectionPendravel, settings::kKeyExePath, kPathValueCapacity),
      std::u16string(299, u'p'));
}

TEST_F(SettingsFileTest, MissingFolderReadsEmptyAndLosesWrites) {
  std::filesystem::remove_all(appData_.Path() / "Kavrendt");
  settings_.ResolveFolder();
  const UdpSettingsSnapshot snapshot = TakeUdpSnapshot(settings_);
  EXPECT_FALSE(snapshot.remoteIp.present);
  EXPECT_EQ(
      settings_.ReadString(settings::kSectionQuilmarr, settings::kKeyPckFile, kPathValueCapacity),
      u"");
  EXPECT_FALSE(settings_.WriteString(settings::kSectionQuilmarr, settings::kKeyPckFile, u"a"));
  EXPECT_FALSE(PutBackUdp(settings_, {{true, u"1.1.1.1"}, {}}));
  EXPECT_FALSE(std::filesystem::exists(appData_.Path() / "Kavrendt"));
}

// A put-back that cannot be written says so: its caller keeps the record.
TEST_F(SettingsFileTest, ReadOnlyFileStaysAsItWas) {
  const std::string original = "[UDP]\nREMOTE_IP=1.1.1.1\n";
  WriteBytes(file_, original);
  std::filesystem::permissions(file_,
                               std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_write |
                                   std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  settings_.ResolveFolder();
  UdpSettingsSnapshot snapshot = TakeUdpSnapshot(settings_);
  EXPECT_EQ(snapshot.remoteIp.value, u"1.1.1.1");
  EXPECT_FALSE(settings_.WriteString(settings::kSectionUdp, settings::kKeyRemoteIp, u"2.2.2.2"));
  snapshot.remoteIp.value = u"2.2.2.2";
  EXPECT_FALSE(PutBackUdp(settings_, snapshot));
  EXPECT_EQ(ReadBytes(file_), original);
}

TEST_F(SettingsFileTest, LineBreaksCannotForgeUpdaterKeys) {
  const std::string original = "[UDP]\nREMOTE_IP=1.1.1.1\n";
  WriteBytes(file_, original);
  settings_.ResolveFolder();
  const std::u16string forged = u"/tmp/pkg\n[UDP]\nREMOTE_IP=6.6.6.6";
  EXPECT_FALSE(settings_.WriteString(settings::kSectionQuilmarr, settings::kKeyPckFile, forged));
  EXPECT_FALSE(settings_.WriteString(settings::kSectionQuilmarr, u"PckFile\r", u"x"));
  EXPECT_FALSE(settings_.WriteString(u"Quilmarr]\n[UDP", settings::kKeyRemoteIp, u"6.6.6.6"));
  EXPECT_FALSE(settings_.WriteString(settings::kSectionQuilmarr, u"REMOTE_IP=6.6.6.6", u"x"));
  EXPECT_EQ(ReadBytes(file_), original);
}

// Byte for byte with our engine; the Win32 API reformats the lines it writes.
TEST_F(SettingsFileTest, UnrelatedContentSurvivesByteForByte) {
  const std::string before =
      "; Pendravel settings\r\n\r\n[Pendravel]\r\nExePath=C:\\Pendravel\\\r\n\r\n"
      "[UDP]\r\nREMOTE_IP = 192.168.0.20\r\nHOST_IP=192.168.0.1\r\nPORT=5000\r\n\r\n; end\r\n";
  WriteBytes(file_, before);
  IniEngineStore engine;
  SettingsFile settings(locator_, engine);
  settings.ResolveFolder();
  const UdpSettingsSnapshot snapshot = TakeUdpSnapshot(settings);
  settings.WriteString(settings::kSectionUdp, settings::kKeyRemoteIp, u"10.0.0.5");
  std::string during = before;
  during.replace(during.find("192.168.0.20"), 12, "10.0.0.5");
  EXPECT_EQ(ReadBytes(file_), during);
  ASSERT_TRUE(PutBackUdp(settings, snapshot));
  EXPECT_EQ(ReadBytes(file_), before);
}

}  // namespace
}  // namespace quilmarr::test
