// Saved captures written here byte by byte, in both byte orders: what the
// reader hands out, the faults it names, and every truncated prefix.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "discovery/capture_file.h"
#include "tests/support/temp_folder.h"

namespace quilmarr::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace error = capture_file_error;

class Writer {
 public:
  explicit Writer(bool bigEndian) : big_(bigEndian) {}
  Writer& U16(std::uint32_t v) { return Put(v, 2); }
  Writer& U32(std::uint32_t v) { return Put(v, 4); }
  Writer& Raw(const Bytes& bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  Writer& Pad() {
    while (out_.size() % 4 != 0) out_.push_back(0);
    return *this;
  }
  [[nodiscard]] const Bytes& Out() const { return out_; }

 private:
  Writer& Put(std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = 8 * (big_ ? bytes - 1 - i : i);
      out_.push_back(static_cast<std::uint8_t>(v >> shift));
    }
    return *this;
  }
  bool big_;
  Bytes out_;
};

Bytes Frame(std::size_t size, std::uint8_t fill) {
  Bytes frame(size, fill);
  for (std::size_t i = 0; i < size; i += 7) frame[i] = static_cast<std::uint8_t>(i);
  return frame;
}

// Classic pcap; `boundaries` gets the offset after the header and each record.
Bytes ClassicPcap(bool big, bool nano, const std::vector<Bytes>& frames,
                  std::set<std::size_t>* boundaries = nullptr, std::uint32_t major = 2) {
  Writer w(big);
  w.U32(nano ? 0xA1B23C4D : 0xA1B2C3D4).U16(major).U16(4).U32(0).U32(0).U32(65535).U32(1);
  if (boundaries) boundaries->insert(w.Out().size());
  std::uint32_t second = 1'700'000'000;
  for (const Bytes& frame : frames) {
    const auto length = static_cast<std::uint32_t>(frame.size());
    w.U32(second++).U32(nano ? 999'999'999 : 999'999).U32(length).U32(length).Raw(frame);
    if (boundaries) boundaries->insert(w.Out().size());
  }
  return w.Out();
}

// pcapng blocks: type, total length, body padded to 32 bits, total length.
Bytes Block(bool big, std::uint32_t type, const Bytes& body) {
  Writer padded(big);
  padded.Raw(body).Pad();
  const auto length = static_cast<std::uint32_t>(padded.Out().size() + 12);
  Writer w(big);
  w.U32(type).U32(length).Raw(padded.Out()).U32(length);
  return w.Out();
}
Bytes SectionHeader(bool big, std::uint32_t major = 1) {
  Writer w(big);
  w.U32(0x1A2B3C4D).U16(major).U16(0).U32(0xFFFFFFFF).U32(0xFFFFFFFF);
  return Block(big, 0x0A0D0D0A, w.Out());
}
Bytes InterfaceDescription(bool big, std::uint32_t snapshotLength) {
  Writer w(big);
  w.U16(1).U16(0).U32(snapshotLength);
  return Block(big, 1, w.Out());
}
Bytes EnhancedPacket(bool big, std::uint32_t interfaceId, const Bytes& frame) {
  const auto length = static_cast<std::uint32_t>(frame.size());
  Writer w(big);
  w.U32(interfaceId).U32(0x0005F000).U32(0x12345678).U32(length).U32(length).Raw(frame);
  return Block(big, 6, w.Out());
}
Bytes SimplePacket(bool big, const Bytes& frame) {
  Writer w(big);
  w.U32(static_cast<std::uint32_t>(frame.size())).Raw(frame);
  return Block(big, 3, w.Out());
}
Bytes ObsoletePacket(bool big, std::uint16_t interfaceId, const Bytes& frame) {
  const auto length = static_cast<std::uint32_t>(frame.size());
  Writer w(big);
  w.U16(interfaceId).U16(0).U32(0).U32(1).U32(length).U32(length).Raw(frame);
  return Block(big, 2, w.Out());
}
Bytes Cat(std::initializer_list<Bytes> parts, std::set<std::size_t>* boundaries = nullptr) {
  Bytes out;
  for (const Bytes& part : parts) {
    out.insert(out.end(), part.begin(), part.end());
    if (boundaries) boundaries->insert(out.size());
  }
  return out;
}

struct Outcome {
  std::vector<Bytes> frames;
  std::string error;
};

Outcome Read(const Bytes& file) {
  std::istringstream in(std::string(file.begin(), file.end()));
  CaptureFileReader reader(in);
  Outcome outcome;
  while (const auto frame = reader.Next())
    outcome.frames.emplace_back(frame->begin(), frame->end());
  outcome.error = reader.Error();
  EXPECT_FALSE(reader.Next().has_value()) << "nothing after the end or a fault";
  return outcome;
}

TEST(CaptureFile, ClassicPcapInEitherByteOrderAndTimeResolution) {
  const std::vector<Bytes> frames{Frame(60, 1), Frame(1514, 2), Frame(0, 0), Frame(14, 3)};
  for (const bool big : {false, true}) {
    for (const bool nano : {false, true}) {
      SCOPED_TRACE(std::string(big ? "big" : "little") + (nano ? " nano" : " micro"));
      const Outcome read = Read(ClassicPcap(big, nano, frames));
      EXPECT_EQ(read.error, "");
      EXPECT_EQ(read.frames, frames);
    }
  }
}

TEST(CaptureFile, PcapngSectionsInEitherByteOrderWithEveryPacketBlock) {
  const Bytes a = Frame(60, 1), b = Frame(64, 2), c = Frame(1514, 3), d = Frame(61, 4),
              e = Frame(75, 5);
  const Bytes file = Cat({
      SectionHeader(false),
      InterfaceDescription(false, 0),
      Block(false, 4, Bytes(20, 0xEE)),  // name resolution
      EnhancedPacket(false, 0, a),
      Block(false, 0x40000BAD, Bytes(9, 0xCC)),  // custom
      SimplePacket(false, b),
      ObsoletePacket(false, 0, c),
      Block(false, 5, Bytes(24, 0)),  // interface statistics
      // A second section, big-endian, whose interfaces count from 0 again.
      SectionHeader(true),
      InterfaceDescription(true, 32),
      InterfaceDescription(true, 0),
      EnhancedPacket(true, 1, d),
      SimplePacket(true, e),
      EnhancedPacket(true, 0, e),
  });
  const Outcome read = Read(file);
  EXPECT_EQ(read.error, "");
  // A Simple Packet Block holds at most interface 0's snapshot length.
  const Bytes eCut(e.begin(), e.begin() + 32);
  EXPECT_EQ(read.frames, (std::vector<Bytes>{a, b, c, d, eCut, e}));
}

struct FaultCase {
  const char* title;
  Bytes file;
  std::size_t framesBefore;
  const char* error;
};

Bytes WithU32At(Bytes file, std::size_t offset, std::uint32_t littleEndianValue) {
  for (std::size_t i = 0; i < 4; ++i)
    file[offset + i] = static_cast<std::uint8_t>(littleEndianValue >> (8 * i));
  return file;
}

std::vector<FaultCase> FaultCases() {
  const bool le = false;
  const Bytes shb = SectionHeader(le);
  const Bytes idb = InterfaceDescription(le, 0);
  const Bytes good = EnhancedPacket(le, 0, Frame(60, 1));
  Writer tooLong(le);
  tooLong.U32(0)
      .U32(0)
      .U32(0)
      .U32(kMaxCapturedFrame + 1)
      .U32(kMaxCapturedFrame + 1)
      .Raw(Bytes(kMaxCapturedFrame + 1, 0));
  Writer capturedBeyondBlock(le);
  capturedBeyondBlock.U32(0).U32(0).U32(0).U32(100).U32(100).Raw(Bytes(60, 0));
  Writer oversizedRecord(le);
  oversizedRecord.U32(0).U32(0).U32(kMaxCapturedFrame + 1).U32(kMaxCapturedFrame + 1);
  const Bytes oneFramePcap = ClassicPcap(le, false, {Frame(60, 1)});
  return {
      {"NotACapture", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'c', 'a', 'p'}, 0, error::kUnknownFormat},
      {"EmptyFile", {}, 0, error::kTruncated},
      {"PcapVersion3", ClassicPcap(le, false, {Frame(60, 1)}, nullptr, 3), 0,
       error::kUnsupportedVersion},
      {"PcapFrameTooLong", Cat({oneFramePcap, oversizedRecord.Out()}), 1, error::kFrameTooLong},
      {"PcapngVersion2", SectionHeader(le, 2), 0, error::kUnsupportedVersion},
      {"PcapngWrongByteOrderMagic", WithU32At(shb, 8, 0x11223344), 0, error::kUnknownFormat},
      {"LaterSectionWithWrongByteOrderMagic", Cat({shb, idb, good, WithU32At(shb, 8, 0x11223344)}),
       1, error::kInvalidBlock},
      {"BlockLengthNotAMultipleOfFour", Cat({shb, idb, WithU32At(good, 4, 97)}), 0,
       error::kInvalidBlock},
      {"BlockLengthBelowTwelve", Cat({shb, idb, WithU32At(Block(le, 4, {}), 4, 8)}), 0,
       error::kInvalidBlock},
      {"BlockLengthBeyondSixteenMebibytes",
       Cat({shb, idb, WithU32At(good, 4, 16 * 1024 * 1024 + 4)}), 0, error::kInvalidBlock},
      {"TrailingLengthDiffers", Cat({shb, idb, good, WithU32At(good, good.size() - 4, 12)}), 1,
       error::kInvalidBlock},
      {"SectionHeaderTooShort",
       Block(le, 0x0A0D0D0A, Bytes{0x4D, 0x3C, 0x2B, 0x1A, 1, 0, 0, 0, 0, 0, 0, 0}), 0,
       error::kInvalidBlock},
      {"InterfaceDescriptionTooShort", Cat({shb, Block(le, 1, Bytes(4, 0))}), 0,
       error::kInvalidBlock},
      {"PacketOnAnUndeclaredInterface", Cat({shb, idb, good, EnhancedPacket(le, 1, Frame(60, 2))}),
       1, error::kUndeclaredInterface},
      {"SimplePacketBeforeAnyInterface", Cat({shb, SimplePacket(le, Frame(60, 2))}), 0,
       error::kUndeclaredInterface},
      {"InterfacesDoNotCarryIntoTheNextSection",
       Cat({shb, idb, good, shb, EnhancedPacket(le, 0, Frame(60, 2))}), 1,
       error::kUndeclaredInterface},
      {"CapturedLengthBeyondTheBlock", Cat({shb, idb, Block(le, 6, capturedBeyondBlock.Out())}), 0,
       error::kInvalidBlock},
      {"PcapngFrameTooLong", Cat({shb, idb, Block(le, 6, tooLong.Out())}), 0, error::kFrameTooLong},
  };
}

class CaptureFileFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CaptureFileFault, IsNamedAfterTheFramesBeforeIt) {
  const Outcome read = Read(GetParam().file);
  EXPECT_EQ(read.frames.size(), GetParam().framesBefore);
  EXPECT_EQ(read.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(CaptureFile, CaptureFileFault, ::testing::ValuesIn(FaultCases()),
                         [](const auto& testInfo) { return std::string(testInfo.param.title); });

// Every prefix of a good file is either a shorter good file (cut between two
// records or blocks) or rejected as truncated, after the whole frames before the cut.
void SweepPrefixes(const Bytes& file, const std::set<std::size_t>& boundaries) {
  const Outcome whole = Read(file);
  ASSERT_EQ(whole.error, "");
  for (std::size_t length = 0; length < file.size(); ++length) {
    SCOPED_TRACE(length);
    const Outcome cut =
        Read(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)));
    ASSERT_LE(cut.frames.size(), whole.frames.size());
    EXPECT_TRUE(std::equal(cut.frames.begin(), cut.frames.end(), whole.frames.begin()));
    EXPECT_EQ(cut.error, boundaries.contains(length) ? "" : error::kTruncated);
  }
}

TEST(CaptureFile, EveryTruncatedPcapIsRejectedCleanly) {
  for (const bool big : {false, true}) {
    std::set<std::size_t> boundaries;
    const Bytes file =
        ClassicPcap(big, false, {Frame(60, 1), Frame(0, 0), Frame(97, 2)}, &boundaries);
    SweepPrefixes(file, boundaries);
  }
}

