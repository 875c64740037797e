#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <utility>

#include "platform/text.h"

extern char** environ;

namespace quilmarr {
namespace {

// Owns a posix_spawn_file_actions_t for the lifetime of one spawn.
class SpawnFileActions {
 public:
  SpawnFileActions() noexcept { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  ~SpawnFileActions() {
    if (ok_) posix_spawn_file_actions_destroy(&actions_);
  }

  // Standard input, output and error on /dev/null; every other descriptor
  // closed, as no handle of the tool is inherited.
  [[nodiscard]] bool SetUpNullStandardHandles() noexcept {
    return ok_ &&
           posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) ==
               0 &&
           posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) ==
               0 &&
           posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0) ==
               0 &&
           posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) == 0;
  }
  [[nodiscard]] const posix_spawn_file_actions_t* Get() const noexcept { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
  bool ok_ = false;
};

// False for text that cannot become a C string of the platform's encoding.
[[nodiscard]] bool AppendNarrow(std::vector<std::string>& words, const std::u16string& word) {
  std::optional<std::string> narrow = NarrowForPlatform(word);
  if (!narrow || narrow->find('\0') != std::string::npos) return false;
  words.push_back(std::move(*narrow));
  return true;
}

void WaitForExit(pid_t child) noexcept {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

class PosixProcessLauncher final : public ProcessLauncher {
 public:
  bool RunAndWait(const std::u16string& program,
                  const std::vector<std::u16string>& arguments) override {
    std::vector<std::string> words;
    words.reserve(arguments.size() + 1);
    if (!AppendNarrow(words, program)) return false;
    for (const std::u16string& argument : arguments) {
      if (!AppendNarrow(words, argument)) return false;
    }
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    SpawnFileActions actions;
    if (!actions.SetUpNullStandardHandles()) return false;
    pid_t child = 0;
    // posix_spawn, not posix_spawnp: the program is a path, never searched for.
    if (posix_spawn(&child, argv[0], actions.Get(), nullptr, argv.data(), environ) != 0) {
      return false;
    }
    WaitForExit(child);
    return true;
  }
};

}  // namespace

std::unique_ptr<ProcessLauncher> MakePlatformProcessLauncher() {
  return std::make_unique<PosixProcessLauncher>();
}

}  // namespace quilmarr
