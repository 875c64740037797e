#pragma once
// An application-data folder lookup that answers what the test says.
#include <optional>
#include <string>

#include "platform/folders.h"

namespace quilmarr::test {

class FakeFolderLocator final : public AppDataFolderLocator {
 public:
  FakeFolderLocator(std::optional<std::u16string> appData, std::u16string fallback)
      : appData_(std::move(appData)), fallback_(std::move(fallback)) {}
  // The same folder whether or not the lookup succeeds.
  explicit FakeFolderLocator(const std::u16string& folder) : FakeFolderLocator(folder, folder) {}
  [[nodiscard]] std::optional<std::u16string> RoamingAppDataFolder() const override {
    return appData_;
  }
  [[nodiscard]] std::u16string FallbackFolder() const override { return fallback_; }

 private:
  std::optional<std::u16string> appData_;
  std::u16string fallback_;
};

}  // namespace quilmarr::test
