#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_fixture.h"

namespace quilmarr::test {
namespace {

using Strings = std::vector<std::u16string>;

struct CheckCase {
  const char* name;
  bool file;
  bool adapter;
  bool ticks;
  std::u16string text;
};

class BatchCheckTest : public BatchUpdateTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(BatchCheckTest, FirstFailingCheckAloneIsReportedAndNothingChanges) {
  const CheckCase& c = GetParam();
  PrepareBatch({1, 2}, c.ticks ? std::vector<std::size_t>{1} : std::vector<std::size_t>{});
  if (!c.file) {
    fileEdit_.SetText(u"");
  }
  if (!c.adapter) {
    combo_.SetCurSel(-1);
  }
  dialog_->OnBatchUpdateClicked();

  EXPECT_EQ(host_.BoxTexts(), Strings{c.text});
  EXPECT_EQ(dialog_->Mode(), UiMode::Querying);
  EXPECT_EQ(Read(settings::kSectionQuilmarr, settings::kKeyPckFile), u"");
  EXPECT_EQ(Read(settings::kSectionQuilmarr, settings::kKeyAdapterIp), u"10.0.0.5");
  EXPECT_EQ(launcher_.CallCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, BatchCheckTest,
    ::testing::Values(
        CheckCase{"NothingGiven", false, false, false, u"Please select the file to be updated"},
        CheckCase{"NoFile", false, true, true, u"Please select the file to be updated"},
        CheckCase{"NoAdapterNoTicks", true, false, false, u"Please select a network adapter"},
        CheckCase{"NoTicks", true, true, false, u"Please select the device to be updated"}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
}  // namespace quilmarr::test
