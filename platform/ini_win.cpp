#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/ini_engine.h"

namespace quilmarr {
namespace {

std::wstring Terminated(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

class Win32IniStore final : public IniStore {
 public:
  [[nodiscard]] std::u16string Read(std::u16string_view path, std::u16string_view section,
                                    std::u16string_view key, std::u16string_view defaultValue,
                                    std::size_t capacity) const override {
    if (capacity == 0) return {};
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(capacity, 0x7FFFFFFF));
    std::vector<wchar_t> buffer(size, L'\0');
    const DWORD length = GetPrivateProfileStringW(
        Terminated(section).c_str(), Terminated(key).c_str(), Terminated(defaultValue).c_str(),
        buffer.data(), size, Terminated(path).c_str());
    return std::u16string(buffer.begin(), buffer.begin() + std::min<DWORD>(length, size - 1));
  }

  [[nodiscard]] bool Write(std::u16string_view path, std::u16string_view section,
                           std::u16string_view key, std::u16string_view value) override {
    // The API would write a line break as is and so let a value forge lines.
    if (path.empty() || !IsWritableIniEntry(section, key, value)) return false;
    // Windows refuses to open a read-only file for writing; Wine running as
    // root would not, so the attribute is checked here for both.
    const DWORD attributes = GetFileAttributesW(Terminated(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      return false;
    }
    return WritePrivateProfileStringW(Terminated(section).c_str(), Terminated(key).c_str(),
                                      Terminated(value).c_str(), Terminated(path).c_str()) != 0;
  }

  [[nodiscard]] bool Remove(std::u16string_view path, std::u16string_view section,
                            std::u16string_view key) override {
    // A null value removes the key.
    return WritePrivateProfileStringW(Terminated(section).c_str(), Terminated(key).c_str(), nullptr,
                                      Terminated(path).c_str()) != 0;
  }
};

}  // namespace

std::unique_ptr<IniStore> MakePlatformIniStore() { return std::make_unique<Win32IniStore>(); }

}  // namespace quilmarr
