#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "discovery/capture_worker.h"
#include "session/worker_messages.h"
#include "platform/text.h"
#include "tests/support/recording_target.h"
#include "tests/support/scripted_capture.h"

namespace quilmarr::test {
namespace {

using Status = PacketSource::ReadStatus;
using Step = CaptureStep;

// A frame of `size` bytes (at least 14) that passes the LLDP header checks.
Step FrameOf(std::size_t size, std::uint8_t fill, std::uint8_t lastAddressByte = 0x0E) {
  Bytes bytes(size, fill);
  const std::uint8_t header[] = {0x01, 0x80, 0xC2, 0x00, 0x00, lastAddressByte};
  std::copy(std::begin(header), std::end(header), bytes.begin());
  bytes[12] = 0x88;
  bytes[13] = 0xCC;
  return {Status::Frame, bytes};
}
Step RawFrame(Bytes bytes) { return {Status::Frame, std::move(bytes)}; }
const Step kTimeout{Status::Timeout, {}};
const Step kError{Status::Error, {}};

// Plays its steps in order, then fails every read.
std::shared_ptr<CaptureScript> Script(std::vector<Step> steps, bool opens = true) {
  auto script = std::make_shared<CaptureScript>();
  script->Push(std::move(steps));
  script->opens = opens;
  script->failWhenIdle = true;
  return script;
}

struct Fixture {
  RecordingTarget target;
  WindowMessageSink sink{target};
  CaptureContext context;
  Fixture() {
    context.sink = &sink;
    context.running = true;
    context.adapterName = u"eth-\u00e9";
    context.stopRequested = false;
  }
};

struct SequenceCase {
  const char* title;
  std::vector<Step> steps;
  int stopAtPacket;  // the target sets stopRequested while handling this packet; 0: never
  std::vector<unsigned> expectedIds;
  int expectedExit;
  int expectedReads;
};

class WorkerSequenceTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(WorkerSequenceTest, SendsFramesInOrderAndOneEndMessage) {
  const auto& c = GetParam();
  Fixture f;
  const auto script = Script(c.steps);
  ScriptedPacketSource source(script);
  int packets = 0;
  f.target.SetHandler([&](const Message& m) {
    if (m.id == WM_CAPTURE_PACKET && ++packets == c.stopAtPacket) f.context.stopRequested = true;
  });
  EXPECT_EQ(CaptureWorker(f.context, source), c.expectedExit);
  EXPECT_EQ(f.target.Ids(), c.expectedIds);
  EXPECT_EQ(script->reads.load(), c.expectedReads);
  EXPECT_EQ(script->Opened().size(), 1u);
  EXPECT_EQ(script->closes.load(), 1);
  EXPECT_FALSE(f.context.running);
  // Frame contents and lengths arrive unchanged, in order.
  const auto received = f.target.Messages();
  std::size_t frame = 0;
  for (const auto& step : c.steps) {
    if (step.status != Status::Frame || frame >= received.size()) continue;
    if (received[frame].id != WM_CAPTURE_PACKET) break;
    EXPECT_EQ(received[frame].frame, step.frame) << "frame " << frame;
    ++frame;
  }
}

constexpr unsigned P = WM_CAPTURE_PACKET;
constexpr unsigned S = WM_CAPTURE_STOPPED;
constexpr unsigned R = WM_CAPTURE_READ_FAILED;

INSTANTIATE_TEST_SUITE_P(
    Worker, WorkerSequenceTest,
    ::testing::Values(
        SequenceCase{"TimeoutsAreSkippedAndReadErrorReported",
                     {kTimeout, FrameOf(60, 1), kTimeout, kTimeout, FrameOf(1514, 2), kError},
                     0,
                     {P, P, R},
                     -1,
                     6},
        SequenceCase{"StopDuringAFrameEndsWithoutAnotherRead",
                     {FrameOf(64, 1), FrameOf(70, 2), FrameOf(80, 3)},
                     2,
                     {P, P, S},
                     0,
                     2},
        SequenceCase{"StopOnTheOnlyFrame", {FrameOf(14, 9)}, 1, {P, S}, 0, 1},
        SequenceCase{"ReadErrorAtOnce", {kError}, 0, {R}, -1, 1},
        SequenceCase{"HeaderOnlyFrameIsStillAPacket", {FrameOf(14, 0), kError}, 0, {P, R}, -1, 2}),
    [](const auto& testInfo) { return std::string(testInfo.param.title); });

Bytes WithHeader(std::vector<std::uint8_t> header, std::size_t size) {
  header.resize(std::max(size, header.size()), 0x5A);
  return header;
}

// Frames the decoder rejects on its destination address or EtherType never
// cross to the dialog; the others arrive whole and in their order.
TEST(Worker, OnlyFramesPassingTheHeaderChecksAreSentInArrivalOrder) {
  const std::vector<Step> steps{
      RawFrame(WithHeader({0x01, 0x0C, 0xCD, 0x01, 0x00, 0x01, 2, 0, 0, 0, 0, 1, 0x88, 0xB8}, 200)),
      FrameOf(60, 1, 0x0E),
      RawFrame(WithHeader({0x01, 0x80, 0xC2, 0x00, 0x00, 0x0E, 2, 0, 0, 0, 0, 1, 0x08, 0x00}, 60)),
      RawFrame(WithHeader({0x01, 0x80, 0xC2, 0x00, 0x00, 0x02, 2, 0, 0, 0, 0, 1, 0x88, 0xCC}, 60)),
      kTimeout,
      FrameOf(61, 2, 0x03),
      RawFrame(WithHeader({0x02, 0x80, 0xC2, 0x00, 0x00, 0x0E, 2, 0, 0, 0, 0, 1, 0x88, 0xCC}, 60)),
      RawFrame(WithHeader({0x01, 0x80, 0xC2, 0x00, 0x00, 0x0E, 2, 0, 0, 0, 0, 1, 0x81, 0x00}, 64)),
      RawFrame(WithHeader({0x01, 0x80, 0xC2, 0x00, 0x00, 0x0E, 2, 0, 0, 0, 0, 1, 0x88}, 13)),
      RawFrame({}),
      FrameOf(62, 3, 0x00),
      FrameOf(1514, 4, 0x0E),
      kError};
  Fixture f;
  const auto script = Script(steps);
  ScriptedPacketSource source(script);
  EXPECT_EQ(CaptureWorker(f.context, source), -1);
  EXPECT_EQ(script->reads.load(), static_cast<int>(steps.size()));
  const std::vector<Bytes> expected{steps[1].frame, steps[5].frame, steps[10].frame,
                                    steps[11].frame};
  ASSERT_EQ(f.target.Ids(), (std::vector<unsigned>{P, P, P, P, R}));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(f.target.Messages()[i].frame, expected[i]) << "packet " << i;
  }
}

TEST(Worker, StopRequestedWhileOnlyDroppedFramesArriveStillEndsTheLoop) {
  Fixture f;
  const Step goose =
      RawFrame(WithHeader({0x01, 0x0C, 0xCD, 0x01, 0x00, 0x01, 2, 0, 0, 0, 0, 1, 0x88, 0xB8}, 200));
  const auto script = Script(std::vector<Step>(10, goose));
  script->onRead = [&](int read) {
    if (read == 3) f.context.stopRequested = true;
  };
  ScriptedPacketSource source(script);
  EXPECT_EQ(CaptureWorker(f.context, source), 0);
  EXPECT_EQ(script->reads.load(), 3);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{S});
}

