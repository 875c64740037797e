#include "discovery/capture_file.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "discovery/byte_cursor.h"

namespace quilmarr {
namespace {

using Bytes4 = std::array<std::uint8_t, 4>;
namespace error = capture_file_error;

// Classic pcap: the magic number as the file's first four bytes.
constexpr Bytes4 kPcapMicroBig{0xA1, 0xB2, 0xC3, 0xD4};
constexpr Bytes4 kPcapMicroLittle{0xD4, 0xC3, 0xB2, 0xA1};
constexpr Bytes4 kPcapNanoBig{0xA1, 0xB2, 0x3C, 0x4D};
constexpr Bytes4 kPcapNanoLittle{0x4D, 0x3C, 0xB2, 0xA1};
constexpr std::size_t kPcapFileHeaderLength = 24;
constexpr std::size_t kPcapRecordHeaderLength = 16;
constexpr std::uint16_t kPcapMajorVersion = 2;

// pcapng: block types, the Section Header's byte-order magic and version.
constexpr std::uint32_t kSectionHeaderBlock = 0x0A0D0D0A;  // the same in either byte order
constexpr std::uint32_t kInterfaceDescriptionBlock = 0x00000001;
constexpr std::uint32_t kObsoletePacketBlock = 0x00000002;
constexpr std::uint32_t kSimplePacketBlock = 0x00000003;
constexpr std::uint32_t kEnhancedPacketBlock = 0x00000006;
constexpr Bytes4 kByteOrderBig{0x1A, 0x2B, 0x3C, 0x4D};
constexpr Bytes4 kByteOrderLittle{0x4D, 0x3C, 0x2B, 0x1A};
constexpr std::uint16_t kPcapngMajorVersion = 1;
// Type and length before the body, the length again after it.
constexpr std::size_t kBlockHeaderLength = 8;
constexpr std::size_t kBlockFrameLength = 12;
// The Section Header's fixed part: frame, byte-order magic, versions, section length.
constexpr std::size_t kSectionHeaderMinimum = kBlockFrameLength + 16;
// libpcap's bound on one block: a sane writer stays far below it.
constexpr std::uint32_t kMaxBlockLength = 16 * 1024 * 1024;

bool Is(std::span<const std::uint8_t> bytes, const Bytes4& value) {
  return bytes.size() >= value.size() && std::equal(value.begin(), value.end(), bytes.begin());
}

std::optional<std::uint32_t> ReadU32(ByteCursor& cursor, bool bigEndian) {
  const auto bytes = cursor.Take(4);
  if (!bytes) return std::nullopt;
  const std::uint32_t b0 = (*bytes)[0], b1 = (*bytes)[1], b2 = (*bytes)[2], b3 = (*bytes)[3];
  return bigEndian ? (b0 << 24 | b1 << 16 | b2 << 8 | b3) : (b3 << 24 | b2 << 16 | b1 << 8 | b0);
}

std::optional<std::uint16_t> ReadU16(ByteCursor& cursor, bool bigEndian) {
  const auto bytes = cursor.Take(2);
  if (!bytes) return std::nullopt;
  const auto first = (*bytes)[0];
  const auto second = (*bytes)[1];
  return static_cast<std::uint16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
}

}  // namespace

std::optional<std::span<const std::uint8_t>> CaptureFileReader::Next() {
  if (!error_.empty()) return std::nullopt;
  if (format_ == Format::Unknown && !ReadFileHeader()) return std::nullopt;
  std::span<const std::uint8_t> frame;
  const bool read = format_ == Format::Pcap ? NextPcapRecord(frame) : NextPcapngPacket(frame);
  if (!read) return std::nullopt;
  return frame;
}

CaptureFileReader::Fill CaptureFileReader::ReadInto(std::size_t offset, std::size_t count) {
  if (count == 0) return Fill::Full;
  in_.read(reinterpret_cast<char*>(buffer_.data() + offset), static_cast<std::streamsize>(count));
  const auto got = static_cast<std::size_t>(in_.gcount());
  if (got == count) return Fill::Full;
  return got == 0 ? Fill::Empty : Fill::Short;
}

bool CaptureFileReader::Fail(const char* why) {
  error_ = why;
  return false;
}

bool CaptureFileReader::ReadFileHeader() {
  buffer_.resize(kPcapFileHeaderLength);
  if (ReadInto(0, 4) != Fill::Full) return Fail(error::kTruncated);
  const std::span<const std::uint8_t> magic(buffer_.data(), 4);
  ByteCursor type(magic);
  if (ReadU32(type, false) == kSectionHeaderBlock) {
    format_ = Format::Pcapng;
    return ReadPcapngBlock(/*typeRead=*/true) && StartSection(BlockBody());
  }
  if (Is(magic, kPcapMicroBig) || Is(magic, kPcapNanoBig)) {
    bigEndian_ = true;
  } else if (Is(magic, kPcapMicroLittle) || Is(magic, kPcapNanoLittle)) {
    bigEndian_ = false;
  } else {
    return Fail(error::kUnknownFormat);
  }
  if (ReadInto(4, kPcapFileHeaderLength - 4) != Fill::Full) return Fail(error::kTruncated);
  ByteCursor header(std::span<const std::uint8_t>(buffer_).subspan(4));
  if (ReadU16(header, bigEndian_) != kPcapMajorVersion) return Fail(error::kUnsupportedVersion);
  format_ = Format::Pcap;
  return true;
}

bool CaptureFileReader::NextPcapRecord(std::span<const std::uint8_t>& frame) {
  buffer_.resize(kPcapRecordHeaderLength);
  const Fill fill = ReadInto(0, kPcapRecordHeaderLength);
  if (fill == Fill::Empty) return false;
  if (fill == Fill::Short) return Fail(error::kTruncated);
  ByteCursor header(buffer_);
  static_cast<void>(header.Take(8));  // time stamp
  const std::uint32_t captured = ReadU32(header, bigEndian_).value_or(0);
  if (captured > kMaxCapturedFrame) return Fail(error::kFrameTooLong);
  buffer_.resize(kPcapRecordHeaderLength + captured);
  if (ReadInto(kPcapRecordHeaderLength, captured) != Fill::Full) return Fail(error::kTruncated);
  frame = std::span<const std::uint8_t>(buffer_).subspan(kPcapRecordHeaderLength);
  return true;
}

bool CaptureFileReader::NextPcapngPacket(std::span<const std::uint8_t>& frame) {
  for (;;) {
    if (!ReadPcapngBlock(/*typeRead=*/false)) return false;
    const std::span<const std::uint8_t> body = BlockBody();
    switch (blockType_) {
      case kSectionHeaderBlock:
        if (!StartSection(body)) return false;
        break;
      case kInterfaceDescriptionBlock:
        if (!DeclareInterface(body)) return false;
        break;
      case kEnhancedPacketBlock:
      case kSimplePacketBlock:
      case kObsoletePacketBlock: return PacketOf(body, frame);
      default: break;  // statistics, name resolution, custom and unknown blocks
    }
  }
}

bool CaptureFileReader::ReadPcapngBlock(bool typeRead) {
  buffer_.resize(kBlockFrameLength);
  if (!typeRead) {
    const Fill fill = ReadInto(0, 4);
    if (fill == Fill::Empty) return false;
    if (fill == Fill::Short) return Fail(error::kTruncated);
  }
  if (ReadInto(4, 4) != Fill::Full) return Fail(error::kTruncated);
  std::size_t alreadyRead = kBlockHeaderLength;
  ByteCursor type(std::span<const std::uint8_t>(buffer_).first(4));
  blockType_ = ReadU32(type, bigEndian_).value_or(0);
  if (blockType_ == kSectionHeaderBlock) {
    // A section states its own byte order right after the length.
    if (ReadInto(kBlockHeaderLength, 4) != Fill::Full) return Fail(error::kTruncated);
    const auto order = std::span<const std::uint8_t>(buffer_).subspan(kBlockHeaderLength, 4);
    if (Is(order, kByteOrderBig)) {
      bigEndian_ = true;
    } else if (Is(order, kByteOrderLittle)) {
      bigEndian_ = false;
    } else {
      return Fail(typeRead ? error::kUnknownFormat : error::kInvalidBlock);
    }
    alreadyRead += 4;
  }
  ByteCursor lengthField(std::span<const std::uint8_t>(buffer_).subspan(4, 4));
  const std::uint32_t length = ReadU32(lengthField, bigEndian_).value_or(0);
  const std::size_t minimum =
      blockType_ == kSectionHeaderBlock ? kSectionHeaderMinimum : kBlockFrameLength;
  if (length < minimum || length % 4 != 0 || length > kMaxBlockLength) {
    return Fail(error::kInvalidBlock);
  }
  buffer_.resize(length);
  if (ReadInto(alreadyRead, length - alreadyRead) != Fill::Full) return Fail(error::kTruncated);
  ByteCursor trailer(std::span<const std::uint8_t>(buffer_).last(4));
  if (ReadU32(trailer, bigEndian_) != length) return Fail(error::kInvalidBlock);
  return true;
}

std::span<const std::uint8_t> CaptureFileReader::BlockBody() const {
  return std::span<const std::uint8_t>(buffer_).subspan(kBlockHeaderLength,
                                                        buffer_.size() - kBlockFrameLength);
}

bool CaptureFileReader::StartSection(std::span<const std::uint8_t> body) {
  ByteCursor cursor(body);
  static_cast<void>(cursor.Take(4));  // byte-order magic, read with the block
  if (ReadU16(cursor, bigEndian_) != kPcapngMajorVersion) return Fail(error::kUnsupportedVersion);
  // Interface numbers count from zero again in every section.
  snapshotLengths_.clear();
  return true;
}

bool CaptureFileReader::DeclareInterface(std::span<const std::uint8_t> body) {
  ByteCursor cursor(body);
  static_cast<void>(cursor.Take(4));  // link type, reserved
  const auto snapshotLength = ReadU32(cursor, bigEndian_);
  if (!snapshotLength) return Fail(error::kInvalidBlock);
  snapshotLengths_.push_back(*snapshotLength);
  return true;
}

bool CaptureFileReader::PacketOf(std::span<const std::uint8_t> body,
                                 std::span<const std::uint8_t>& frame) {
  ByteCursor cursor(body);
  std::optional<std::uint32_t> interfaceId;
  std::optional<std::size_t> captured;
  if (blockType_ == kSimplePacketBlock) {
    interfaceId = 0;
    if (const auto original = ReadU32(cursor, bigEndian_)) {
      // What the block holds, at most the original length and interface 0's snapshot length.
      captured = std::min<std::size_t>(*original, cursor.Remaining());
      if (!snapshotLengths_.empty() && snapshotLengths_.front() != 0) {
        captured = std::min<std::size_t>(*captured, snapshotLengths_.front());
      }
    }
  } else {
    if (blockType_ == kEnhancedPacketBlock) {
      interfaceId = ReadU32(cursor, bigEndian_);
    } else {
      interfaceId = ReadU16(cursor, bigEndian_);
      static_cast<void>(cursor.Take(2));  // drops count
    }
    static_cast<void>(cursor.Take(8));  // time stamp
    captured = ReadU32(cursor, bigEndian_);
    static_cast<void>(cursor.Take(4));  // original length
  }
  if (!interfaceId || !captured) return Fail(error::kInvalidBlock);
  if (*interfaceId >= snapshotLengths_.size()) return Fail(error::kUndeclaredInterface);
  if (*captured > kMaxCapturedFrame) return Fail(error::kFrameTooLong);
  const auto bytes = cursor.Take(*captured);
  if (!bytes) return Fail(error::kInvalidBlock);
  frame = *bytes;
  return true;
}

std::string ReadCaptureFile(const std::filesystem::path& path,
                            const std::function<void(std::span<const std::uint8_t>)>& onFrame) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return error::kCannotOpen;
  CaptureFileReader reader(in);
  while (const auto frame = reader.Next()) onFrame(*frame);
  return reader.Error();
}

}  // namespace quilmarr
