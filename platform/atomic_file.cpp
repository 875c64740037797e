#include "platform/atomic_file.h"

#include <atomic>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace quilmarr {
namespace {

std::filesystem::path TemporarySibling(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
#ifdef _WIN32
  const unsigned long process = GetCurrentProcessId();
#else
  const long process = static_cast<long>(getpid());
#endif
  std::filesystem::path temp = target;
  std::string suffix(1, '.');
  suffix += std::to_string(process);
  suffix += '.';
  suffix += std::to_string(counter++);
  suffix += ".tmp";
  temp += suffix;
  return temp;
}

#ifdef _WIN32

bool ReplaceAtomically(const std::filesystem::path& target, std::string_view contents) {
  std::error_code error;
  if (IsReadOnlyFile(target)) return false;
  const std::filesystem::path temp = TemporarySibling(target);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(temp, error);
      return false;
    }
  }
  if (!MoveFileExW(temp.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    std::filesystem::remove(temp, error);
    return false;
  }
  return true;
}

#else

bool WriteAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t written = ::write(fd, contents.data(), contents.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool ReplaceAtomically(const std::filesystem::path& requested, std::string_view contents) {
  std::error_code error;
  std::filesystem::path target = requested;
  // Replace the file a link points to, not the link.
  if (std::filesystem::is_symlink(requested, error)) {
    target = std::filesystem::canonical(requested, error);
    if (error) return false;
  }
  struct stat original {};
  const bool exists = ::stat(target.c_str(), &original) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists) {
    // Root may write anything; a file without any write bit counts as read-only all the same.
    if (!S_ISREG(original.st_mode) || (original.st_mode & 0222) == 0) return false;
    if (::access(target.c_str(), W_OK) != 0) return false;
  }

  const std::filesystem::path temp = TemporarySibling(target);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, contents);
  if (ok && exists) {
    ok = ::fchmod(fd, original.st_mode & 07777) == 0;
    if (ok && ::fchown(fd, original.st_uid, original.st_gid) != 0) {
      // Only root may give the file away; the permissions are what matters.
    }
  }
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  SyncFolder(target.parent_path());
  return true;
}

#endif

}  // namespace

bool ReplaceFileAtomically(const std::filesystem::path& target, std::string_view contents) {
  return ReplaceAtomically(target, contents);
}

bool IsReadOnlyFile(const std::filesystem::path& file) {
  using std::filesystem::perms;
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  return std::filesystem::exists(status) &&
         (status.permissions() & (perms::owner_write | perms::group_write | perms::others_write)) ==
             perms::none;
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace quilmarr

namespace quilmarr {

#ifdef _WIN32

bool CreateNewFile(const std::filesystem::path& file) {
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

WriteBlock::WriteBlock(const std::filesystem::path& file) {
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) handle_ = handle;
}

WriteBlock::~WriteBlock() {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}

#else

bool CreateNewFile(const std::filesystem::path& file) {
  const int descriptor = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (descriptor < 0) return false;
  ::close(descriptor);
  return true;
}

WriteBlock::WriteBlock(const std::filesystem::path& /*file*/) {}
WriteBlock::~WriteBlock() = default;

#endif

}  // namespace quilmarr