TEST(Worker, StopRequestedBeforeTheFirstReadStillOpensClosesAndReportsStopped) {
  Fixture f;
  f.context.stopRequested = true;
  const auto script = Script({FrameOf(60, 1)});
  ScriptedPacketSource source(script);
  EXPECT_EQ(CaptureWorker(f.context, source), 0);
  EXPECT_EQ(script->reads.load(), 0);
  EXPECT_EQ(script->closes.load(), 1);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{S});
  EXPECT_FALSE(f.context.running);
}

TEST(Worker, ReadFailureAfterAStopRequestReportsStoppedWithExitMinusOne) {
  Fixture f;
  const auto script = Script({kError});
  script->onRead = [&](int) { f.context.stopRequested = true; };
  ScriptedPacketSource source(script);
  EXPECT_EQ(CaptureWorker(f.context, source), -1);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{S});
}

TEST(Worker, FailedOpenSendsOneOpenFailedAndClearsRunning) {
  Fixture f;
  const auto script = Script({FrameOf(60, 1)}, /*opens=*/false);
  ScriptedPacketSource source(script);
  EXPECT_EQ(CaptureWorker(f.context, source), -1);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{WM_CAPTURE_OPEN_FAILED});
  EXPECT_FALSE(f.context.running);
  EXPECT_EQ(script->reads.load(), 0);
  EXPECT_EQ(script->closes.load(), 0);
  // The device name is opened in the platform's narrow text (UTF-8 here,
  // the ANSI code page on Windows).
  EXPECT_EQ(script->Opened(), std::vector{NarrowForPlatform(u"eth-\u00e9").value()});
}

