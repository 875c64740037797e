#include "session/off_subnet.h"

namespace quilmarr {

std::u16string OffSubnetNote(std::u16string_view subnet) {
  return u"not on the adapter's subnet " + std::u16string(subnet);
}

std::u16string OffSubnetSentence(const std::vector<std::u16string>& ips,
                                 std::u16string_view subnet) {
  if (ips.empty()) return {};
  std::u16string names = ips.front();
  for (std::size_t i = 1; i < ips.size(); ++i) {
    names += (i + 1 == ips.size() ? u" and " : u", ") + ips[i];
  }
  return names + (ips.size() == 1 ? u" is " : u" are ") + OffSubnetNote(subnet) + u'.';
}

}  // namespace quilmarr
