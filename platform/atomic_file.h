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

// Creates an empty file where none is, as one step (O_EXCL, CREATE_NEW), so
// two processes asking for the same name never both get it; false when the
// name is taken or the file cannot be made.
[[nodiscard]] bool CreateNewFile(const std::filesystem::path& file);

// While it lives, nobody can open the file for writing (Windows: it is held
// open with read-only sharing); elsewhere it holds nothing, and a change is
// found by hashing the file again.
class WriteBlock {
 public:
  explicit WriteBlock(const std::filesystem::path& file);
  WriteBlock(const WriteBlock&) = delete;
  WriteBlock& operator=(const WriteBlock&) = delete;
  ~WriteBlock();

 private:
  [[maybe_unused]] void* handle_ = nullptr;  // Windows only
};

// The file's bytes; nullopt when it cannot be read.
[[nodiscard]] std::optional<std::string> ReadFileBytes(const std::filesystem::path& file);

}  // namespace quilmarr
