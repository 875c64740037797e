#include "update/target_version.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "update/batch_outcomes.h"

namespace quilmarr {
namespace {

// Nullopt unless every segment is a run of digits (leading zeros aside).
std::optional<std::vector<std::u16string_view>> NumericSegments(std::u16string_view version) {
  std::vector<std::u16string_view> segments;
  for (std::size_t start = 0;;) {
    const std::size_t dot = version.find(u'.', start);
    std::u16string_view segment = version.substr(start, dot - start);
    if (segment.empty()) return std::nullopt;
    for (const char16_t c : segment) {
      if (c < u'0' || c > u'9') return std::nullopt;
    }
    while (segment.size() > 1 && segment.front() == u'0') segment.remove_prefix(1);
    segments.push_back(segment);
    if (dot == std::u16string_view::npos) return segments;
    start = dot + 1;
  }
}

// Digits of any length: a longer run is the larger number.
int CompareNumbers(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

}  // namespace

VersionOrder CompareVersions(std::u16string_view version, std::u16string_view other) {
  version = TrimmedVersion(version);
  other = TrimmedVersion(other);
  if (version == other) return VersionOrder::Same;
  const auto mine = NumericSegments(version);
  const auto theirs = NumericSegments(other);
  if (!mine || !theirs) return VersionOrder::Unordered;
  const std::size_t count = std::max(mine->size(), theirs->size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::u16string_view a = i < mine->size() ? (*mine)[i] : u"0";
    const std::u16string_view b = i < theirs->size() ? (*theirs)[i] : u"0";
    if (const int order = CompareNumbers(a, b); order != 0) {
      return order < 0 ? VersionOrder::Older : VersionOrder::Newer;
    }
  }
  return VersionOrder::Unordered;  // "2.0" and "2.00": the same number, not the same version
}

TargetAction ActionForTarget(std::u16string_view heard, std::u16string_view target,
                             bool allowDowngrade, bool force) {
  switch (CompareVersions(heard, target)) {
    case VersionOrder::Same: return force ? TargetAction::Update : TargetAction::AlreadyAt;
    case VersionOrder::Newer:
      return allowDowngrade ? TargetAction::Update : TargetAction::NewerThan;
    case VersionOrder::Older:
    case VersionOrder::Unordered: break;
  }
  return TargetAction::Update;
}

}  // namespace quilmarr
