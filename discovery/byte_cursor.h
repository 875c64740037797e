#pragma once
// The only way untrusted frame bytes are read: every read checks what remains
// first, comparing lengths, never pointers.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quilmarr {

class ByteCursor {
 public:
  explicit ByteCursor(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

  [[nodiscard]] std::size_t Remaining() const noexcept { return bytes_.size() - offset_; }
  [[nodiscard]] bool AtEnd() const noexcept { return Remaining() == 0; }

  [[nodiscard]] std::optional<std::uint8_t> ReadU8() noexcept {
    if (Remaining() < 1) return std::nullopt;
    return bytes_[offset_++];
  }
  [[nodiscard]] std::optional<std::uint16_t> ReadU16() noexcept {
    if (Remaining() < 2) return std::nullopt;
    const auto value = static_cast<std::uint16_t>((bytes_[offset_] << 8) | bytes_[offset_ + 1]);
    offset_ += 2;
    return value;
  }
  // A sub-view of exactly `count` bytes, or nullopt (and no advance) if fewer remain.
  [[nodiscard]] std::optional<std::span<const std::uint8_t>> Take(std::size_t count) noexcept {
    if (Remaining() < count) return std::nullopt;
    auto view = bytes_.subspan(offset_, count);
    offset_ += count;
    return view;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t offset_ = 0;
};

}  // namespace quilmarr
