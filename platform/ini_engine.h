#pragma once
// Our INI engine: the reading rules of GetPrivateProfileStringW, and writes
// that touch only the line of their key so the other program's layout stays.
// Files are UTF-8 text; names and values are UTF-16 at the interface.
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ini.h"

namespace quilmarr {

// False for entries that would change other lines of the file: a line break
// or zero character anywhere, ']' in the section, '=' in the key.
[[nodiscard]] bool IsWritableIniEntry(std::u16string_view section, std::u16string_view key,
                                      std::u16string_view value) noexcept;

// The value of the first matching key in the first matching section, or
// nullopt when there is none (or the key line has no '=').
[[nodiscard]] std::optional<std::u16string> FindIniValue(std::string_view fileText,
                                                         std::u16string_view section,
                                                         std::u16string_view key);

// The file text after storing `value`: only the key's line is replaced, or
// lines are added at the end of the section or of the file, in the file's
// own line ending.
[[nodiscard]] std::string WithIniValue(std::string_view fileText, std::u16string_view section,
                                       std::u16string_view key, std::u16string_view value);

// Reads and replaces whole files; a write goes to a temporary file in the
// same folder that is flushed and renamed over the original.
class IniEngineStore final : public IniStore {
 public:
  [[nodiscard]] std::u16string Read(std::u16string_view path, std::u16string_view section,
                                    std::u16string_view key, std::u16string_view defaultValue,
                                    std::size_t capacity) const override;
  [[nodiscard]] bool Write(std::u16string_view path, std::u16string_view section,
                           std::u16string_view key, std::u16string_view value) override;
  [[nodiscard]] bool Remove(std::u16string_view path, std::u16string_view section,
                            std::u16string_view key) override;

 private:
  // Read-modify-write must not interleave between the UI thread and the worker.
  mutable std::mutex mutex_;
};

}  // namespace quilmarr
