#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/support/fake_folder_locator.h"
#include "update/update_job.h"

namespace quilmarr::test {
namespace {

class UpdateJobTest : public ::testing::Test {
 protected:
  TempFolder appData_;
  std::filesystem::path file_ =
      appData_.Path() / "Kavrendt" / "Ostrovel" / "Firmware" / "Pendravel.ini";
  FakeFolderLocator locator_{appData_.Path().u16string(), u""};
  std::unique_ptr<IniStore> ini_ = MakePlatformIniStore();
  SettingsFile settings_{locator_, *ini_};

  void SetUp() override {
    std::filesystem::create_directories(file_.parent_path());
    WriteBytes(file_, "[UDP]\nREMOTE_IP=192.168.0.20\nHOST_IP=192.168.0.1\n");
  }
  std::u16string Read(std::u16string_view key) const {
    return ini_->Read(file_.u16string(), u"UDP", key, u"<missing>", 50);
  }
};

TEST_F(UpdateJobTest, FreshJobIsEmpty) {
  const UpdateJob job(settings_, nullptr);
  EXPECT_EQ(job.targetIps, nullptr);
  EXPECT_TRUE(job.adapterIp.empty());
  EXPECT_TRUE(job.packagePath.empty());
  EXPECT_EQ(job.sink, nullptr);
  EXPECT_FALSE(job.interruptRequested.load());
  EXPECT_FALSE(job.running.load());
}

TEST_F(UpdateJobTest, ReplacingTargetsKeepsOnlyTheLastListInOrder) {
  UpdateJob job(settings_, nullptr);
  job.ReplaceTargets({u"10.0.0.1", u"10.0.0.2", u"10.0.0.3"});
  job.ReplaceTargets({u"10.0.0.9", u"10.0.0.10"});
  ASSERT_NE(job.targetIps, nullptr);
  EXPECT_EQ(*job.targetIps, (std::vector<std::u16string>{u"10.0.0.9", u"10.0.0.10"}));
  job.ReplaceTargets({});
  ASSERT_NE(job.targetIps, nullptr);
  EXPECT_TRUE(job.targetIps->empty());
}

}  // namespace
}  // namespace quilmarr::test