TEST(CaptureFile, EveryTruncatedPcapngIsRejectedCleanly) {
  for (const bool big : {false, true}) {
    std::set<std::size_t> boundaries;
    const Bytes file = Cat({SectionHeader(big), InterfaceDescription(big, 0),
                            EnhancedPacket(big, 0, Frame(61, 1)), Block(big, 4, Bytes(8, 0)),
                            SimplePacket(big, Frame(60, 2)), ObsoletePacket(big, 0, Frame(14, 3))},
                           &boundaries);
    SweepPrefixes(file, boundaries);
  }
}

TEST(CaptureFile, FileReaderPassesTheFramesBeforeAFaultAndNamesIt) {
  const TempFolder folder;
  const auto path = folder.File("capture.pcap");
  const Bytes whole = ClassicPcap(false, true, {Frame(60, 1), Frame(70, 2)});
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(whole.data()),
              static_cast<std::streamsize>(whole.size() - 1));
  }
  std::vector<Bytes> frames;
  const std::string outcome = ReadCaptureFile(
      path, [&](std::span<const std::uint8_t> f) { frames.emplace_back(f.begin(), f.end()); });
  EXPECT_EQ(outcome, error::kTruncated);
  EXPECT_EQ(frames, std::vector<Bytes>{Frame(60, 1)});

  EXPECT_EQ(ReadCaptureFile(folder.File("no-such-capture.pcap"),
                            [](std::span<const std::uint8_t>) { ADD_FAILURE(); }),
            error::kCannotOpen);
}

}  // namespace
}  // namespace quilmarr::test
