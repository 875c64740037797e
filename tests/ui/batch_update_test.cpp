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

TEST_F(BatchUpdateTest, ClickStoresSettingsFillsTheJobAndRunsEveryTickedDevice) {
  PrepareBatch({1, 2, 3}, {0, 2});
  Write(settings::kSectionQuilmarr, settings::kKeyAdapterIp, u"");
  launcher_.Hold();
  dialog_->OnBatchUpdateClicked();

  EXPECT_EQ(dialog_->Mode(), UiMode::Updating);
  EXPECT_FALSE(queryButton_.IsEnabled());
  EXPECT_FALSE(batchButton_.IsEnabled());
  EXPECT_FALSE(browseButton_.IsEnabled());
  EXPECT_FALSE(combo_.IsEnabled());
  EXPECT_FALSE(list_.IsEnabled());
  EXPECT_EQ(Read(settings::kSectionQuilmarr, settings::kKeyPckFile), u"/pkg/fw 1.pck");
  ASSERT_TRUE(launcher_.WaitForCalls(1, kPatience));
  EXPECT_EQ(Read(settings::kSectionUdp, settings::kKeyHostIp), u"10.0.0.5") << "the adapter";

  dialog_->OnBatchUpdateClicked();  // cannot normally happen: refused while the worker lives
  EXPECT_TRUE(host_.boxes.empty());

  launcher_.ReleaseAll();
  ASSERT_TRUE(PumpUntilBatchEnded());
  const std::vector<LaunchCall> calls = launcher_.Calls();
  ASSERT_EQ(calls.size(), 2u) << "every ticked device, none skipped";
  for (const LaunchCall& call : calls) {
    EXPECT_EQ(call.program, u"/opt/pendravel/Pendravel.exe");
    EXPECT_EQ(call.arguments, (Strings{u"/pkg/fw 1.pck", u"-P255"}));
  }
  Strings started;
  for (const ReceivedMessage& message : queue_.Messages()) {
    if (message.id == WM_UPDATE_DEVICE_STARTED) started.push_back(message.text);
    EXPECT_TRUE(message.id == WM_CAPTURE_PACKET || message.posted) << message.id;
  }
  EXPECT_EQ(started, (Strings{u"192.168.0.1", u"192.168.0.3"})) << "the ticked rows, in order";
  EXPECT_TRUE(batchButton_.IsEnabled());
  EXPECT_TRUE(host_.boxes.empty());
}

TEST_F(BatchUpdateTest, CurrentDeviceIsMarkedAndTickedSilentDevicesStay) {
  // Table order .10, .1, .2; the first two ticked; no verification window.
  PrepareBatch({10, 1, 2}, {0, 1});
  Write(settings::kSectionQuilmarr, settings::kKeyVerifySeconds, u"0");
  launcher_.Hold();
  dialog_->OnBatchUpdateClicked();
  ASSERT_TRUE(Pump(
      [&] { return launcher_.CallCount() == 1 && queue_.Count(WM_UPDATE_DEVICE_STARTED) == 1; }));

  clock_.Advance(60);  // every device silent
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(Column(0), (Strings{u"192.168.0.10", u"192.168.0.1"}));
  // The marker matches whole addresses: ".10" does not mark ".1", nor (below) ".1" ".10".
  EXPECT_EQ(Column(6), (Strings{u"Updating", u""}));
  EXPECT_TRUE(list_.rows[0].checked && list_.rows[1].checked);

  launcher_.ReleaseOne();
  ASSERT_TRUE(Pump(
      [&] { return launcher_.CallCount() == 2 && queue_.Count(WM_UPDATE_DEVICE_STARTED) == 2; }));
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(Column(6), (Strings{u"Done", u"Updating"}));

  launcher_.ReleaseOne();
  ASSERT_TRUE(PumpUntilBatchEnded());
  Hear(1);
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(Column(0), (Strings{u"192.168.0.10", u"192.168.0.1"})) << "listed with their outcome";
  EXPECT_EQ(Column(6), (Strings{u"Done", u"Done"})) << "the outcome instead of the marker";
}

