#include "tests/support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <system_error>

namespace quilmarr::test {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  // The stamp tells apart the programs that run at once, the counter the folders of one.
  do {
    path_ = fs::temp_directory_path() /
            ("quilmarr-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  } while (!fs::create_directories(path_));
}

TempFolder::~TempFolder() {
  // A read-only file cannot be deleted on Windows, nor an entry of a
  // read-only folder elsewhere: give the owner the rights back first.
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (auto entry = fs::recursive_directory_iterator(path_, ignored);
       entry != fs::recursive_directory_iterator(); entry.increment(ignored)) {
    const bool folder = entry->is_directory(ignored) && !entry->is_symlink(ignored);
    fs::permissions(entry->path(), folder ? fs::perms::owner_all : fs::perms::owner_write,
                    fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

void WriteBytes(const fs::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace quilmarr::test
