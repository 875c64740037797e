#pragma once
// The journal of a running batch, beside the settings file, so that a batch
// ended from outside (killed, a crash, power lost) leaves no [UDP] naming a
// device for the next start to take as the original: it holds [UDP] as the
// batch found it and each device's state, and is replaced atomically before
// the first [UDP] write and at each device's start and end.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"
#include "update/batch_outcomes.h"
#include "update/settings_file.h"

namespace quilmarr {

struct BatchJournal {
  UdpSettingsSnapshot udp;  // [UDP] as the batch found it
  bool udpPutBack = false;  // put back already: only the report is left to write
  BatchInfo info;
  std::u16string reportPath;  // where the batch writes its report
  // The updater that runs now, if any: a batch killed meanwhile leaves it
  // running, and nothing may touch [UDP] until it has ended.
  std::optional<ProcessIdentity> updater;
  std::vector<DeviceResult> devices;  // Waiting, Updating, or how its run ended
};

// <settings file>.journal and <settings file>.lock; empty when the folder is unknown.
[[nodiscard]] std::filesystem::path JournalPath(const SettingsFile& settings);
[[nodiscard]] std::filesystem::path LockPath(const SettingsFile& settings);

[[nodiscard]] std::string JournalText(const BatchJournal& journal);
// Nullopt when the text is not a whole journal.
[[nodiscard]] std::optional<BatchJournal> ParseJournal(std::string_view text);

// [UDP] not put back after a batch: its journal is kept, and no batch starts.
[[nodiscard]] std::u16string KeptJournalText(const SettingsFile& settings);

// "Another batch is using the settings file FILE: wait until it has ended."
[[nodiscard]] std::u16string AnotherBatchText(const SettingsFile& settings);

// Why no batch may start now because of an earlier one, or nullopt: its
// process still holds the settings file's lock, an updater it started still
// runs, or (unless `dryRun`) its journal has not been applied yet.
[[nodiscard]] std::optional<std::u16string> EarlierBatchRefusal(const SettingsFile& settings,
                                                                bool dryRun);

// A journal whose batch no longer runs (its lock is free, its updater has
// ended) is recovered: [UDP] put back as the batch found it, the batch's
// report written where it would have been with what it knew (the device
// whose updater ran: "Interrupted"; those never started: "Skipped"), the
// journal removed. One that cannot be read is set aside, [UDP] untouched;
// one whose [UDP] cannot be put back is kept. Returns what to tell the user,
// or nullopt when there was nothing to do. `dryRun`: writes nothing, only
// says what a real run would do.
[[nodiscard]] std::optional<std::u16string> RecoverInterruptedBatch(SettingsFile& settings,
                                                                    bool dryRun = false);

}  // namespace quilmarr
