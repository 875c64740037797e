#pragma once
// A fresh folder under the system's temporary folder, removed with everything
// in it, read-only entries included, when the test is done with it.
#include <filesystem>
#include <string>
#include <string_view>

namespace quilmarr::test {

class TempFolder {
 public:
  TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();

  [[nodiscard]] const std::filesystem::path& Path() const noexcept { return path_; }
  [[nodiscard]] std::filesystem::path File(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
[[nodiscard]] std::string ReadBytes(const std::filesystem::path& file);

}  // namespace quilmarr::test
