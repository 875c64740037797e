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
  const std::u16string longValue(60, u'7');
  temp_.Write(settings::kSectionUdp, settings::kKeyRemoteIp, longValue);
  settings_.RemoveKey(settings::kSectionUdp, settings::kKeyHostIp);
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
  EXPECT_EQ(settings_.ReadStringOr(settings::kSectionUdp, settings::kKeyRemoteIp, u"absent", 100),
            longValue);
  EXPECT_EQ(settings_.ReadStringOr(settings::kSectionUdp, settings::kKeyHostIp, u"absent", 100),
            u"absent");
}

TEST_F(SessionTest, CurrentDeviceIsMarkedAndSilentTargetsStayListed) {
  PrepareBatch({10, 1, 2});
  launcher_.Hold();
  ASSERT_TRUE(StartBatch({10, 1}));
  ASSERT_TRUE(Pump([&] { return Statuses().front() == u"Updating"; }));
  clock_.Advance(30);  // every device silent
  EXPECT_EQ(Column(false, {Ip(10), Ip(1)}), (Strings{Ip(10), Ip(1)})) << "ticked ones stay";
  EXPECT_EQ(Column(true, {Ip(10), Ip(1)}), (Strings{u"Updating", u""}));
  const std::optional<BatchProgress> progress = session_->Progress();
  ASSERT_TRUE(progress);
  EXPECT_EQ(progress->elapsed, std::chrono::seconds(30)) << "on the session's clock";
  EXPECT_EQ(progress->updatingFor, std::chrono::seconds(30));
  EXPECT_EQ(progress->place, 1u);
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

// Two chassis IDs heard with one address within the fresh window; the list of
// them keeps the most recently heard.
TEST_F(SessionTest, AnAddressTwoDevicesAnnounceIsListedAsAConflict) {
  PrepareBatch({1, 1, 2});
  EXPECT_EQ(Statuses(), (Strings{u"", u""})) << "one chassis ID, heard twice";
  Hear(1, "4.1.7", 2);
  EXPECT_EQ(Statuses(), (Strings{u"Address conflict", u""}));
  clock_.Advance(kFreshSeconds + 1);
  Hear(1, "4.1.7", 1);
  EXPECT_EQ(Statuses(), Strings{u""}) << "the other one is older than the window";
  for (std::uint8_t chassis = 3; chassis < 10; ++chassis) Hear(1, "4.1.7", chassis);
  clock_.Advance(kFreshSeconds + 1);
  Hear(1, "4.1.7", 1);
  Hear(1, "4.1.7", 10);
  EXPECT_EQ(Statuses(), Strings{u"Address conflict"});
  EXPECT_EQ(session_->Devices()[0]->chassisHeard.size(), kMaxChassisPerAddress);
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
  void HearAnotherDevice() { Hear(1, "4.1.7", 2); }
  void LockAsAnotherTool() { ASSERT_TRUE(otherTool_.TryLock(LockPath(settings_))); }
  FileLock otherTool_;
};

TEST_P(StartRefusalTest, SaysWhyAndChangesNothing) {
  const RefusalCase& c = GetParam();
  PrepareBatch({1});
  c.arrange(*this);
  const std::string before = ReadBytes(settings_.FilePath());
  EXPECT_FALSE(session_->StartBatch(Request(c.targets)));
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
        RefusalCase{"AddressConflict", [](auto& x) { x.HearAnotherDevice(); },
                    u"Row 1, 192.168.0.1, is announced by two devices (address conflict): nothing "
                    u"is updated"},
        RefusalCase{"MissingPackage", [](auto& x) { x.RemovePackage(); },
                    u"The package file does not exist: %"},
        RefusalCase{"SubnetBroadcastTarget",
                    [](auto&) {},
                    u"Row 2, 10.0.0.255, is not the address of one device: nothing is updated",
                    {u"192.168.0.1", u"10.0.0.255"}},
        RefusalCase{"AnotherBatch", [](auto& x) { x.LockAsAnotherTool(); },
                    u"Another batch is using the settings file $: wait until it has ended."}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

// Not refused, as a router may reach them, but named before the batch.
TEST_F(SessionTest, TheQuestionNamesTheTargetsOffTheAdaptersSubnet) {
  PrepareBatch({});
  const auto plan = session_->PlanBatch(Request({Ip(1), u"10.0.0.7", Ip(2), Ip(3)}));
  ASSERT_TRUE(plan);
  EXPECT_TRUE(ConfirmationText(*plan).starts_with(
      u"Update 4 devices with fw 1.pck?\n\n192.168.0.1, 192.168.0.2 and 192.168.0.3 are not on "
      u"the adapter's subnet 10.0.0.0/24.\n\nPackage SHA-256: "));
}

TEST_F(SessionTest, ABatchThatCannotBlockSleepRunsWithANote) {
  PrepareBatch({1});
  sleep_.refusal = u"no system bus";
  ASSERT_TRUE(StartBatch({1}));
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(launcher_.CallCount(), 1u);
  EXPECT_EQ(notes_, Strings{u"Sleep could not be blocked during the batch: no system bus. Keep "
                            u"this computer awake until the batch has ended."});
}

// Both windows and quilmarr-cli refuse a batch without an updater before
// anything is written.
TEST_F(SessionTest, BatchWithoutAnUpdaterIsRefusedBeforeAnythingIsWritten) {
  PrepareBatch({1}, false);
  const std::string before = ReadBytes(settings_.FilePath());
  EXPECT_FALSE(StartBatch({1}));
  EXPECT_EQ(errors_, Strings{u"Please install Pendravel: [Pendravel] ExePath is empty in " +
                             settings_.FilePath()});
  EXPECT_EQ(ReadBytes(settings_.FilePath()), before);
}

// A package rewritten on its share or stick during a run marks that device,
// and neither a changed package nor a changed updater runs on the devices
// still waiting.
TEST_F(SessionTest, APackageOrUpdaterChangedDuringTheBatchStopsItBeforeTheNextDevice) {
  for (const bool package : {true, false}) {
    PrepareBatch({1, 2, 3});
    launcher_.Hold();
    const std::size_t runsBefore = launcher_.CallCount();
    ASSERT_TRUE(StartBatch({1, 2, 3}));
    ASSERT_TRUE(launcher_.WaitForCalls(runsBefore + 1, kPatience));
    const std::u16string changed = package ? package_ : temp_.InstallUpdater() + u"Pendravel.exe";
    WriteBytes(fs::path(changed), "other bytes");
#ifdef _WIN32
    if (package) {  // held open with read-only sharing: nobody can rewrite it
      EXPECT_EQ(ReadBytes(fs::path(package_)), "firmware");
      CloseAndWait();
      continue;
    }
#endif
    launcher_.ReleaseAll();
    ASSERT_TRUE(PumpUntilBatchEnded());
    const std::u16string notRun =
        package ? u"Not started: package changed" : u"Not started: updater changed";
    EXPECT_EQ(Statuses(), (Strings{package ? u"Done: package changed during its run" : u"Done",
                                   notRun, notRun}));
    EXPECT_EQ(errors_, Strings{(package ? u"The package file changed during the batch: "
                                        : u"The updater changed during the batch: ") +
                               changed + u". The devices not yet updated are not started."});
    CloseAndWait();
    WritePackage(fs::path(package_));
    errors_.clear();
  }
}

// The batch's record on disk: kept until the report is written (a tool
// killed during verification leaves the flashed devices known), and when it
// cannot be written no further updater starts.
TEST_F(SessionTest, TheJournalLastsUntilTheReportAndItsFailureStopsTheBatch) {
  PrepareBatch({1, 2});
  launcher_.Hold();
  ASSERT_TRUE(StartBatch({1, 2}));
  ASSERT_TRUE(launcher_.WaitForCalls(1, kPatience));
  fs::permissions(JournalPath(settings_), fs::perms::owner_read);  // as a full disk would
  launcher_.ReleaseAll();
  ASSERT_TRUE(PumpUntilBatchEnded());
  EXPECT_EQ(launcher_.CallCount(), 1u);
  EXPECT_EQ(Statuses(), (Strings{u"Done", u"Not started: journal not written"}));
  EXPECT_EQ(errors_, Strings{u"The batch journal could not be written: " +
                             JournalPath(settings_).u16string() +
                             u". The devices not yet updated are not started."});
  fs::permissions(JournalPath(settings_), fs::perms::owner_read | fs::perms::owner_write);
  CloseAndWait();

  PrepareBatch({1});
  ASSERT_TRUE(StartBatch({1}));
  ASSERT_TRUE(Pump([&] { return !session_->BatchActive(); }));
  const auto journal = ParseJournal(ReadBytes(JournalPath(settings_)));
  ASSERT_TRUE(journal) << "kept while the device is verified";
  EXPECT_TRUE(journal->udpPutBack);
  EXPECT_EQ(journal->reportPath, session_->ReportPath());
  EXPECT_EQ(OutcomeText(journal->devices.at(0)), u"Done");
  ASSERT_TRUE(session_->Close());
  EXPECT_FALSE(fs::exists(JournalPath(settings_)));
}

// A [UDP] that cannot be put back is said, its journal kept, and no batch
// starts until a put-back succeeds (a window retries at its close).
TEST_F(SessionTest, AFailedPutBackKeepsTheJournalAndHoldsOffTheNextBatch) {
  PrepareBatch({1});
  launcher_.Hold();
  ASSERT_TRUE(StartBatch({1}));
  ASSERT_TRUE(launcher_.WaitForCalls(1, kPatience));
  const fs::path file(settings_.FilePath());
  fs::permissions(file, fs::perms::owner_read);
  launcher_.ReleaseAll();
  ASSERT_TRUE(PumpUntilBatchEnded());
  const std::u16string kept = u"[UDP] in " + settings_.FilePath() +
                              u" could not be put back after a batch; its journal " +
                              JournalPath(settings_).u16string() +
                              u" is kept, and no batch starts until the settings file can be "
                              u"written.";
  EXPECT_EQ(errors_, Strings{kept});
  EXPECT_TRUE(session_->UdpPending());
  EXPECT_FALSE(StartBatch({1}));
  EXPECT_EQ(errors_, (Strings{kept, kept}));
  EXPECT_EQ(launcher_.CallCount(), 1u);

  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(session_->Close());
  EXPECT_EQ(temp_.Read(settings::kSectionUdp, settings::kKeyRemoteIp), u"1.1.1.1");
  EXPECT_FALSE(fs::exists(JournalPath(settings_)));
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
  const std::u16string reportPath = ParseJournal(journal)->reportPath;
  EXPECT_TRUE(said->ends_with(u"were put back as it found them. Its report was written to " +
                              reportPath + u"."))
      << ToUtf8(*said);
  const std::string report = ReadBytes(fs::path(reportPath));
  EXPECT_NE(report.find("\"Interrupted\""), std::string::npos) << report;
  EXPECT_EQ(report.find(",\"\",\"\",\"\",\"Interrupted\""), std::string::npos)
      << "its updater's start is known";
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
