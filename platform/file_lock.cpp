#include "platform/file_lock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace quilmarr {

#ifdef _WIN32

bool FileLock::TryLock(const std::filesystem::path& file) {
  if (Held()) return false;
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED whole{};
  if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole) ==
      0) {
    CloseHandle(handle);
    return false;
  }
  handle_ = handle;
  return true;
}

void FileLock::Unlock() noexcept {
  if (!Held()) return;
  CloseHandle(static_cast<HANDLE>(handle_));  // closing releases the lock
  handle_ = kNone;
}

#else

bool FileLock::TryLock(const std::filesystem::path& file) {
  if (Held()) return false;
  const int descriptor = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (descriptor < 0) return false;
  // flock locks belong to the open file description, so a second open in
  // this process is refused too, and an updater started later inherits
  // nothing (O_CLOEXEC).
  if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    ::close(descriptor);
    return false;
  }
  handle_ = descriptor;
  return true;
}

void FileLock::Unlock() noexcept {
  if (!Held()) return;
  ::close(handle_);
  handle_ = kNone;
}

#endif

}  // namespace quilmarr