TEST(Worker, NameThatCannotBeNarrowedFailsWithoutOpening) {
  Fixture f;
  f.context.adapterName = std::u16string(1, char16_t{0xD800});
  const auto script = Script({FrameOf(60, 1)});
  ScriptedPacketSource source(script);
  EXPECT_EQ(CaptureWorker(f.context, source), -1);
  EXPECT_TRUE(script->Opened().empty());
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{WM_CAPTURE_OPEN_FAILED});
  EXPECT_FALSE(f.context.running);
}

TEST(Worker, PacketPointsAtTheSourcesBytesWithTheirLength) {
  Fixture f;
  Bytes frame = FrameOf(1514, 0).frame;
  const std::uint8_t* bytes = frame.data();
  const auto script = Script({});
  script->Push(std::move(frame));
  ScriptedPacketSource source(script);
  static_cast<void>(CaptureWorker(f.context, source));
  const auto received = f.target.Messages();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].frameData, bytes);
  EXPECT_EQ(received[0].frame.size(), 1514u);
}

// Hands its frames over in scripted batches, as a live capture reads a ring:
// each batch is one ReadBatch call. After the last batch it reports `atEnd`.
class BatchSource final : public PacketSource {
 public:
  BatchSource(std::vector<std::vector<Bytes>> batches, Status atEnd)
      : batches_(std::move(batches)), atEnd_(atEnd) {}
  bool Open(const std::string&) override { return true; }
  ReadResult Read() override {
    ADD_FAILURE() << "a source that reads batches is read by batch";
    return {};
  }
  ReadStatus ReadBatch(const FrameHandler& onFrame) override {
    ++batchReads;
    if (next_ >= batches_.size()) return atEnd_;
    const auto& batch = batches_[next_++];
    for (const Bytes& frame : batch) {
      ++handedOver;
      if (!onFrame(frame)) break;
    }
    return batch.empty() ? Status::Timeout : Status::Frame;
  }
  void Close() override { ++closes; }

  int batchReads = 0;
  int handedOver = 0;
  int closes = 0;

 private:
  std::vector<std::vector<Bytes>> batches_;
  std::size_t next_ = 0;
  Status atEnd_;
};

const Bytes kGoose =
    WithHeader({0x01, 0x0C, 0xCD, 0x01, 0x00, 0x01, 2, 0, 0, 0, 0, 1, 0x88, 0xB8}, 200);

TEST(WorkerBatches, LldpFramesOfEveryBatchAreSentInArrivalOrder) {
  const Bytes a = FrameOf(60, 1).frame, b = FrameOf(61, 2).frame, c = FrameOf(1514, 3).frame;
  Fixture f;
  BatchSource source({{kGoose, a, kGoose, kGoose, b}, {kGoose}, {}, {c, kGoose}}, Status::Error);
  EXPECT_EQ(CaptureWorker(f.context, source), -1);
  ASSERT_EQ(f.target.Ids(), (std::vector<unsigned>{P, P, P, R}));
  const auto frames = f.target.Frames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0], a);
  EXPECT_EQ(frames[1], b);
  EXPECT_EQ(frames[2], c);
  EXPECT_EQ(source.handedOver, 8);
  EXPECT_EQ(source.closes, 1);
}

// A stop set while the dialog handles a frame ends the batch after that frame:
// the rest of the batch is neither handed over nor sent, and nothing more is read.
TEST(WorkerBatches, StopDuringAFrameEndsTheBatchAfterThatFrame) {
  Fixture f;
  int packets = 0;
  f.target.SetHandler([&](const Message& m) {
    if (m.id == P && ++packets == 2) f.context.stopRequested = true;
  });
  BatchSource source(
      {{FrameOf(60, 1).frame, kGoose, FrameOf(60, 2).frame, kGoose, FrameOf(60, 3).frame},
       {FrameOf(60, 4).frame}},
      Status::Timeout);
  EXPECT_EQ(CaptureWorker(f.context, source), 0);
  EXPECT_EQ(f.target.Ids(), (std::vector<unsigned>{P, P, S}));
  EXPECT_EQ(source.handedOver, 3);
  EXPECT_EQ(source.batchReads, 1);
  EXPECT_FALSE(f.context.running);
}

