#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_fixture.h"

namespace quilmarr::test {
namespace {

using Strings = std::vector<std::u16string>;

TEST_F(DialogTest, SetUpLeavesSevenCentredColumnsWithIpFirst) {
  Open();
  EXPECT_TRUE(list_.reportStyle);
  EXPECT_EQ(list_.extendedStyle, 5u);
  const std::vector<std::pair<std::u16string, int>> expected = {
      {u"  IP   ", 120},
      {u" Sys Name ", kColumnAutosizeUseHeader},
      {u" IED Name ", kColumnAutosizeUseHeader},
      {u" Boot Version ", kColumnAutosizeUseHeader},
      {u" Original App Version ", kColumnAutosizeUseHeader},
      {u" Current App Version ", kColumnAutosizeUseHeader},
      {u" Status ", kColumnAutosizeUseHeader}};
  ASSERT_EQ(list_.columns.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(list_.columns[i].header, expected[i].first) << i;
    EXPECT_EQ(list_.columns[i].width, expected[i].second) << i;
  }
  EXPECT_TRUE(dialog_->UpdatingIp().empty());
}

struct RowCase {
  const char* name;
  std::u16string ip;
  UnixSeconds secondsAgo;  // negative: in the future
  Strings ticked;
  bool running;
  std::u16string updatingIp;
  bool shown;
  bool checked;
  std::u16string status;
};

class AddDeviceRowTest : public DialogTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(AddDeviceRowTest, ShowsFreshOrKeptDevicesWithTickAndStatus) {
  const RowCase& c = GetParam();
  Open();
  DeviceRecord record;
  record.ipText = c.ip;
  record.systemName = u"BAY-1";
  record.iedName = u"FEEDER_1";
  record.bootVersion = u"1.0.2";
  record.originalAppVersion = u"4.1.7";
  record.currentAppVersion = u"4.2.0";
  record.lastSeen = kStartTime - c.secondsAgo;

  int row = 0;
  dialog_->AddDeviceRow(record, c.ticked, c.running, c.updatingIp, row);

  ASSERT_EQ(list_.rows.size(), c.shown ? 1u : 0u);
  EXPECT_EQ(row, c.shown ? 1 : 0);
  if (c.shown) {
    EXPECT_EQ(list_.rows[0].cells,
              (Strings{c.ip, u"BAY-1", u"FEEDER_1", u"1.0.2", u"4.1.7", u"4.2.0", c.status}));
    EXPECT_EQ(list_.rows[0].checked, c.checked);
  }
}

const std::u16string kIp1 = u"192.168.0.1";
const std::u16string kIp10 = u"192.168.0.10";

INSTANTIATE_TEST_SUITE_P(
    Rows, AddDeviceRowTest,
    ::testing::Values(
        RowCase{"HeardNow", kIp1, 0, {}, false, u"", true, false, u""},
        RowCase{"SixSecondsAgo", kIp1, 6, {}, false, u"", true, false, u""},
        RowCase{"SevenSecondsAgo", kIp1, 7, {}, false, u"", false, false, u""},
        RowCase{"InTheFuture", kIp1, -3600, {}, false, u"", true, false, u""},
        RowCase{"TickedFresh", kIp1, 0, {kIp10, kIp1}, false, u"", true, true, u""},
        RowCase{"TickIgnoresCase", u"dev-a", 0, {u"DEV-A"}, false, u"", true, true, u""},
        RowCase{"TickedSilentKeptWhileRunning", kIp1, 60, {kIp1}, true, u"", true, true, u""},
        RowCase{
            "TickedSilentDroppedWhenNotRunning", kIp1, 60, {kIp1}, false, u"", false, false, u""},
        RowCase{
            "UntickedSilentDroppedWhileRunning", kIp1, 60, {kIp10}, true, u"", false, false, u""},
        RowCase{"CurrentTargetMarked", kIp1, 60, {kIp1}, true, kIp1, true, true, u"Updating"},
        RowCase{"MarkerIgnoresCase", u"dev-a", 0, {}, true, u"DEV-A", true, false, u"Updating"},
        RowCase{"MarkerOnlyWhileRunning", kIp1, 0, {kIp1}, false, kIp1, true, true, u""},
        RowCase{"LongerTargetDoesNotMarkPrefix", kIp1, 0, {kIp1}, true, kIp10, true, true, u""},
        RowCase{"ShorterTargetDoesNotMarkLonger", kIp10, 0, {kIp10}, true, kIp1, true, true, u""}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

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
  EXPECT_EQ(dialog_->CollectTickedIps(), (Strings{u"192.168.0.2", u"192.168.0.3"}));

  clock_.Advance(3);
  Hear(1);
  Hear(3);
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(dialog_->CollectTickedIps(), (Strings{u"192.168.0.2", u"192.168.0.3"}));

  clock_.Advance(4);  // device 2 silent for 7 s
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(Column(0), (Strings{u"192.168.0.1", u"192.168.0.3"}));
  EXPECT_EQ(dialog_->CollectTickedIps(), Strings{u"192.168.0.3"});

  Hear(2);
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(Column(0), (Strings{u"192.168.0.1", u"192.168.0.2", u"192.168.0.3"}));
  EXPECT_FALSE(list_.rows[1].checked) << "comes back unticked";
  EXPECT_TRUE(list_.rows[2].checked);
}

}  // namespace
}  // namespace quilmarr::test
