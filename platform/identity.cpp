#include "platform/identity.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>

#include <array>
#include <vector>
#endif

#include "platform/text.h"

namespace quilmarr {

#ifdef _WIN32

std::u16string OperatorName() {
  wchar_t name[257] = {};
  DWORD size = 257;
  if (GetUserNameW(name, &size) == 0) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(name));
}

std::u16string ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (GetComputerNameW(name, &size) == 0) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(name), size);
}

#else

std::u16string OperatorName() {
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr) {
    return {};
  }
  return FromUtf8(found->pw_name);
}

std::u16string ComputerName() {
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0) return {};
  return FromUtf8(name.data());
}

#endif

}  // namespace quilmarr
