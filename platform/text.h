#pragma once
// Conversions between the core's UTF-16 text and narrow text. Narrow text is
// the ANSI code page on Windows and UTF-8 elsewhere; bytes that do not decode
// become U+FFFD.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quilmarr {

// Exactly `length` bytes, zero bytes included (the string type's counted
// construction from narrow text).
[[nodiscard]] std::u16string WidenCounted(const std::uint8_t* bytes, std::size_t length);
[[nodiscard]] std::u16string WidenCounted(std::string_view narrow);

// The bytes up to the first zero byte (or all of them). Empty when the
// platform conversion fails (on Windows: MultiByteToWideChar with the
// thread's ANSI code page returning 0).
[[nodiscard]] std::u16string WidenZeroTerminated(const std::uint8_t* bytes, std::size_t length);

// Wide to narrow in the platform's narrow code page; nullopt when a character
// cannot be represented (Windows) or the text is not valid UTF-16.
[[nodiscard]] std::optional<std::string> NarrowForPlatform(std::u16string_view wide);

// UTF-8 <-> UTF-16 on every platform (command-line output, file formats).
[[nodiscard]] std::string ToUtf8(std::u16string_view wide);
[[nodiscard]] std::u16string FromUtf8(std::string_view utf8);

// ASCII case-insensitive comparison of whole texts (IPv4 text, INI names).
[[nodiscard]] bool EqualsNoCase(std::u16string_view a, std::u16string_view b) noexcept;

}  // namespace quilmarr
