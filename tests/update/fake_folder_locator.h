#pragma once
#include <optional>
#include <string>

#include "platform/folders.h"

namespace quilmarr::testing {

class FakeFolderLocator final : public AppDataFolderLocator {
 public:
  FakeFolderLocator(std::optional<std::u16string> appData, std::u16string fallback)
      : appData_(std::move(appData)), fallback_(std::move(fallback)) {}
  [[nodiscard]] std::optional<std::u16string> RoamingAppDataFolder() const override {
    return appData_;
  }
  [[nodiscard]] std::u16string FallbackFolder() const override { return fallback_; }

 private:
  std::optional<std::u16string> appData_;
  std::u16string fallback_;
};

}  // namespace quilmarr::testing
