#pragma once
// Saved captures, read through the bounds-checked cursor: classic pcap in
// either byte order with micro- or nanosecond time stamps, and pcapng
// (sections in either byte order; Enhanced, Simple and obsolete Packet
// Blocks; other blocks skipped).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quilmarr {

// Why a capture file cannot be read, or read further.
namespace capture_file_error {
inline constexpr char kCannotOpen[] = "cannot open the file";
inline constexpr char kUnknownFormat[] = "not a pcap or pcapng capture";
inline constexpr char kUnsupportedVersion[] = "unsupported capture file version";
inline constexpr char kTruncated[] = "truncated capture file";
inline constexpr char kFrameTooLong[] = "frame longer than 262144 bytes";
inline constexpr char kInvalidBlock[] = "invalid pcapng block";
inline constexpr char kUndeclaredInterface[] = "pcapng packet on an undeclared interface";
}  // namespace capture_file_error

// libpcap's largest snapshot length; no frame of a sane capture is longer.
inline constexpr std::uint32_t kMaxCapturedFrame = 262144;

class CaptureFileReader {
 public:
  explicit CaptureFileReader(std::istream& in) : in_(in) {}

  // The next frame's captured bytes, valid until the next call. Nullopt at
  // the end of the capture, or when it cannot be read further: Error() then
  // tells why.
  [[nodiscard]] std::optional<std::span<const std::uint8_t>> Next();
  [[nodiscard]] const std::string& Error() const noexcept { return error_; }

 private:
  enum class Format { Unknown, Pcap, Pcapng };
  enum class Fill { Full, Empty, Short };

  [[nodiscard]] Fill ReadInto(std::size_t offset, std::size_t count);
  // Each of these is false at the end of the capture or after Fail.
  bool Fail(const char* why);
  [[nodiscard]] bool ReadFileHeader();
  [[nodiscard]] bool NextPcapRecord(std::span<const std::uint8_t>& frame);
  [[nodiscard]] bool NextPcapngPacket(std::span<const std::uint8_t>& frame);
  // One whole block into the buffer; `typeRead`: its type is there already.
  [[nodiscard]] bool ReadPcapngBlock(bool typeRead);
  [[nodiscard]] std::span<const std::uint8_t> BlockBody() const;
  [[nodiscard]] bool StartSection(std::span<const std::uint8_t> body);
  [[nodiscard]] bool DeclareInterface(std::span<const std::uint8_t> body);
  [[nodiscard]] bool PacketOf(std::span<const std::uint8_t> body,
                              std::span<const std::uint8_t>& frame);

  std::istream& in_;
  Format format_ = Format::Unknown;
  bool bigEndian_ = false;
  std::vector<std::uint8_t> buffer_;  // the current record or block
  std::uint32_t blockType_ = 0;
  std::vector<std::uint32_t> snapshotLengths_;  // per interface of the pcapng section
  std::string error_;
};

// Calls `onFrame` with each frame's captured bytes, in file order. Returns an
// empty text when the whole file was read, else why not (the frames before
// the fault have been passed on).
[[nodiscard]] std::string ReadCaptureFile(
    const std::filesystem::path& path,
    const std::function<void(std::span<const std::uint8_t>)>& onFrame);

}  // namespace quilmarr
