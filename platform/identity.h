#pragma once
// Who runs the tool on which computer, for the record of a change.
#include <string>

namespace quilmarr {

// The account name of this process; empty when unknown.
[[nodiscard]] std::u16string OperatorName();
// The computer's name; empty when unknown.
[[nodiscard]] std::u16string ComputerName();

}  // namespace quilmarr
