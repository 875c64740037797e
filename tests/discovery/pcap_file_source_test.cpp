#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "discovery/capture_file.h"
#include "discovery/capture_worker.h"
#include "session/worker_messages.h"
#include "discovery/lldp_frame_view.h"
#include "discovery/pcap/pcap_packet_source.h"
#include "tests/support/recording_target.h"

namespace quilmarr::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
const std::filesystem::path kCorpus = QUILMARR_CORPUS_DIR;

// An independent reader of classic pcap files (either byte order, either time resolution).
std::vector<Bytes> ReadClassicPcap(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const bool littleEndian = file.at(0) == 0xD4 || file.at(0) == 0x4D;
  auto u32 = [&](std::size_t at) {
    const std::uint32_t b0 = file.at(at), b1 = file.at(at + 1), b2 = file.at(at + 2),
                        b3 = file.at(at + 3);
    return littleEndian ? (b3 << 24 | b2 << 16 | b1 << 8 | b0)
                        : (b0 << 24 | b1 << 16 | b2 << 8 | b3);
  };
  std::vector<Bytes> frames;
  std::size_t at = 24;
  while (at + 16 <= file.size()) {
    const std::size_t captured = u32(at + 8);
    const std::size_t onWire = u32(at + 12);
    at += 16;
    const auto begin = file.begin() + static_cast<std::ptrdiff_t>(at);
    frames.emplace_back(begin, begin + static_cast<std::ptrdiff_t>(std::min(captured, onWire)));
    at += captured;
  }
  return frames;
}

struct CaptureRun {
  int exitCode;
  RecordingTarget target;
};

void CaptureFile(const std::filesystem::path& path, CaptureRun& run) {
  WindowMessageSink sink(run.target);
  CaptureContext context;
  context.sink = &sink;
  context.running = true;
  context.adapterName = path.u16string();
  context.stopRequested = false;
  PcapFileSource source;
  run.exitCode = CaptureWorker(context, source);
  EXPECT_FALSE(context.running);
}

TEST(PcapFileSource, EveryCorpusLldpFrameArrivesInOrderWithItsLength) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
    if (entry.path().extension() != ".pcap") continue;
    ++files;
    SCOPED_TRACE(entry.path().filename().string());
    // The worker sends only frames that pass the decoder's header checks.
    auto expected = ReadClassicPcap(entry.path());
    std::erase_if(expected,
                  [](const Bytes& f) { return CheckEthernetHeader(f) != LldpRejection::None; });
    CaptureRun run;
    CaptureFile(entry.path(), run);
    // The end of the file is a failed read without a stop request.
    EXPECT_EQ(run.exitCode, -1);
    const auto ids = run.target.Ids();
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(ids.back(), WM_CAPTURE_READ_FAILED);
    EXPECT_EQ(ids.size(), expected.size() + 1);
    EXPECT_TRUE(run.target.Frames() == expected);
  }
  EXPECT_GE(files, 10);
}

TEST(PcapFileSource, PcapngIsReadToo) {
  CaptureRun run;
  CaptureFile(kCorpus / "versamax_scalance_profinet.pcapng", run);
  EXPECT_GT(run.target.Frames().size(), 100u);
  EXPECT_EQ(run.target.Ids().back(), WM_CAPTURE_READ_FAILED);
}

// The tool's own reader of saved captures and libpcap's agree on every corpus file.
TEST(PcapFileSource, AgreesWithTheToolsOwnCaptureFileReader) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
    if (entry.path().extension() != ".pcap" && entry.path().extension() != ".pcapng") continue;
    ++files;
    SCOPED_TRACE(entry.path().filename().string());
    std::vector<Bytes> byLibpcap;
    PcapFileSource source;
    ASSERT_TRUE(source.Open(entry.path().string()));
    for (auto read = source.Read(); read.status == PacketSource::ReadStatus::Frame;
         read = source.Read()) {
      byLibpcap.emplace_back(read.frame.begin(), read.frame.end());
    }
    std::vector<Bytes> byTool;
    EXPECT_EQ(ReadCaptureFile(entry.path(),
                              [&](std::span<const std::uint8_t> frame) {
                                byTool.emplace_back(frame.begin(), frame.end());
                              }),
              "");
    EXPECT_EQ(byTool.size(), byLibpcap.size());
    EXPECT_TRUE(byTool == byLibpcap);
  }
  EXPECT_GE(files, 13);
}

TEST(PcapFileSource, MissingFileIsAnOpenFailure) {
  CaptureRun run;
  CaptureFile(kCorpus / "no-such-file.pcap", run);
  EXPECT_EQ(run.exitCode, -1);
  EXPECT_EQ(run.target.Ids(), std::vector<unsigned>{WM_CAPTURE_OPEN_FAILED});
}

TEST(PcapFileSource, ReadAfterCloseIsAnError) {
  PcapFileSource source;
  ASSERT_TRUE(source.Open((kCorpus / "smc_gs8p_switch.pcap").string()));
  source.Close();
  EXPECT_EQ(source.Read().status, PacketSource::ReadStatus::Error);
}

}  // namespace
}  // namespace quilmarr::test
