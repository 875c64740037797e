#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "discovery/capture_worker.h"
#include "ui/dialog_messages.h"
#include "platform/text.h"

namespace quilmarr::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Status = PacketSource::ReadStatus;

struct Step {
  Status status;
  Bytes bytes;
};
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

// Plays its steps in order, then reports Error (or Timeout when `idleAtEnd`).
class ScriptedSource : public PacketSource {
 public:
  ScriptedSource(std::vector<Step> steps, bool openSucceeds = true)
      : steps_(std::move(steps)), openSucceeds_(openSucceeds) {}
  bool Open(const std::string& name) override {
    ++opens;
    openedName = name;
    return openSucceeds_;
  }
  ReadResult Read() override {
    ++reads;
    if (onRead) onRead(reads);
    if (next_ >= steps_.size()) {
      if (idleAtEnd) std::this_thread::yield();
      return {idleAtEnd ? Status::Timeout : Status::Error, {}};
    }
    const Step& step = steps_[next_++];
    return {step.status, step.bytes};
  }
  void Close() override { ++closes; }

  int opens = 0;
  int reads = 0;
  int closes = 0;
  bool idleAtEnd = false;
  std::string openedName;
  std::function<void(int)> onRead;

 private:
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  bool openSucceeds_;
};

struct Received {
  unsigned id;
  Bytes bytes;
  const std::uint8_t* data;
};

class RecordingTarget final : public MessageTarget {
 public:
  void Send(const Message& m) override {
    {
      const std::lock_guard lock(mutex_);
      received.push_back({m.id, Bytes(m.frame.begin(), m.frame.end()), m.frame.data()});
    }
    if (onSend) onSend(m);
    changed_.notify_all();
  }
  void Post(Message m) override { Send(m); }

  std::vector<unsigned> Ids() {
    const std::lock_guard lock(mutex_);
    std::vector<unsigned> ids;
    for (const auto& r : received) ids.push_back(r.id);
    return ids;
  }
  bool WaitForCount(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10),
                             [&] { return received.size() >= count; });
  }

  std::vector<Received> received;
  std::function<void(const Message&)> onSend;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
};

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
  ScriptedSource source(c.steps);
  int packets = 0;
  f.target.onSend = [&](const Message& m) {
    if (m.id == WM_CAPTURE_PACKET && ++packets == c.stopAtPacket) f.context.stopRequested = true;
  };
  EXPECT_EQ(CaptureWorker(f.context, source), c.expectedExit);
  EXPECT_EQ(f.target.Ids(), c.expectedIds);
  EXPECT_EQ(source.reads, c.expectedReads);
  EXPECT_EQ(source.opens, 1);
  EXPECT_EQ(source.closes, 1);
  EXPECT_FALSE(f.context.running);
  // Frame contents and lengths arrive unchanged, in order.
  std::size_t frame = 0;
  for (const auto& step : c.steps) {
    if (step.status != Status::Frame || frame >= f.target.received.size()) continue;
    if (f.target.received[frame].id != WM_CAPTURE_PACKET) break;
    EXPECT_EQ(f.target.received[frame].bytes, step.bytes) << "frame " << frame;
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
  ScriptedSource source(steps);
  EXPECT_EQ(CaptureWorker(f.context, source), -1);
  EXPECT_EQ(source.reads, static_cast<int>(steps.size()));
  const std::vector<Bytes> expected{steps[1].bytes, steps[5].bytes, steps[10].bytes,
                                    steps[11].bytes};
  ASSERT_EQ(f.target.Ids(), (std::vector<unsigned>{P, P, P, P, R}));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(f.target.received[i].bytes, expected[i]) << "packet " << i;
  }
}

TEST(Worker, StopRequestedWhileOnlyDroppedFramesArriveStillEndsTheLoop) {
  Fixture f;
  const Step goose =
      RawFrame(WithHeader({0x01, 0x0C, 0xCD, 0x01, 0x00, 0x01, 2, 0, 0, 0, 0, 1, 0x88, 0xB8}, 200));
  ScriptedSource source(std::vector<Step>(10, goose));
  source.onRead = [&](int read) {
    if (read == 3) f.context.stopRequested = true;
  };
  EXPECT_EQ(CaptureWorker(f.context, source), 0);
  EXPECT_EQ(source.reads, 3);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{S});
}

TEST(Worker, StopRequestedBeforeTheFirstReadStillOpensClosesAndReportsStopped) {
  Fixture f;
  f.context.stopRequested = true;
  ScriptedSource source({FrameOf(60, 1)});
  EXPECT_EQ(CaptureWorker(f.context, source), 0);
  EXPECT_EQ(source.reads, 0);
  EXPECT_EQ(source.closes, 1);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{S});
  EXPECT_FALSE(f.context.running);
}

TEST(Worker, ReadFailureAfterAStopRequestReportsStoppedWithExitMinusOne) {
  Fixture f;
  ScriptedSource source({kError});
  source.onRead = [&](int) { f.context.stopRequested = true; };
  EXPECT_EQ(CaptureWorker(f.context, source), -1);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{S});
}

