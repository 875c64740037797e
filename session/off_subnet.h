#pragma once
// Targets outside the adapter's subnet, as every front end names them.
#include <string>
#include <string_view>
#include <vector>

namespace quilmarr {

// "not on the adapter's subnet 10.0.0.0/24": beside such a device in a plan.
[[nodiscard]] std::u16string OffSubnetNote(std::u16string_view subnet);

// "10.1.2.3 and 10.1.2.4 are not on the adapter's subnet 10.0.0.0/24."; empty
// when there are none.
[[nodiscard]] std::u16string OffSubnetSentence(const std::vector<std::u16string>& ips,
                                               std::u16string_view subnet);

}  // namespace quilmarr
