#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quilmarr {

// Replaces the file's contents as one step: a temporary file in the same
// folder is written, flushed and renamed over the target, so a reader sees
// either the old or the new file, never a part. A link's target is replaced,
// not the link, and an existing file keeps its permissions. False when the
// target is read-only (no write bit, even for root) or anything fails; the
// target is then unchanged.
[[nodiscard]] bool ReplaceFileAtomically(const std::filesystem::path& target,
                                         std::string_view contents);

// A file without any write bit, which ReplaceFileAtomically refuses (even for
// root, as Windows refuses a read-only file); false when there is no file.
[[nodiscard]] bool IsReadOnlyFile(const std::filesystem::path& file);

// The file's bytes; nullopt when it cannot be read.
[[nodiscard]] std::optional<std::string> ReadFileBytes(const std::filesystem::path& file);

}  // namespace quilmarr
