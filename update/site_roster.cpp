#include "update/site_roster.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <optional>

#include "discovery/ipv4_text.h"
#include "platform/csv.h"
#include "platform/text.h"

namespace quilmarr {
namespace {

constexpr std::array<std::u16string_view, 5> kColumns = {kRosterIpColumn, kRosterSystemNameColumn,
                                                         kRosterIedNameColumn, kRosterTargetColumn,
                                                         kRosterUpdateColumn};
enum Column : std::size_t { kIp, kSystemName, kIedName, kTarget, kUpdate };

std::u16string Quoted(std::u16string_view text) { return u"\"" + std::u16string(text) + u"\""; }

std::u16string_view WithoutBlanks(std::u16string_view text) noexcept {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
  return text;
}

std::u16string Number(std::size_t n) { return FromUtf8(std::to_string(n)); }

// Reads the header, then one row per record.
class RosterReader {
 public:
  std::optional<std::u16string> Record(std::vector<std::u16string>& fields, std::size_t line) {
    if (!headerRead_) return Header(fields);
    if (fields.size() == 1 && WithoutBlanks(fields[0]).empty()) return std::nullopt;
    if (fields.size() != width_) {
      return Number(fields.size()) + u" fields where the header has " + Number(width_);
    }
    if (roster_.rows.size() == kMaxRosterRows) {
      return u"more than " + Number(kMaxRosterRows) + u" rows";
    }
    RosterRow row;
    row.line = line;
    row.ip = WithoutBlanks(fields[index_[kIp]]);
    row.systemName = WithoutBlanks(fields[index_[kSystemName]]);
    row.iedName = WithoutBlanks(fields[index_[kIedName]]);
    row.targetVersion = WithoutBlanks(fields[index_[kTarget]]);
    const std::u16string_view update = WithoutBlanks(fields[index_[kUpdate]]);
    if (row.ip.empty()) return u"no IP";
    if (!ParseCanonicalIpv4(row.ip)) return row.ip + u" is not an IPv4 address";
    if (!IsUnicastHostAddress(row.ip)) return row.ip + u" is not a device address";
    if (!roster_.rowByIp.emplace(row.ip, roster_.rows.size()).second) {
      return row.ip + u" is listed twice";
    }
    if (row.targetVersion.empty()) return u"no Target App Version";
    if (EqualsNoCase(update, u"yes")) {
      row.update = true;
    } else if (EqualsNoCase(update, u"no")) {
      row.update = false;
    } else {
      return u"Update must be yes or no, not " + Quoted(update);
    }
    roster_.rows.push_back(std::move(row));
    return std::nullopt;
  }

  [[nodiscard]] std::optional<std::u16string> Missing() const {
    if (!headerRead_) return u"no header row";
    return std::nullopt;
  }
  SiteRoster Take() { return std::move(roster_); }

 private:
  std::optional<std::u16string> Header(const std::vector<std::u16string>& fields) {
    headerRead_ = true;
    width_ = fields.size();
    std::array<bool, kColumns.size()> found{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
      for (std::size_t c = 0; c < kColumns.size(); ++c) {
        if (!EqualsNoCase(WithoutBlanks(fields[i]), kColumns[c])) continue;
        if (found[c]) return u"column " + Quoted(kColumns[c]) + u" appears twice";
        found[c] = true;
        index_[c] = i;
      }
    }
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
      if (!found[c]) return u"no column " + Quoted(kColumns[c]);
    }
    return std::nullopt;
  }

  bool headerRead_ = false;
  std::size_t width_ = 0;
  std::array<std::size_t, kColumns.size()> index_{};
  SiteRoster roster_;
};

}  // namespace

const RosterRow* SiteRoster::Find(std::u16string_view ip) const {
  const auto found = rowByIp.find(std::u16string(ip));
  return found == rowByIp.end() ? nullptr : &rows[found->second];
}

std::variant<SiteRoster, std::u16string> ParseSiteRoster(std::string_view text,
                                                         std::u16string_view name) {
  RosterReader reader;
  auto fault =
      ReadCsvRecords(text, [&reader](std::vector<std::u16string>& fields, std::size_t line) {
        return reader.Record(fields, line);
      });
  if (!fault) {
    if (auto missing = reader.Missing()) fault = CsvFault{1, std::move(*missing)};
  }
  if (fault) {
    return u"Roster " + std::u16string(name) + u", line " + Number(fault->line) + u": " +
           fault->reason;
  }
  return reader.Take();
}

std::variant<SiteRoster, std::u16string> ReadSiteRoster(const std::u16string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::string text(kMaxRosterBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad() || (!in && !in.eof())) return u"Roster " + path + u": cannot be read";
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > kMaxRosterBytes) {
    return u"Roster " + path + u": larger than " + Number(kMaxRosterBytes / (1024 * 1024)) +
           u" MiB";
  }
  return ParseSiteRoster(text, path);
}

}  // namespace quilmarr
