#pragma once
// INI access with the semantics of GetPrivateProfileStringW and
// WritePrivateProfileStringW, for a file shared with another program.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace quilmarr {

class IniStore {
 public:
  virtual ~IniStore() = default;
  // The value, or `defaultValue` when the file, section or key is missing;
  // cut to capacity - 1 characters (capacity counts the terminator).
  [[nodiscard]] virtual std::u16string Read(std::u16string_view path, std::u16string_view section,
                                            std::u16string_view key,
                                            std::u16string_view defaultValue,
                                            std::size_t capacity) const = 0;
  // Creates the file (in an existing folder), the section and the key as
  // needed. False when the write failed, or was refused because the entry
  // would change other lines: a line break or zero character anywhere, ']'
  // in the section, '=' in the key.
  [[nodiscard]] virtual bool Write(std::u16string_view path, std::u16string_view section,
                                   std::u16string_view key, std::u16string_view value) = 0;
  // Removes the key's line, leaving every other line as it is; true when the
  // key is gone (or was never there).
  [[nodiscard]] virtual bool Remove(std::u16string_view /*path*/, std::u16string_view /*section*/,
                                    std::u16string_view /*key*/) {
    return false;
  }
};

// The platform's own INI functions on Windows; our engine elsewhere.
[[nodiscard]] std::unique_ptr<IniStore> MakePlatformIniStore();

}  // namespace quilmarr
