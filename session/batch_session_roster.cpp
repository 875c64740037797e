// The site roster as a batch session keeps it: the rows' states, the audit
// and a roster run's targets.
#include <utility>
#include <variant>

#include "platform/text.h"
#include "session/batch_checks.h"
#include "session/batch_session.h"

namespace quilmarr {

bool BatchSession::OpenRoster(const std::u16string& path, bool remember) {
  auto roster = ReadSiteRoster(path);
  if (const auto* refusal = std::get_if<std::u16string>(&roster)) {
    ShowError(*refusal);
    return false;
  }
  roster_ = std::make_unique<SiteRoster>(std::move(std::get<SiteRoster>(roster)));
  if (remember) {
    static_cast<void>(
        services_.settings.WriteString(settings::kSectionQuilmarr, settings::kKeyRosterFile, path));
  }
  return true;
}

void BatchSession::CloseRoster() {
  roster_.reset();
  static_cast<void>(
      services_.settings.RemoveKey(settings::kSectionQuilmarr, settings::kKeyRosterFile));
}

std::vector<AuditRow> BatchSession::Audit() const {
  return roster_ ? AuditSite(*roster_, devices_, services_.clock.Now()) : std::vector<AuditRow>();
}

std::optional<std::pair<std::vector<std::u16string>, std::vector<std::u16string>>>
BatchSession::RosterTargets() const {
  if (!roster_) return std::nullopt;
  std::vector<std::u16string> targets;
  std::vector<std::u16string> versions;
  std::vector<std::u16string> namesDiffer;
  bool heard = false;
  for (const AuditRow& row : Audit()) {
    const RosterRow* listed = roster_->Find(row.ip);
    if (row.state != AuditState::Missing) heard = true;
    if (listed == nullptr) continue;
    if (row.state == AuditState::IdentityMismatch) namesDiffer.push_back(row.ip);
    if (!listed->update || (row.state != AuditState::Ok && row.state != AuditState::OffTarget)) {
      continue;
    }
    targets.push_back(listed->ip);
    versions.push_back(listed->targetVersion);
  }
  if (!namesDiffer.empty()) {
    host_.ShowError(u"Not updated, as they answer with other names than the roster's: " +
                    JoinedList(namesDiffer));
  }
  if (!heard) {
    host_.ShowError(u"No device was heard on " + captureIp_ + u": nothing to update");
    return std::nullopt;
  }
  return std::pair{std::move(targets), std::move(versions)};
}

void BatchSession::ReopenRoster() {
  const std::u16string path = services_.settings.ReadString(
      settings::kSectionQuilmarr, settings::kKeyRosterFile, kPathValueCapacity);
  if (!path.empty()) static_cast<void>(OpenRoster(path));
}

}  // namespace quilmarr
