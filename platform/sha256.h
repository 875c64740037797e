#pragma once
// SHA-256 (FIPS 180-4) of a file, for the identity of packages and updaters.
// The platform's own implementation does the hashing: OpenSSL's libcrypto on
// Linux, CNG (bcrypt) on Windows.
#include <filesystem>
#include <optional>
#include <string>

namespace quilmarr {

// The digest of the file's bytes as 64 lowercase hex digits, read in blocks so
// any size is fine; nullopt when the file cannot be opened or read.
[[nodiscard]] std::optional<std::string> FileSha256(const std::filesystem::path& file);

}  // namespace quilmarr
