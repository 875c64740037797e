// A batch as every front end runs it: the settings it writes, the order of
// the devices, the marker, an interrupt, a batch after an interrupted one,
// and the refusals that leave everything as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session_fixture.h"

namespace quilmarr::test {
namespace {

TEST_F(SessionTest, BatchStoresSettingsAndRunsEveryTargetInOrderThenRestoresUdp) {
  PrepareBatch({1, 2, 3});
  temp_.Write(settings::kSectionQuilmarr, settings::kKeyAdapterIp, u"");
  launcher_.Hold();
  ASSERT_TRUE(StartBatch({3, 1}));
  EXPECT_EQ(session_->Mode(), UiMode::Updating);
  EXPECT_EQ(temp_.Read(settings::kSectionQuilmarr, settings::kKeyPckFile), package_);
  EXPECT_EQ(temp_.Read(settings::kSectionQuilmarr, settings::kKeyAdapterIp), u"10.0.0.5");
  ASSERT_TRUE(launcher_.WaitForCalls(1, kPatience));
  EXPECT_EQ(temp_.Read(settings::kSectionUdp, settings::kKeyHostIp), u"10.0.0.5") << "the adapter";
  EXPECT_FALSE(StartBatch({2})) << "refused while the worker lives";

  launcher_.ReleaseAll();
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(session_->Mode(), UiMode::Querying);
  const std::vector<LaunchCall> calls = launcher_.Calls();
  ASSERT_EQ(calls.size(), 2u) << "every target, none skipped";
  for (const LaunchCall& call : calls) {
    EXPECT_EQ(call.program, u"/opt/pendravel/Pendravel.exe");
    EXPECT_EQ(call.arguments, (Strings{package_, u"-P255"}));
  }
  EXPECT_EQ(started_, (Strings{u"192.168.0.3", u"192.168.0.1"})) << "in the order given";
  EXPECT_TRUE(errors_.empty());

  ASSERT_TRUE(session_->Close());
  EXPECT_EQ(temp_.Read(settings::kSectionUdp, settings::kKeyRemoteIp), u"1.1.1.1");
  EXPECT_EQ(temp_.Read(settings::kSectionUdp, settings::kKeyHostIp), u"2.2.2.2");
}

TEST_F(SessionTest, CurrentDeviceIsMarkedAndTargetsStayListedWithTheirOutcome) {
  PrepareBatch({10, 1, 2});
  temp_.Write(settings::kSectionQuilmarr, settings::kKeyVerifySeconds, u"0");
  launcher_.Hold();
  ASSERT_TRUE(StartBatch({10, 1}));
  ASSERT_TRUE(Pump([&] { return started_.size() == 1; }));
  clock_.Advance(30);  // every device silent
  EXPECT_EQ(Column(false, {Ip(10), Ip(1)}), (Strings{Ip(10), Ip(1)})) << "ticked ones stay";
  EXPECT_EQ(Column(true, {Ip(10), Ip(1)}), (Strings{u"Updating", u""}));

  launcher_.ReleaseAll();
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(Column(false), (Strings{Ip(10), Ip(1)})) << "listed with their outcome";
  EXPECT_EQ(Statuses(), (Strings{u"Done", u"Done"})) << "the outcome instead of the marker";
}

TEST_F(SessionTest, CloseDuringSecondOfThreeIsRefusedSkipsTheThirdAndRestoresUdp) {
  PrepareBatch({1, 2, 3});
  launcher_.Hold();
  ASSERT_TRUE(StartBatch({1, 2, 3}));
  ASSERT_TRUE(Pump([&] { return launcher_.CallCount() == 1; }));
  launcher_.ReleaseOne();
  ASSERT_TRUE(Pump([&] { return launcher_.CallCount() == 2; }));

  EXPECT_FALSE(session_->Close());
  EXPECT_EQ(errors_, Strings{u"Please wait update interrupt"});

  launcher_.ReleaseOne();
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(launcher_.CallCount(), 2u) << "the third device was skipped";
  EXPECT_EQ(Statuses(), (Strings{u"Done", u"Done", u"Skipped"}));
  ASSERT_TRUE(session_->Close());
  EXPECT_EQ(capture_->freed.load(), capture_->created.load()) << "the capture has ended";
  EXPECT_EQ(temp_.Read(settings::kSectionUdp, settings::kKeyRemoteIp), u"1.1.1.1");
  EXPECT_EQ(temp_.Read(settings::kSectionUdp, settings::kKeyHostIp), u"2.2.2.2");
}

TEST_F(SessionTest, BatchAfterAnInterruptedOneRunsAllItsDevices) {
  PrepareBatch({1, 2, 3});
  launcher_.Hold();
  ASSERT_TRUE(StartBatch({1, 2, 3}));
  ASSERT_TRUE(Pump([&] { return launcher_.CallCount() == 1; }));
  session_->Interrupt();
  launcher_.ReleaseAll();
  ASSERT_TRUE(PumpUntilBatchEnded());
  ASSERT_EQ(launcher_.CallCount(), 1u);
  EXPECT_EQ(Statuses(), (Strings{u"Done", u"Skipped", u"Skipped"}));

  ASSERT_TRUE(StartBatch({1, 2, 3}));
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(launcher_.CallCount(), 4u) << "no interrupt left over: all three ran";
}

// Refused before anything starts: the remembered settings, [UDP] and the
// updater are untouched, and the user is told why.
struct RefusalCase {
  const char* name;
  std::u16string_view key;  // [Quilmarr] key set to "soon", or empty
  bool readOnlyFile;
  std::u16string error;  // with the settings file's path after it, if it ends in ": "
};

class StartRefusalTest : public SessionTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(StartRefusalTest, SaysWhyAndChangesNothing) {
  const RefusalCase& c = GetParam();
  PrepareBatch({1});
  if (!c.key.empty()) temp_.Write(settings::kSectionQuilmarr, c.key, u"soon");
  if (c.readOnlyFile) {
    std::filesystem::permissions(settings_.FilePath(), std::filesystem::perms::owner_read);
  }
  const std::string before = ReadBytes(settings_.FilePath());
  EXPECT_FALSE(StartBatch({1}));
  const std::u16string expected = c.error.ends_with(u": ") ? c.error + settings_.FilePath() : c.error;
  EXPECT_EQ(errors_, Strings{expected});
  EXPECT_EQ(session_->Mode(), UiMode::Querying);
  EXPECT_EQ(ReadBytes(settings_.FilePath()), before);
  EXPECT_EQ(launcher_.CallCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, StartRefusalTest,
    ::testing::Values(
        RefusalCase{"BadTimeout", settings::kKeyUpdateTimeoutSeconds, false,
                    u"Invalid [Quilmarr] UpdateTimeoutSeconds \"soon\": a whole number of "
                    u"seconds from 0 to 86400 is expected"},
        RefusalCase{"BadVerifyTime", settings::kKeyVerifySeconds, false,
                    u"Invalid [Quilmarr] VerifySeconds \"soon\": a whole number of "
                    u"seconds from 0 to 86400 is expected"},
        // The updater reads its target from the same file: a window and the
        // command line refuse alike when it cannot be written.
        RefusalCase{"ReadOnlySettingsFile", u"", true,
                    u"The settings file could not be written: "}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(SessionTest, BatchWithoutAnUpdaterKeepsTheRememberedSettings) {
  PrepareBatch({1}, u"");
  ASSERT_TRUE(StartBatch({1}));
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(errors_, Strings{u"Please install Pendravel"});
  EXPECT_EQ(temp_.Read(settings::kSectionQuilmarr, settings::kKeyPckFile), package_);
  EXPECT_EQ(temp_.Read(settings::kSectionQuilmarr, settings::kKeyAdapterIp), u"10.0.0.5");
  EXPECT_EQ(temp_.Read(settings::kSectionUdp, settings::kKeyRemoteIp), u"1.1.1.1");
}

}  // namespace
}  // namespace quilmarr::test
