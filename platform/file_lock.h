#pragma once
// An exclusive lock that the operating system ties to a file and releases
// when its process ends, however it ends: flock(2) on Linux, LockFileEx on
// Windows. Two processes that lock the same path never both hold it.
#include <filesystem>

namespace quilmarr {

class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() { Unlock(); }

  // Creates the file if needed and takes the lock without waiting; false
  // when another process (or another FileLock) holds it, or it cannot be made.
  [[nodiscard]] bool TryLock(const std::filesystem::path& file);
  void Unlock() noexcept;
  [[nodiscard]] bool Held() const noexcept { return handle_ != kNone; }

 private:
#ifdef _WIN32
  static constexpr void* kNone = nullptr;
  void* handle_ = kNone;
#else
  static constexpr int kNone = -1;
  int handle_ = kNone;
#endif
};

}  // namespace quilmarr