TEST(Worker, FailedOpenSendsOneOpenFailedAndClearsRunning) {
  Fixture f;
  ScriptedSource source({FrameOf(60, 1)}, /*openSucceeds=*/false);
  EXPECT_EQ(CaptureWorker(f.context, source), -1);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{WM_CAPTURE_OPEN_FAILED});
  EXPECT_FALSE(f.context.running);
  EXPECT_EQ(source.reads, 0);
  EXPECT_EQ(source.closes, 0);
  // The device name is opened in the platform's narrow text (UTF-8 here,
  // the ANSI code page on Windows).
  EXPECT_EQ(source.openedName, NarrowForPlatform(u"eth-\u00e9").value());
}

TEST(Worker, NameThatCannotBeNarrowedFailsWithoutOpening) {
  Fixture f;
  f.context.adapterName = std::u16string(1, char16_t{0xD800});
  ScriptedSource source({FrameOf(60, 1)});
  EXPECT_EQ(CaptureWorker(f.context, source), -1);
  EXPECT_EQ(source.opens, 0);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{WM_CAPTURE_OPEN_FAILED});
  EXPECT_FALSE(f.context.running);
}

TEST(Worker, PacketPointsAtTheSourcesBytesWithTheirLength) {
  Fixture f;
  const Bytes frame = FrameOf(1514, 0).bytes;
  class OneFrame final : public PacketSource {
   public:
    explicit OneFrame(const Bytes& b) : bytes_(b) {}
    bool Open(const std::string&) override { return true; }
    ReadResult Read() override {
      if (done_) return {};
      done_ = true;
      return {Status::Frame, bytes_};
    }
    void Close() override {}

   private:
    const Bytes& bytes_;
    bool done_ = false;
  } source(frame);
  static_cast<void>(CaptureWorker(f.context, source));
  ASSERT_EQ(f.target.received.size(), 2u);
  EXPECT_EQ(f.target.received[0].data, frame.data());
  EXPECT_EQ(f.target.received[0].bytes.size(), 1514u);
}

TEST(WorkerThread, DestructorStopsAnIdleWorkerWhichReportsStoppedAndFreesItsSource) {
  Fixture f;
  bool sourceFreed = false;
  {
    struct Tracked final : ScriptedSource {
      bool* freed;
      explicit Tracked(bool* flag) : ScriptedSource({}), freed(flag) { idleAtEnd = true; }
      ~Tracked() override { *freed = true; }
    };
    CaptureWorkerThread worker;
    worker.Start(f.context, std::make_unique<Tracked>(&sourceFreed));
    EXPECT_TRUE(worker.IsAlive());
  }
  EXPECT_TRUE(sourceFreed);
  EXPECT_TRUE(f.context.stopRequested);
  EXPECT_FALSE(f.context.running);
  EXPECT_EQ(f.target.Ids(), std::vector<unsigned>{S});
}

// A read on a silent adapter whose library never times out: it returns only
// when interrupted (or, so that a missing interrupt fails rather than hangs,
// after a long while).
class SilentAdapterSource final : public PacketSource {
 public:
  bool Open(const std::string&) override { return true; }
  ReadResult Read() override {
    std::unique_lock lock(mutex_);
    reading_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::seconds(20), [&] { return interrupted_; });
    interrupted_ = false;
    return {Status::Timeout, {}};
  }
  void Close() override {}
  void Interrupt() noexcept override {
    const std::lock_guard lock(mutex_);
    interrupted_ = true;
    changed_.notify_all();
  }
  bool WaitUntilReading() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return reading_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool reading_ = false;
  bool interrupted_ = false;
};

TEST(WorkerThread, RequestStopWakesAReadBlockedOnASilentAdapter) {
  Fixture f;
  CaptureWorkerThread worker;
  auto source = std::make_unique<SilentAdapterSource>();
  SilentAdapterSource& reader = *source;
  worker.Start(f.context, std::move(source));
  ASSERT_TRUE(reader.WaitUntilReading());

  const auto stopAt = std::chrono::steady_clock::now();
  worker.RequestStop();
  ASSERT_TRUE(f.target.WaitForCount(1));
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
  struct CountingSource final : ScriptedSource {
    std::atomic<int>& interrupts;
    explicit CountingSource(std::atomic<int>& counter) : ScriptedSource({}), interrupts(counter) {}
    void Interrupt() noexcept override { ++interrupts; }
  };
  std::atomic<int> interrupts{0};
  for (int run = 0; run < 200; ++run) {
    Fixture f;
    CaptureWorkerThread worker;
    worker.Start(f.context, std::make_unique<CountingSource>(interrupts));
    while (worker.IsAlive()) worker.RequestStop();
    worker.Join();
    ASSERT_EQ(f.target.received.size(), 1u);
  }
  SUCCEED() << interrupts.load() << " interrupts reached a live source";
}

TEST(WorkerThread, CanBeStartedAgainAfterTheWorkerEnded) {
  Fixture f;
  CaptureWorkerThread worker;
  worker.Start(f.context, std::make_unique<ScriptedSource>(std::vector<Step>{FrameOf(60, 1)}));
  ASSERT_TRUE(f.target.WaitForCount(2));  // packet, then the read failure at the script's end
  worker.Join();
  EXPECT_FALSE(worker.IsAlive());

  f.context.running = true;
  worker.Start(f.context, std::make_unique<ScriptedSource>(std::vector<Step>{}, false));
  ASSERT_TRUE(f.target.WaitForCount(3));
  worker.Join();
  EXPECT_EQ(f.target.Ids(), (std::vector<unsigned>{P, R, WM_CAPTURE_OPEN_FAILED}));
}

}  // namespace
}  // namespace quilmarr::test
