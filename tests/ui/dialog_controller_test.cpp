#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "dialog_fixture.h"

namespace quilmarr::test {
namespace {

using Strings = std::vector<std::u16string>;

TEST_F(DialogTest, StartUpSetsTitleSelectsSavedAdapterAndPresetsThePackage) {
  lister_.entries = std::vector{Interface("eth0", "First", {10, 0, 0, 5}),
                                Interface("eth1", "Second", {10, 0, 0, 7})};
  Write(settings::kSectionQuilmarr, settings::kKeyAdapterIp, u"10.0.0.7");
  Write(settings::kSectionQuilmarr, settings::kKeyPckFile, u"/pkg/fw 2.pck");
  Open();

  EXPECT_EQ(combo_.items, (Strings{u"10.0.0.5   First", u"10.0.0.7   Second"}));
  EXPECT_EQ(combo_.selection, 1);
  EXPECT_TRUE(queryButton_.IsEnabled());
  EXPECT_EQ(fileEdit_.Text(), u"/pkg/fw 2.pck");
  EXPECT_TRUE(host_.boxes.empty());
  // Nothing runs before a click.
  EXPECT_EQ(capture_->created.load(), 0);
  EXPECT_EQ(launcher_.CallCount(), 0u);
  EXPECT_EQ(dialog_->Mode(), UiMode::Idle);
}

struct PreselectionCase {
  const char* name;
  std::vector<CaptureInterfaceEntry> interfaces;
  std::u16string savedIp;
  bool expectSelection;
  bool queryEnabled;
};

class PreselectionTest : public DialogTest,
                         public ::testing::WithParamInterface<PreselectionCase> {};

TEST_P(PreselectionTest, SelectsTheLastMatchingAdapterOrNone) {
  const PreselectionCase& c = GetParam();
  lister_.entries = c.interfaces;
  Write(settings::kSectionQuilmarr, settings::kKeyAdapterIp, c.savedIp);
  Open();

  int lastMatch = -1;
  for (std::size_t i = 0; i < combo_.items.size(); ++i) {
    if (combo_.items[i].starts_with(c.savedIp + u"   ")) lastMatch = static_cast<int>(i);
  }
  EXPECT_EQ(combo_.selection, c.expectSelection ? lastMatch : -1);
  if (c.expectSelection) {
    EXPECT_GE(lastMatch, 0);
  }
  EXPECT_EQ(queryButton_.IsEnabled(), c.queryEnabled);
  EXPECT_EQ(combo_.GetCount(), static_cast<int>(c.interfaces.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Adapters, PreselectionTest,
    ::testing::Values(
        PreselectionCase{"TwoMatchesLastWins",
                         {Interface("a", "A", {10, 0, 0, 5}), Interface("b", "B", {10, 0, 0, 5}),
                          Interface("c", "C", {10, 0, 0, 9})},
                         u"10.0.0.5",
                         true,
                         true},
        PreselectionCase{"NoMatch", {Interface("a", "A", {10, 0, 0, 5})}, u"10.0.0.6", false, true},
        PreselectionCase{"NothingSaved", {Interface("a", "A", {10, 0, 0, 5})}, u"", false, true},
        PreselectionCase{"NoAdapters", {}, u"10.0.0.5", false, false}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(DialogTest, EnumerationFailureShowsItsTextOnceAndStartUpContinues) {
  lister_.entries = std::nullopt;
  Write(settings::kSectionQuilmarr, settings::kKeyPckFile, u"/pkg/a.pck");
  Open();

  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].text, u"Cant find any network adapter");
  EXPECT_EQ(host_.boxes[0].caption, u"Error");
  EXPECT_EQ(combo_.GetCount(), 0);
  EXPECT_FALSE(queryButton_.IsEnabled());
  EXPECT_EQ(list_.columns.size(), 7u);
  EXPECT_EQ(fileEdit_.Text(), u"/pkg/a.pck");
}

TEST_F(DialogTest, ExceptionWithoutTextShowsUnknownException) {
  lister_.throwsWithoutText = true;
  Open();
  EXPECT_EQ(host_.BoxTexts(), Strings{u"Unknown exception"});
  EXPECT_FALSE(queryButton_.IsEnabled());
}

TEST_F(DialogTest, QueryAfterAStopEmptiesTableListAndMarker) {
  OpenQuerying();
  Hear(1);
  dialog_->OnTimer(kRefreshTimerId);
  Deliver(WM_UPDATE_DEVICE_STARTED, u"192.168.0.1");
  dialog_->OnQueryClicked();
  ASSERT_TRUE(Pump([&] { return dialog_->Mode() == UiMode::Idle; }));

  dialog_->OnQueryClicked();
  EXPECT_EQ(dialog_->Mode(), UiMode::Querying);
  EXPECT_TRUE(list_.rows.empty());
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_TRUE(list_.rows.empty()) << "the table was emptied too";

  // A batch whose first updater runs while its start report still waits in
  // the queue: no row may carry the old marker.
  Hear(1);
  Hear(2);
  dialog_->OnTimer(kRefreshTimerId);
  ReadyForABatch(1);
  dialog_->OnBatchUpdateClicked();
  ASSERT_TRUE(launcher_.WaitForCalls(1, kPatience));
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(Column(6), (Strings{u"", u""}));
}

struct CaptureFailureCase {
  const char* name;
  bool opens;
  bool readFails;  // after an ordinary frame
  std::u16string text;
};

class CaptureFailureTest : public DialogTest,
                           public ::testing::WithParamInterface<CaptureFailureCase> {};

TEST_P(CaptureFailureTest, ShowsTheBoxAndReturnsToIdle) {
  capture_->opens = GetParam().opens;
  if (GetParam().readFails) {
    capture_->Push(OrdinaryFrame());
    capture_->PushReadFailure();
  }
  OpenQuerying();
  ASSERT_TRUE(Pump([&] { return dialog_->Mode() == UiMode::Idle; }));

  EXPECT_EQ(host_.BoxTexts(), Strings{GetParam().text});
  EXPECT_TRUE(queryButton_.IsEnabled());
  EXPECT_EQ(queryButton_.Text(), u"Query Device");
  EXPECT_TRUE(Pump([&] { return CapturesEnded(); }));
}

INSTANTIATE_TEST_SUITE_P(Capture, CaptureFailureTest,
                         ::testing::Values(CaptureFailureCase{
                             "ReadFails", true, true,
                             u"Capture stopped: the network adapter could not be read"}),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(DialogTest, FramesFromTheWorkerReachTheTableAndOthersAreDropped) {
  for (Bytes frame : {LldpFrame({{192, 168, 0, 1}}), OrdinaryFrame(), LldpFrame({{192, 168, 0, 2}}),
                      LldpFrame({{192, 168, 0, 1}})}) {
    capture_->Push(std::move(frame));
  }
  OpenQuerying();
  ASSERT_TRUE(Pump([&] { return capture_->Idle(); }));  // every frame read and handed on
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(Column(0), (Strings{u"192.168.0.1", u"192.168.0.2"}));
  EXPECT_TRUE(host_.boxes.empty());
  for (const ReceivedMessage& message : queue_.Messages()) {
    EXPECT_EQ(message.id, WM_CAPTURE_PACKET);
    EXPECT_FALSE(message.posted) << "the capture worker sends, and waits for the dialog";
  }
}

// A window opened while another tool's batch runs must not write that
// batch's [UDP] values back when it closes.
TEST_F(DialogTest, CloseWhileIdleEndsAtOnceAndLeavesUdpAlone) {
  Write(settings::kSectionUdp, settings::kKeyRemoteIp, u"10.9.9.9");
  Open();
  Write(settings::kSectionUdp, settings::kKeyRemoteIp, u"10.1.1.1");  // the other tool's device
  EXPECT_TRUE(dialog_->OnClose());
  EXPECT_EQ(host_.endDialogCalls, 1);
  EXPECT_EQ(host_.killTimerCalls, 0);
  dialog_.reset();
  EXPECT_EQ(Read(settings::kSectionUdp, settings::kKeyRemoteIp), u"10.1.1.1");
}

enum class Expect { Same, On, Off };

// How the dialog reaches the mode before the event: Idle after start-up,
// Querying after a Query click, Updating after a Batch Update click with the
// updater held in its first run.
enum class Stage { Idle, Querying, Updating };
// What happens then, as a user or a worker does it.
enum class Event { QueryClick, BatchClick, BatchFinished, CaptureReport };

struct ModeCase {
  const char* name;
  Stage before;
  Event event;
  UiMode after;
  Expect batch, query;
  const char16_t* caption;  // nullptr: not touched
  Expect combo, browse, list;
  bool startsQuery;  // empties table, list and marker and starts timer 1
};

class ModeTableTest : public DialogTest, public ::testing::WithParamInterface<ModeCase> {
 protected:
  void Reach(Stage stage) {
    if (stage == Stage::Idle) {
      lister_.entries = std::vector{Interface("eth0", "Test adapter", {10, 0, 0, 5})};
      Write(settings::kSectionQuilmarr, settings::kKeyAdapterIp, u"10.0.0.5");
      Open();
      return;
    }
    OpenQuerying();
    if (stage == Stage::Updating) {
      Hear(1);
      dialog_->OnTimer(kRefreshTimerId);
      ReadyForABatch(0);
      dialog_->OnBatchUpdateClicked();
      ASSERT_TRUE(Pump([&] { return launcher_.CallCount() == 1; }));
    }
  }

  void Happen(Event event) {
    switch (event) {
      case Event::QueryClick: dialog_->OnQueryClicked(); break;
      case Event::BatchClick: dialog_->OnBatchUpdateClicked(); break;
      case Event::BatchFinished:
        launcher_.ReleaseAll();
        ASSERT_TRUE(Pump([&] { return dialog_->Mode() != UiMode::Updating; }));
        break;
      case Event::CaptureReport:
        ASSERT_TRUE(Pump([&] { return CapturesEnded(); }));
        Deliver(WM_CAPTURE_STOPPED);  // a second, stray report changes nothing more
        break;
    }
  }
};

void ExpectControl(Expect expect, bool enabled, int enableCalls, const char* what) {
  if (expect == Expect::Same) {
    EXPECT_EQ(enableCalls, 0) << what;
  } else {
    EXPECT_EQ(enabled, expect == Expect::On) << what;
  }
}

TEST_P(ModeTableTest, EventChangesExactlyTheListedControls) {
  const ModeCase& c = GetParam();
  Reach(c.before);
  if (c.before != Stage::Updating) {
    Hear(1);
    dialog_->OnTimer(kRefreshTimerId);
  }
  Deliver(WM_UPDATE_DEVICE_STARTED, u"192.168.0.1");
  if (c.event == Event::BatchClick) {
    list_.rows[0].checked = true;
    fileEdit_.SetText(package_);
    static_cast<void>(temp_.InstallUpdater());
    launcher_.Hold();
  }
  if (c.event == Event::CaptureReport && c.before == Stage::Querying) {
    dialog_->OnQueryClicked();  // Stop Query
  }
  for (FakeButton* button : {&queryButton_, &batchButton_, &browseButton_}) {
    button->enableCalls = 0;
    button->textCalls = 0;
  }
  combo_.enableCalls = 0;
  list_.enableCalls = 0;
  host_.setTimerCalls = 0;
  host_.killTimerCalls = 0;
  const std::u16string captionBefore = queryButton_.Text();

  Happen(c.event);

  EXPECT_EQ(dialog_->Mode(), c.after);
  ExpectControl(c.batch, batchButton_.IsEnabled(), batchButton_.enableCalls, "Batch Update");
  ExpectControl(c.query, queryButton_.IsEnabled(), queryButton_.enableCalls, "Query");
  ExpectControl(c.combo, combo_.IsEnabled(), combo_.enableCalls, "adapter combo");
  ExpectControl(c.browse, browseButton_.IsEnabled(), browseButton_.enableCalls, "Browse");
  ExpectControl(c.list, list_.IsEnabled(), list_.enableCalls, "device list");
  if (c.caption == nullptr) {
    EXPECT_EQ(queryButton_.textCalls, 0);
    EXPECT_EQ(queryButton_.Text(), captionBefore);
  } else {
    EXPECT_EQ(queryButton_.Text(), c.caption);
  }
  EXPECT_EQ(list_.rows.empty(), c.startsQuery);
  EXPECT_EQ(host_.setTimerCalls, c.startsQuery ? 1 : 0);
  EXPECT_EQ(host_.killTimerCalls, 0);
  dialog_->OnTimer(kRefreshTimerId);
  EXPECT_EQ(list_.rows.empty(), c.startsQuery) << "the table goes with the list";
}

INSTANTIATE_TEST_SUITE_P(
    Transitions, ModeTableTest,
    ::testing::Values(
        ModeCase{"IdleForward", Stage::Idle, Event::QueryClick, UiMode::Querying, Expect::On,
                 Expect::On, u"Stop Query", Expect::Off, Expect::On, Expect::On, true},
        ModeCase{"QueryingForward", Stage::Querying, Event::BatchClick, UiMode::Updating,
                 Expect::Off, Expect::Off, nullptr, Expect::Off, Expect::Off, Expect::Off, false},
        ModeCase{"UpdatingForward", Stage::Updating, Event::BatchClick, UiMode::Updating,
                 Expect::Same, Expect::Same, nullptr, Expect::Same, Expect::Same, Expect::Same,
                 false},
        ModeCase{"IdleBack", Stage::Idle, Event::CaptureReport, UiMode::Idle, Expect::Same,
                 Expect::Same, nullptr, Expect::Same, Expect::Same, Expect::Same, false},
        ModeCase{"QueryingBack", Stage::Querying, Event::CaptureReport, UiMode::Idle, Expect::Off,
                 Expect::On, u"Query Device", Expect::On, Expect::On, Expect::Off, false},
        ModeCase{"UpdatingBack", Stage::Updating, Event::BatchFinished, UiMode::Querying,
                 Expect::On, Expect::On, nullptr, Expect::Off, Expect::On, Expect::On, false}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

// Stop Query, then Batch Update before the capture has reported its end: the
// capture's late report must not take the dialog out of Updating.
TEST_F(DialogTest, CaptureEndingDuringABatchLeavesTheBatchInCharge) {
  OpenQuerying();
  Hear(1);
  dialog_->OnTimer(kRefreshTimerId);
  ReadyForABatch(0);

  dialog_->OnQueryClicked();  // Stop Query: the capture's report is still to come
  EXPECT_TRUE(host_.timers.empty());
  dialog_->OnBatchUpdateClicked();
  EXPECT_EQ(dialog_->Mode(), UiMode::Updating);
  EXPECT_EQ(host_.timers, (std::map<unsigned, unsigned>{{1u, 1000u}}))
      << "the list refreshes while the batch runs";

  ASSERT_TRUE(Pump([&] { return CapturesEnded() && launcher_.CallCount() == 1; }));
  ASSERT_TRUE(Pump([&] { return queue_.Count(WM_UPDATE_DEVICE_STARTED) == 1; }));
  EXPECT_EQ(dialog_->Mode(), UiMode::Updating);
  for (const bool enabled : {batchButton_.IsEnabled(), queryButton_.IsEnabled(),
                             browseButton_.IsEnabled(), list_.IsEnabled(), combo_.IsEnabled()}) {
    EXPECT_FALSE(enabled);
  }

  launcher_.ReleaseAll();
  ASSERT_TRUE(Pump([&] { return dialog_->Mode() == UiMode::Idle; }));
  EXPECT_TRUE(queryButton_.IsEnabled());
  EXPECT_EQ(queryButton_.Text(), u"Query Device");
  EXPECT_TRUE(combo_.IsEnabled());
  EXPECT_FALSE(batchButton_.IsEnabled());
  EXPECT_FALSE(list_.IsEnabled());
  EXPECT_TRUE(host_.timers.empty());
  ASSERT_EQ(list_.rows.size(), 1u);
  EXPECT_EQ(list_.rows[0].cells[6], u"Done") << "the outcome; with no capture, not verified";
}

TEST_F(DialogTest, ErrorBoxWithoutTextIsEmpty) {
  Open();
  dialog_->ShowErrorBox(nullptr);
  dialog_->ShowErrorBox("Open adapter failed");
  EXPECT_EQ(host_.BoxTexts(), (Strings{u"", u"Open adapter failed"}));
  EXPECT_EQ(host_.boxes[0].caption, u"Error");
}

// The taskbar shows which device of how many runs, and nothing after the
// batch (the question and the title are the windows' contract).
TEST_F(BatchUpdateTest, TheTaskbarFollowsTheBatch) {
  PrepareBatch({1, 2}, {0, 1});
  launcher_.Hold();
  dialog_->OnBatchUpdateClicked();
  ASSERT_TRUE(Pump([&] { return launcher_.CallCount() == 1 && host_.progress.second == 2; }));
  EXPECT_EQ(host_.progress.first, 0u);
  launcher_.ReleaseAll();
  ASSERT_TRUE(PumpUntilBatchEnded());
  // Held between the two runs too (the Windows shutdown block goes with it).
  using Progress = std::pair<std::size_t, std::size_t>;
  const std::vector<Progress>& seen = host_.progressHistory;
  EXPECT_EQ(std::find(seen.begin(), seen.end(), Progress{0, 0}), seen.end() - 1);
  EXPECT_NE(std::find(seen.begin(), seen.end(), Progress{1, 2}), seen.end());
}

TEST(AboutCommandTest, LowFourBitsAreIgnored) {
  struct Case {
    unsigned id;
    bool about;
  };
  for (const Case c : {Case{0x0010, true}, Case{0x001F, true}, Case{0x0000, false},
                       Case{0x0020, false}, Case{0xF060, false}, Case{0x1010, false}}) {
    EXPECT_EQ(CPendravelBatchDlg::IsAboutCommand(c.id), c.about) << std::hex << c.id;
  }
}

}  // namespace
}  // namespace quilmarr::test
