#pragma once
// A site's roster: the devices a substation should have, the application
// version each should run, and whether a roster run may flash it. Kept as a
// CSV file with a header row; the file may come from anywhere, so it is read
// strictly and within bounds.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace quilmarr {

// The roster's columns, as its header row names them (without case).
inline constexpr std::u16string_view kRosterIpColumn = u"IP";
inline constexpr std::u16string_view kRosterSystemNameColumn = u"System Name";
inline constexpr std::u16string_view kRosterIedNameColumn = u"IED Name";
inline constexpr std::u16string_view kRosterTargetColumn = u"Target App Version";
inline constexpr std::u16string_view kRosterUpdateColumn = u"Update";

// Larger files and more rows are refused.
inline constexpr std::size_t kMaxRosterBytes = 10 * 1024 * 1024;
inline constexpr std::size_t kMaxRosterRows = 100000;

struct RosterRow {
  std::u16string ip;          // canonical dotted decimal
  std::u16string systemName;  // empty: any name
  std::u16string iedName;     // empty: any name
  std::u16string targetVersion;
  bool update = true;    // false: never flashed by a roster run
  std::size_t line = 0;  // where the row starts in the file, from 1
};

struct SiteRoster {
  std::vector<RosterRow> rows;  // in file order
  // Each row's place by its address: a window looks up every listed device
  // once a second, and a roster may hold many rows.
  std::unordered_map<std::u16string, std::size_t> rowByIp;

  // The row of this address, or null.
  [[nodiscard]] const RosterRow* Find(std::u16string_view ip) const;
};

// Either the roster or why it is refused: "Roster NAME, line 7: Update must be
// yes or no, not \"maybe\"". Values lose surrounding blanks; columns other
// than the five are ignored; a blank line is skipped.
[[nodiscard]] std::variant<SiteRoster, std::u16string> ParseSiteRoster(std::string_view text,
                                                                       std::u16string_view name);
[[nodiscard]] std::variant<SiteRoster, std::u16string> ReadSiteRoster(const std::u16string& path);

}  // namespace quilmarr
