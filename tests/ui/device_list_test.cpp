#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_fixture.h"

namespace quilmarr::test {
namespace {

using Strings = std::vector<std::u16string>;

struct FreshnessCase {
  const char* name;
  UnixSeconds secondsAgo;  // negative: in the future
  bool shown;
};

class FreshnessTest : public DialogTest, public ::testing::WithParamInterface<FreshnessCase> {};

TEST_P(FreshnessTest, ListsTheDevicesHeardWithinSixSeconds) {
  Open();
  clock_.Set(kStartTime - GetParam().secondsAgo);
  Hear(1);
  clock_.Set(kStartTime);
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(list_.rows.size(), GetParam().shown ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Rows, FreshnessTest,
                         ::testing::Values(FreshnessCase{"HeardNow", 0, true},
                                           FreshnessCase{"SixSecondsAgo", 6, true},
                                           FreshnessCase{"SevenSecondsAgo", 7, false},
                                           FreshnessCase{"InTheFuture", -3600, true}),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

// Ticked silent devices stay listed, and the current one reads "Updating",
// only while a batch runs (BatchUpdateTest); a start report alone marks nothing.
TEST_F(DialogTest, TheUpdatingMarkNeedsARunningBatch) {
  Open();
  Hear(1);
  dialog_->OnTimer(kRefreshTimerId);
  list_.rows[0].checked = true;
  Deliver(WM_UPDATE_DEVICE_STARTED, u"192.168.0.1");
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(Column(6), Strings{u""});
  EXPECT_TRUE(list_.rows[0].checked);
}

TEST_F(DialogTest, TimerRebuildsRowsInTableOrderFromTheTable) {
  Open();
  dialog_->OnCapturePacket(LldpFrame({{192, 168, 0, 3}, "SYS-3", "IED_3", "1.3", "3.0"}));
  dialog_->OnCapturePacket(LldpFrame({{192, 168, 0, 1}, "SYS-1", "IED_1", "1.1", "1.0"}));
  dialog_->OnCapturePacket(LldpFrame({{192, 168, 0, 2}, "SYS-2", "IED_2", "1.2", "2.0"}));
  dialog_->OnCapturePacket(LldpFrame({{192, 168, 0, 1}, "SYS-1", "IED_1", "1.1", "1.5"}));
  dialog_->OnTimer(kRefreshTimerId);
  dialog_->OnTimer(kRefreshTimerId);

  ASSERT_EQ(list_.rows.size(), 3u);
  EXPECT_EQ(list_.rows[0].cells,
            (Strings{u"192.168.0.3", u"SYS-3", u"IED_3", u"1.3", u"3.0", u"3.0", u""}));
  EXPECT_EQ(list_.rows[1].cells,
            (Strings{u"192.168.0.1", u"SYS-1", u"IED_1", u"1.1", u"1.0", u"1.5", u""}));
  EXPECT_EQ(list_.rows[2].cells,
            (Strings{u"192.168.0.2", u"SYS-2", u"IED_2", u"1.2", u"2.0", u"2.0", u""}));
  EXPECT_EQ(list_.rebuildsBegun, 2);
  EXPECT_EQ(list_.rebuildsEnded, 2);
}

TEST_F(DialogTest, TicksSurviveRebuildsAndAreLostAfterSilence) {
  Open();
  Hear(1);
  Hear(2);
  Hear(3);
  dialog_->OnTimer(kRefreshTimerId);
  list_.rows[1].checked = true;
  list_.rows[2].checked = true;
  EXPECT_EQ(TickedIps(), (Strings{u"192.168.0.2", u"192.168.0.3"}));

  clock_.Advance(3);
  Hear(1);
  Hear(3);
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(TickedIps(), (Strings{u"192.168.0.2", u"192.168.0.3"}));

  clock_.Advance(4);  // device 2 silent for 7 s
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(Column(0), (Strings{u"192.168.0.1", u"192.168.0.3"}));
  EXPECT_EQ(TickedIps(), Strings{u"192.168.0.3"});

  Hear(2);
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(Column(0), (Strings{u"192.168.0.1", u"192.168.0.2", u"192.168.0.3"}));
  EXPECT_FALSE(list_.rows[1].checked) << "comes back unticked";
  EXPECT_TRUE(list_.rows[2].checked);
}

}  // namespace
}  // namespace quilmarr::test
