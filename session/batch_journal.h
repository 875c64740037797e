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

#include "update/batch_outcomes.h"
#include "update/settings_file.h"

namespace quilmarr {

// A [UDP] key as the batch found it: absent, or its value.
struct UdpKeyBefore {
  bool present = false;
  std::u16string value;
};

struct BatchJournal {
  UdpKeyBefore remoteIp;
  UdpKeyBefore hostIp;
  BatchInfo info;
  std::vector<DeviceResult> devices;  // Waiting, Updating, or how its run ended
};

// <settings file>.journal and <settings file>.lock; empty when the folder is unknown.
[[nodiscard]] std::filesystem::path JournalPath(const SettingsFile& settings);
[[nodiscard]] std::filesystem::path LockPath(const SettingsFile& settings);

[[nodiscard]] UdpKeyBefore ReadUdpKey(const SettingsFile& settings, std::u16string_view key);

[[nodiscard]] std::string JournalText(const BatchJournal& journal);
// Nullopt when the text is not a whole journal.
[[nodiscard]] std::optional<BatchJournal> ParseJournal(std::string_view text);

// At start-up, before [UDP] is looked at: a journal whose batch no longer
// runs (its lock is free) is recovered: [UDP] put back as the batch found
// it, the batch's report written with what it knew (the device whose
// updater ran: "Interrupted"; those never started: "Skipped"), the journal
// removed. A journal that cannot be read is set aside, [UDP] untouched.
// Returns what to tell the user, or nullopt when there was nothing to do.
[[nodiscard]] std::optional<std::u16string> RecoverInterruptedBatch(SettingsFile& settings);

// What a run that writes nothing says of a journal left behind, or nullopt.
[[nodiscard]] std::optional<std::u16string> PendingRecoveryText(const SettingsFile& settings);

}  // namespace quilmarr