// The dialog may set the flag at any moment; a batch of dropped frames ends at the next frame.
TEST(WorkerBatches, StopSetWhileDroppedFramesAreHandedOverEndsTheBatch) {
  Fixture f;
  class StoppingSource final : public PacketSource {
   public:
    explicit StoppingSource(CaptureContext& context) : context_(context) {}
    bool Open(const std::string&) override { return true; }
    ReadResult Read() override { return {}; }
    ReadStatus ReadBatch(const FrameHandler& onFrame) override {
      ++batchReads;
      for (int k = 0; k < 100; ++k) {
        if (k == 10) context_.stopRequested = true;
        ++handedOver;
        if (!onFrame(kGoose)) break;
      }
      return Status::Frame;
    }
    void Close() override {}
    int batchReads = 0;
    int handedOver = 0;

   private:
    CaptureContext& context_;
  } source(f.context);
  EXPECT_EQ(CaptureWorker(f.context, source), 0);
  EXPECT_EQ(source.handedOver, 11);
  EXPECT_EQ(source.batchReads, 1);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{S});
}

TEST(WorkerThread, DestructorStopsAnIdleWorkerWhichReportsStoppedAndFreesItsSource) {
  Fixture f;
  const auto idle = std::make_shared<CaptureScript>();
  {
    CaptureWorkerThread worker;
    worker.Start(f.context, std::make_unique<ScriptedPacketSource>(idle));
    EXPECT_TRUE(worker.IsAlive());
  }
  EXPECT_EQ(idle->freed.load(), 1);
  EXPECT_TRUE(f.context.stopRequested);
  EXPECT_FALSE(f.context.running);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{S});
}

TEST(WorkerThread, RequestStopWakesAReadBlockedOnASilentAdapter) {
  Fixture f;
  // A library whose read never times out on a silent adapter: the read
  // returns only when interrupted (or, so that a missing interrupt fails
  // rather than hangs, after a long while).
  const auto silent = std::make_shared<CaptureScript>();
  silent->readTimeoutMs = 20'000;
  CaptureWorkerThread worker;
  worker.Start(f.context, std::make_unique<ScriptedPacketSource>(silent));
  ASSERT_TRUE(silent->WaitUntilIdle(std::chrono::seconds(10)));

  const auto stopAt = std::chrono::steady_clock::now();
  worker.RequestStop();
  ASSERT_TRUE(f.target.WaitForCount(1, std::chrono::seconds(10)));
  EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::seconds(5));
  worker.Join();
  EXPECT_TRUE(f.context.stopRequested);
  EXPECT_FALSE(f.context.running);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{S});
}

TEST(WorkerThread, RequestStopBeforeAnyStartDoesNothing) {
  CaptureWorkerThread worker;
  worker.RequestStop();
  EXPECT_FALSE(worker.IsAlive());
}

// The worker frees its source when it ends on its own; a stop request at that
// moment must never reach the freed source (the sanitizer builds check).
TEST(WorkerThread, RequestStopWhileTheWorkerEndsOnItsOwnIsSafe) {
  const auto failing = Script({});
  for (int run = 0; run < 200; ++run) {
    Fixture f;
    CaptureWorkerThread worker;
    worker.Start(f.context, std::make_unique<ScriptedPacketSource>(failing));
    while (worker.IsAlive()) worker.RequestStop();
    worker.Join();
    ASSERT_EQ(f.target.Messages().size(), 1u);
  }
  SUCCEED() << failing->interrupts.load() << " interrupts reached a live source";
}

TEST(WorkerThread, CanBeStartedAgainAfterTheWorkerEnded) {
  Fixture f;
  CaptureWorkerThread worker;
  worker.Start(f.context, std::make_unique<ScriptedPacketSource>(Script({FrameOf(60, 1)})));
  // The packet, then the read failure at the script's end.
  ASSERT_TRUE(f.target.WaitForCount(2, std::chrono::seconds(10)));
  worker.Join();
  EXPECT_FALSE(worker.IsAlive());

  f.context.running = true;
  worker.Start(f.context, std::make_unique<ScriptedPacketSource>(Script({}, false)));
  ASSERT_TRUE(f.target.WaitForCount(3, std::chrono::seconds(10)));
  worker.Join();
  EXPECT_EQ(f.target.Ids(), (std::vector<unsigned>{P, R, WM_CAPTURE_OPEN_FAILED}));
}

}  // namespace
}  // namespace quilmarr::test