TEST_F(BatchUpdateTest, CloseDuringSecondOfThreeIsRefusedAndSkipsTheThird) {
  PrepareBatch({1, 2, 3}, {0, 1, 2});
  launcher_.Hold();
  dialog_->OnBatchUpdateClicked();
  ASSERT_TRUE(Pump([&] { return launcher_.CallCount() == 1; }));
  launcher_.ReleaseOne();
  ASSERT_TRUE(Pump([&] { return launcher_.CallCount() == 2; }));

  EXPECT_FALSE(dialog_->OnClose());
  EXPECT_EQ(host_.BoxTexts(), Strings{u"Please wait update interrupt"});
  EXPECT_EQ(host_.endDialogCalls, 0);

  launcher_.ReleaseOne();
  ASSERT_TRUE(PumpUntilBatchEnded());
  ASSERT_TRUE(Pump([&] { return dialog_->OnClose(); }));
  EXPECT_EQ(launcher_.CallCount(), 2u) << "the third device was skipped";
  EXPECT_EQ(host_.endDialogCalls, 1);
  EXPECT_TRUE(CapturesEnded());

  dialog_.reset();
  EXPECT_EQ(Read(settings::kSectionUdp, settings::kKeyRemoteIp), u"1.1.1.1");
  EXPECT_EQ(Read(settings::kSectionUdp, settings::kKeyHostIp), u"2.2.2.2");
}

TEST_F(BatchUpdateTest, BatchAfterAnInterruptedOneRunsAllItsDevices) {
  PrepareBatch({1, 2, 3}, {0, 1, 2});
  launcher_.Hold();
  dialog_->OnBatchUpdateClicked();
  ASSERT_TRUE(Pump([&] { return launcher_.CallCount() == 1; }));
  EXPECT_FALSE(dialog_->OnClose());
  launcher_.ReleaseAll();
  ASSERT_TRUE(PumpUntilBatchEnded());
  ASSERT_EQ(launcher_.CallCount(), 1u);
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(Column(6), (Strings{u"Done", u"Skipped", u"Skipped"}))
      << "not run because of the close";

  // The old worker may still be returning; the click is refused until it has.
  ASSERT_TRUE(Pump([&] {
    dialog_->OnBatchUpdateClicked();
    return dialog_->Mode() == UiMode::Updating;
  }));
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(launcher_.CallCount(), 4u) << "no interrupt left over: all three ran";
}

TEST_F(BatchUpdateTest, FailedBatchKeepsTheRememberedSettings) {
  PrepareBatch({1}, {0}, u"");
  dialog_->OnBatchUpdateClicked();
  ASSERT_TRUE(Pump([&] { return dialog_->Mode() == UiMode::Querying; }));
  EXPECT_EQ(host_.BoxTexts(), Strings{u"Please install Pendravel"});
  EXPECT_EQ(Read(settings::kSectionQuilmarr, settings::kKeyPckFile), u"/pkg/fw 1.pck");
  EXPECT_EQ(Read(settings::kSectionQuilmarr, settings::kKeyAdapterIp), u"10.0.0.5");
  EXPECT_EQ(Read(settings::kSectionUdp, settings::kKeyRemoteIp), u"1.1.1.1");
}

TEST_F(DialogTest, BrowseSetsTheChosenPathAndCancelChangesNothing) {
  Open();
  fileEdit_.SetText(u"/old.pck");
  host_.fileDialogAnswer = std::nullopt;
  dialog_->OnBrowseClicked();
  EXPECT_EQ(fileEdit_.Text(), u"/old.pck");

  host_.fileDialogAnswer = u"/pkg/new package.pck";
  dialog_->OnBrowseClicked();
  EXPECT_EQ(fileEdit_.Text(), u"/pkg/new package.pck");
  EXPECT_EQ(host_.fileDialogs, 2);
}

}  // namespace
}  // namespace quilmarr::test
