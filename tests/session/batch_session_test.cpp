// A batch as every front end runs it: the settings it writes, the sleep it
// blocks, the marker, a close during it, the refusals that leave everything as it was, a package
// changed mid-batch, a journal left behind, and the command line's targets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_lock.h"
#include "session/batch_journal.h"
#include "session_fixture.h"

namespace quilmarr::test {
namespace {

namespace fs = std::filesystem;

TEST_F(SessionTest, BatchStoresSettingsRunsEveryTargetThenRestoresUdp) {
  PrepareBatch({1, 2, 3});
  temp_.Write(settings::kSectionQuilmarr, settings::kKeyAdapterIp, u"");
  launcher_.Hold();
  ASSERT_TRUE(StartBatch({3, 1}));
  EXPECT_EQ(temp_.Read(settings::kSectionQuilmarr, settings::kKeyPckFile), package_);
  EXPECT_EQ(temp_.Read(settings::kSectionQuilmarr, settings::kKeyAdapterIp), u"10.0.0.5");
  ASSERT_TRUE(launcher_.WaitForCalls(1, kPatience));
  EXPECT_EQ(temp_.Read(settings::kSectionUdp, settings::kKeyHostIp), u"10.0.0.5") << "the adapter";
  EXPECT_FALSE(StartBatch({2})) << "refused while the worker lives";
  EXPECT_EQ(sleep_.held, 1) << "sleep blocked during the batch";

  launcher_.ReleaseAll();
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(sleep_.held, 0) << "and allowed again after it";
  EXPECT_EQ(launcher_.CallCount(), 2u) << "every target, none skipped";
  EXPECT_TRUE(errors_.empty());

  ASSERT_TRUE(session_->Close());
  EXPECT_EQ(temp_.Read(settings::kSectionUdp, settings::kKeyRemoteIp), u"1.1.1.1");
  EXPECT_EQ(temp_.Read(settings::kSectionUdp, settings::kKeyHostIp), u"2.2.2.2");
}

TEST_F(SessionTest, CurrentDeviceIsMarkedAndSilentTargetsStayListed) {
  PrepareBatch({10, 1, 2});
  launcher_.Hold();
  ASSERT_TRUE(StartBatch({10, 1}));
  ASSERT_TRUE(Pump([&] { return Statuses().front() == u"Updating"; }));
  clock_.Advance(30);  // every device silent
  EXPECT_EQ(Column(false, {Ip(10), Ip(1)}), (Strings{Ip(10), Ip(1)})) << "ticked ones stay";
  EXPECT_EQ(Column(true, {Ip(10), Ip(1)}), (Strings{u"Updating", u""}));
}

TEST_F(SessionTest, CloseDuringSecondOfThreeIsRefusedAndSkipsTheThird) {
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
  EXPECT_TRUE(session_->Close());
}

// Refused before anything starts: the remembered settings, [UDP] and the
// updater are untouched, and the user is told why.
class StartRefusalTest;
struct RefusalCase {
  const char* name;
  void (*arrange)(StartRefusalTest&);
  std::u16string error;  // $ stands for the settings file's path, % for the package's
  Strings targets = {u"192.168.0.1"};
};

class StartRefusalTest : public SessionTest, public ::testing::WithParamInterface<RefusalCase> {
 public:
  void Set(std::u16string_view key) { temp_.Write(settings::kSectionQuilmarr, key, u"soon"); }
  void ReadOnly() { fs::permissions(settings_.FilePath(), fs::perms::owner_read); }
  void RemovePackage() { fs::remove(fs::path(package_)); }
  void LockAsAnotherTool() { ASSERT_TRUE(otherTool_.TryLock(LockPath(settings_))); }
  FileLock otherTool_;
};

TEST_P(StartRefusalTest, SaysWhyAndChangesNothing) {
  const RefusalCase& c = GetParam();
  PrepareBatch({1});
  c.arrange(*this);
  const std::string before = ReadBytes(settings_.FilePath());
  EXPECT_FALSE(session_->StartBatch(BatchRequest{package_, u"10.0.0.5", c.targets, {}, {}}));
  std::u16string expected = c.error;
  if (const auto at = expected.find(u'$'); at != expected.npos)
    expected.replace(at, 1, settings_.FilePath());
  if (const auto at = expected.find(u'%'); at != expected.npos) expected.replace(at, 1, package_);
  EXPECT_EQ(errors_, Strings{expected});
  EXPECT_EQ(session_->Mode(), UiMode::Querying);
  EXPECT_EQ(ReadBytes(settings_.FilePath()), before);
  EXPECT_FALSE(fs::exists(JournalPath(settings_)));
  EXPECT_EQ(launcher_.CallCount(), 0u);
}

// UpdateTimeoutSeconds: quilmarr-cli's process test. The updater reads its
// target from the same file: a window and the command line refuse alike when
// it cannot be written. Another tool's batch holds the settings file's lock.
INSTANTIATE_TEST_SUITE_P(
    Refusals, StartRefusalTest,
    ::testing::Values(
        RefusalCase{"BadVerifyTime", [](auto& x) { x.Set(settings::kKeyVerifySeconds); },
                    u"Invalid [Quilmarr] VerifySeconds \"soon\": a whole number of seconds from 0 "
                    u"to 86400 is expected"},
        RefusalCase{"ReadOnlySettingsFile", [](auto& x) { x.ReadOnly(); },
                    u"The settings file could not be written: $"},
        RefusalCase{"BroadcastTarget",
                    [](auto&) {},
                    u"Row 2, 255.255.255.255, is not the address of one device: nothing is updated",
                    {u"192.168.0.1", u"255.255.255.255"}},
        RefusalCase{"UnreadablePackage", [](auto& x) { x.RemovePackage(); },
                    u"The package file cannot be read: %"},
        RefusalCase{"AnotherBatch", [](auto& x) { x.LockAsAnotherTool(); },
                    u"Another batch is using the settings file $: wait until it has ended."}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(SessionTest, ABatchThatCannotBlockSleepRunsWithANote) {
  PrepareBatch({1});
  sleep_.refusal = u"no system bus";
  ASSERT_TRUE(StartBatch({1}));
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(launcher_.CallCount(), 1u);
  EXPECT_EQ(notes_, Strings{u"Sleep could not be blocked during the batch: no system bus. Keep "
                            u"this computer awake until the batch has ended."});
}

TEST_F(SessionTest, BatchWithoutAnUpdaterKeepsTheRememberedSettings) {
  PrepareBatch({1}, u"");
  ASSERT_TRUE(StartBatch({1}));
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(errors_, Strings{u"Please install Pendravel"});
  EXPECT_EQ(temp_.Read(settings::kSectionQuilmarr, settings::kKeyPckFile), package_);
  EXPECT_EQ(temp_.Read(settings::kSectionQuilmarr, settings::kKeyAdapterIp), u"10.0.0.5");
}

// A package rewritten on its share or stick during the batch is not flashed
// onto the devices still waiting.
TEST_F(SessionTest, APackageChangedDuringTheBatchStopsItBeforeTheNextDevice) {
  PrepareBatch({1, 2, 3});
  launcher_.Hold();
  ASSERT_TRUE(StartBatch({1, 2, 3}));
  ASSERT_TRUE(launcher_.WaitForCalls(1, kPatience));
  WriteBytes(std::filesystem::path(package_), "other firmware");
  launcher_.ReleaseAll();
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(Statuses(),
            (Strings{u"Done", u"Not started: package changed", u"Not started: package changed"}));
  EXPECT_EQ(errors_, Strings{u"The package file changed during the batch: " + package_ +
                             u". The devices not yet updated are not started."});
}

// The journal of a batch ended from outside (as the process left it while an
// updater ran) puts [UDP] back at the next start, even a key that was absent
// (the report it leaves: quilmarr-cli's killed batch).
TEST_F(SessionTest, AJournalLeftBehindIsRecoveredAtTheNextStart) {
  PrepareBatch({1, 2, 3});
  settings_.RemoveKey(settings::kSectionUdp, settings::kKeyHostIp);
  launcher_.Hold();
  ASSERT_TRUE(StartBatch({1, 2, 3}));
  ASSERT_TRUE(launcher_.WaitForCalls(1, kPatience));
  const std::string journal = ReadBytes(JournalPath(settings_));
  const std::string killedSettings = ReadBytes(settings_.FilePath());
  CloseAndWait();

  WriteBytes(JournalPath(settings_), journal);
  WriteBytes(settings_.FilePath(), killedSettings);
  const std::optional<std::u16string> said = RecoverInterruptedBatch(settings_);
  ASSERT_TRUE(said.has_value());
  EXPECT_EQ(temp_.Read(settings::kSectionUdp, settings::kKeyRemoteIp), u"1.1.1.1");
  EXPECT_EQ(settings_.ReadStringOr(settings::kSectionUdp, settings::kKeyHostIp, u"absent", 50),
            u"absent");
  EXPECT_FALSE(std::filesystem::exists(JournalPath(settings_)));

  // One that cannot be read is set aside, and the settings file not touched on a guess.
  WriteBytes(JournalPath(settings_), journal.substr(0, journal.size() / 2));
  const std::string before = ReadBytes(settings_.FilePath());
  const std::optional<std::u16string> aside = RecoverInterruptedBatch(settings_);
  ASSERT_TRUE(aside.has_value());
  EXPECT_NE(aside->find(u"could not be read and was set aside"), std::u16string::npos);
  EXPECT_EQ(ReadBytes(settings_.FilePath()), before);
  EXPECT_TRUE(std::filesystem::exists(JournalPath(settings_).string() + ".unreadable"));
}

// The command line's targets: the devices given, as heard, or every device
// heard with an application version (a switch or a PC is no target).
TEST_F(SessionTest, HeardTargetsAreDevicesThatWereHeard) {
  PrepareBatch({});
  EXPECT_EQ(session_->HeardTargets({}), std::nullopt);
  Hear(7);
  Hear(2, " ");  // blank: heard, but no version
  Hear(4);
  EXPECT_EQ(session_->HeardTargets({}), (Strings{Ip(7), Ip(4)}));
  EXPECT_EQ(session_->HeardTargets({Ip(4), Ip(2)}), (Strings{Ip(4), Ip(2)})) << "as given";
  EXPECT_EQ(session_->HeardTargets({Ip(4), Ip(9)}), std::nullopt);
  EXPECT_EQ(errors_, (Strings{u"No device was heard on 10.0.0.5: nothing to update",
                              u"Not heard on 10.0.0.5 during the listen: 192.168.0.9"}));
}

}  // namespace
}  // namespace quilmarr::test
