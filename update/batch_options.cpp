#include "update/batch_options.h"

#include <optional>

#include "platform/text.h"

namespace quilmarr {
namespace {

// Reads one key; nullopt with `error` set when its value is not acceptable.
std::optional<std::chrono::seconds> ReadSeconds(const SettingsFile& settings,
                                                std::u16string_view key,
                                                std::chrono::seconds fallback,
                                                std::u16string& error) {
  const std::u16string text =
      settings.ReadString(settings::kSectionQuilmarr, key, kPathValueCapacity);
  if (text.empty()) return fallback;
  if (auto seconds = ParseOptionSeconds(text)) return seconds;
  error = u"Invalid [Quilmarr] " + std::u16string(key) + u" \"" + text +
          u"\": a whole number of seconds from 0 to 86400 is expected";
  return std::nullopt;
}

}  // namespace

std::optional<std::size_t> ParseOptionCount(std::u16string_view text) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  std::size_t value = 0;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + static_cast<std::size_t>(c - u'0');
  }
  if (value > kMostFailures) return std::nullopt;
  return value;
}

std::optional<std::chrono::seconds> ParseOptionSeconds(std::u16string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  long long value = 0;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  if (value > kLongestOption.count()) return std::nullopt;
  return std::chrono::seconds(value);
}

std::variant<BatchOptions, std::u16string> ReadBatchOptions(const SettingsFile& settings,
                                                            const BatchOptionOverrides& overrides) {
  std::u16string error;
  BatchOptions options;
  const auto verifyFor = overrides.verifyFor ? overrides.verifyFor
                                             : ReadSeconds(settings, settings::kKeyVerifySeconds,
                                                           kDefaultVerifyFor, error);
  if (!verifyFor) return error;
  const auto timeLimit = overrides.updateTimeLimit
                             ? overrides.updateTimeLimit
                             : ReadSeconds(settings, settings::kKeyUpdateTimeoutSeconds,
                                           std::chrono::seconds(0), error);
  if (!timeLimit) return error;
  options.verifyFor = *verifyFor;
  options.updateTimeLimit = *timeLimit;
  if (overrides.maxFailures) {
    options.maxFailures = *overrides.maxFailures;
  } else {
    const std::u16string text = settings.ReadString(settings::kSectionQuilmarr,
                                                    settings::kKeyMaxFailures, kPathValueCapacity);
    const auto count = text.empty() ? std::optional<std::size_t>(0) : ParseOptionCount(text);
    if (!count) {
      return u"Invalid [Quilmarr] " + std::u16string(settings::kKeyMaxFailures) + u" \"" + text +
             u"\": a whole number of devices from 0 to 100000 is expected";
    }
    options.maxFailures = *count;
  }
  return options;
}

}  // namespace quilmarr
