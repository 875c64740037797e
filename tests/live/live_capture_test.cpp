// The capture worker on real libpcap, fed by ied-sim across a veth pair
// between two network namespaces that each test makes and removes.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>

#include "discovery/adapters.h"
#include "discovery/capture_worker.h"
#include "session/worker_messages.h"
#include "discovery/pcap/pcap_interface_lister.h"
#include "discovery/pcap/pcap_packet_source.h"
#include "inventory/device_table.h"
#include "platform/text.h"
#include "tests/support/netns_pair.h"
#include "tests/support/recording_target.h"
#include "tests/support/temp_folder.h"
#include "tests/support/child_process.h"

namespace quilmarr::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using SteadyClock = std::chrono::steady_clock;

const std::string kIedSim = IED_SIM_PATH;
const std::string kCli = QUILMARR_CLI_PATH;

const DeviceRecord* Find(const DeviceTable& table, std::u16string_view ip) {
  for (const auto& r : table) {
    if (r->ipText == ip) return r.get();
  }
  return nullptr;
}

// Tells the test when the worker has opened the adapter and entered its first read.
class ObservedSource final : public PacketSource {
 public:
  explicit ObservedSource(std::unique_ptr<PacketSource> inner) : inner_(std::move(inner)) {}
  bool Open(const std::string& name) override { return inner_->Open(name); }
  ReadResult Read() override {
    Reading();
    return inner_->Read();
  }
  ReadStatus ReadBatch(const FrameHandler& onFrame) override {
    Reading();
    return inner_->ReadBatch(onFrame);
  }
  void Close() override { inner_->Close(); }

  static inline std::mutex mutex;
  static inline std::condition_variable readingChanged;
  static inline bool reading = false;

 private:
  static void Reading() {
    {
      const std::lock_guard lock(mutex);
      reading = true;
    }
    readingChanged.notify_all();
  }

  std::unique_ptr<PacketSource> inner_;
};

class LiveCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string whyNot;
    pair_ = NetnsPair::Create(whyNot);
    if (!pair_) GTEST_SKIP() << whyNot;
    context_.sink = &sink_;
    ObservedSource::reading = false;
    // The packet pipeline runs inline on the worker's thread, as the cli runs it.
    target_.SetHandler([this](const Message& m) {
      if (m.id != WM_CAPTURE_PACKET) return;
      if (m.frame.size() == 200 && m.frame[12] == 0x88 && m.frame[13] == 0xB8) ++floodFrames_;
      ProcessCapturedFrame(m.frame, table_, clock_);
    });
  }

  // Waits until `ready` holds for the table, the end messages and the flood count.
  template <typename Predicate>
  bool WaitFor(Predicate ready, std::chrono::milliseconds limit) {
    return target_.WaitFor(
        [&](const std::vector<ReceivedMessage>& received) {
          std::vector<unsigned> endIds;
          for (const ReceivedMessage& m : received) {
            if (m.id != WM_CAPTURE_PACKET) endIds.push_back(m.id);
          }
          return ready(std::as_const(table_), std::as_const(endIds), floodFrames_);
        },
        limit);
  }

  void StartCapture() {
    context_.running = true;
    context_.adapterName = WidenCounted(pair_->captureInterface);
    context_.stopRequested = false;
    worker_.Start(context_, std::make_unique<ObservedSource>(
                                InNamespace(pair_->captureNamespace, MakePcapPacketSource())));
  }
  bool WaitUntilReading() {
    std::unique_lock lock(ObservedSource::mutex);
    return ObservedSource::readingChanged.wait_for(lock, seconds(5),
                                                   [] { return ObservedSource::reading; });
  }
  std::unique_ptr<BackgroundProcess> StartSim(std::vector<std::string> options) {
    options.insert(options.begin(), {"--seconds", "30"});
    return std::make_unique<BackgroundProcess>(pair_->IedSimCommand(kIedSim, std::move(options)));
  }
  bool WaitForDevices(std::size_t count) {
    return WaitFor([&](const DeviceTable& t, auto&, int) { return t.size() >= count; },
                   seconds(10));
  }
  bool WaitForEnd() {
    return WaitFor([](auto&, const std::vector<unsigned>& ends, int) { return !ends.empty(); },
                   seconds(5));
  }

  std::unique_ptr<NetnsPair> pair_;
  RecordingTarget target_;
  DeviceTable table_;  // and the flood frames: under the target's lock
  SystemClock clock_;
  int floodFrames_ = 0;
  WindowMessageSink sink_{target_};
  CaptureContext context_;
  CaptureWorkerThread worker_;  // after the context: stopped and joined before it goes
};

TEST_F(LiveCapture, EnumerationInTheNamespaceListsOnlyTheVeth) {
  std::unique_ptr<AdapterList> adapters;
  RunInNamespace(pair_->captureNamespace, [&] {
    PcapInterfaceLister lister;
    adapters = EnumerateAdapters(lister);
  });
  ASSERT_NE(adapters, nullptr);
  ASSERT_EQ(adapters->size(), 1u);
  EXPECT_EQ(ToUtf8((*adapters)[0]->ipAddress), pair_->captureAddress);
  EXPECT_EQ((*adapters)[0]->netmask, (Ipv4Bytes{255, 255, 255, 0})) << "the veth's /24";
  EXPECT_EQ(ToUtf8((*adapters)[0]->deviceName), pair_->captureInterface);
}

TEST_F(LiveCapture, SimulatedDevicesAppearWithTheirFieldsAndStopEndsTheCapture) {
  const auto sim =
      StartSim({"--count", "3", "--base-ip", "192.0.2.10", "--interval-ms", "200", "--name-prefix",
                "SIM", "--boot-version", "B7", "--app-version", "A1"});
  StartCapture();
  ASSERT_TRUE(WaitForDevices(3));
  WaitFor(
      [&](const DeviceTable& table, auto&, int) {
        for (int k = 0; k < 3; ++k) {
          const auto* r = Find(table, FromUtf8("192.0.2." + std::to_string(10 + k)));
          EXPECT_NE(r, nullptr) << k;
          if (r == nullptr) continue;
          EXPECT_EQ(ToUtf8(r->systemName), "SIM-" + std::to_string(k));
          EXPECT_EQ(ToUtf8(r->iedName), "SIM_" + std::to_string(k));
          EXPECT_EQ(ToUtf8(r->bootVersion), "B7");
          EXPECT_EQ(ToUtf8(r->originalAppVersion), "A1");
          EXPECT_EQ(ToUtf8(r->currentAppVersion), "A1");
        }
        EXPECT_EQ(table.size(), 3u);
        return true;
      },
      seconds(0));
  worker_.RequestStop();
  ASSERT_TRUE(WaitForEnd());
  worker_.Join();
  WaitFor(
      [](auto&, const std::vector<unsigned>& ends, int) {
        EXPECT_EQ(ends, std::vector<unsigned>{WM_CAPTURE_STOPPED});
        return true;
      },
      seconds(0));
  EXPECT_FALSE(context_.running);
}

TEST_F(LiveCapture, StopOnAQuietAdapterTakesEffectWithinAboutOneReadTimeout) {
  StartCapture();
  ASSERT_TRUE(WaitUntilReading());
  const auto stopAt = SteadyClock::now();
  worker_.RequestStop();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_LT(SteadyClock::now() - stopAt, milliseconds(kReadTimeoutMs + 1500));
  worker_.Join();
  EXPECT_FALSE(context_.running);
}

TEST_F(LiveCapture, DeletingTheInterfaceDuringCaptureReportsAReadFailure) {
  StartCapture();
  ASSERT_TRUE(WaitUntilReading());
  ASSERT_TRUE(pair_->DeleteCaptureInterface());
  ASSERT_TRUE(WaitForEnd());
  worker_.Join();
  WaitFor(
      [](auto&, const std::vector<unsigned>& ends, int) {
        EXPECT_EQ(ends, std::vector<unsigned>{WM_CAPTURE_READ_FAILED});
        return true;
      },
      seconds(0));
  EXPECT_FALSE(context_.running);
}

TEST_F(LiveCapture, StateFolderSilencesADeviceAndChangesItsVersionWhileRunning) {
  const TempFolder states;
  const auto folder = states.Path();
  const auto now = static_cast<long long>(std::time(nullptr));
  WriteBytes(folder / "192.0.2.41.silent-until", std::to_string(now + 3600) + "\n");

  const auto sim = StartSim({"--count", "2", "--base-ip", "192.0.2.40", "--interval-ms", "100",
                             "--app-version", "A1", "--state-dir", folder.string()});
  StartCapture();
  ASSERT_TRUE(WaitForDevices(1));
  WriteBytes(folder / "192.0.2.40.app", "A2");
  EXPECT_TRUE(WaitFor(
      [&](const DeviceTable& t, auto&, int) {
        const auto* r = Find(t, u"192.0.2.40");
        return r != nullptr && r->currentAppVersion == u"A2" && r->originalAppVersion == u"A1";
      },
      seconds(5)));
  WaitFor(
      [&](const DeviceTable& t, auto&, int) {
        EXPECT_EQ(Find(t, u"192.0.2.41"), nullptr) << "silent device was heard";
        return true;
      },
      seconds(0));
  std::filesystem::remove(folder / "192.0.2.41.silent-until");
  EXPECT_TRUE(WaitForDevices(2));
}

// The worker drops what the decoder would reject anyway, so flood frames never cross.
TEST_F(LiveCapture, FloodFramesAreDroppedAndTheAnnouncementsStillArrive) {
  const auto sim = StartSim(
      {"--count", "1", "--base-ip", "192.0.2.50", "--interval-ms", "200", "--flood-rate", "2000"});
  StartCapture();
  EXPECT_TRUE(WaitForDevices(1));
  // Several announcements (and about a thousand flood frames) later, none has crossed.
  const auto settled = SteadyClock::now() + milliseconds(600);
  WaitFor([&](auto&, auto&, int) { return SteadyClock::now() >= settled; }, seconds(1));
  EXPECT_TRUE(WaitFor([](auto&, auto&, int flood) { return flood == 0; }, seconds(0)));
}

// A batch the handler ends early leaves the rest of the ring for the next
// read: no frame is lost and the order holds across batches.
TEST_F(LiveCapture, BatchEndedByTheHandlerResumesAtTheNextFrame) {
  constexpr int kDevices = 4;
  const auto sim = StartSim(
      {"--count", std::to_string(kDevices), "--base-ip", "192.0.2.70", "--interval-ms", "20"});
  RunInNamespace(pair_->captureNamespace, [&] {
    PcapPacketSource source;
    ASSERT_TRUE(source.Open(pair_->captureInterface));
    // The last byte of ied-sim's source address is the device's number.
    std::vector<int> devices;
    int handedOver = 0;
    const auto status = source.ReadBatch([&](std::span<const std::uint8_t> frame) {
      ++handedOver;
      if (frame.size() > 11) devices.push_back(frame[11]);
      return false;
    });
    ASSERT_EQ(status, PacketSource::ReadStatus::Frame);
    ASSERT_EQ(handedOver, 1);
    const auto end = SteadyClock::now() + seconds(5);
    while (devices.size() < 40 && SteadyClock::now() < end) {
      ASSERT_NE(source.ReadBatch([&](std::span<const std::uint8_t> frame) {
        if (frame.size() > 11) devices.push_back(frame[11]);
        return true;
      }),
                PacketSource::ReadStatus::Error);
    }
    ASSERT_GE(devices.size(), 40u);
    for (std::size_t i = 1; i < devices.size(); ++i) {
      ASSERT_EQ(devices[i], (devices[i - 1] + 1) % kDevices) << "frame " << i;
    }
  });
}

// Frames arriving while the dialog handles one wait in the kernel's buffer: a
// burst of tens of thousands of frames (far beyond libpcap's default 2 MiB)
// sent while the handler is busy is read whole afterwards.
TEST_F(LiveCapture, BurstWhileTheHandlerIsBusyIsKeptWhole) {
  RunInNamespace(pair_->captureNamespace, [&] {
    PcapPacketSource source;
    ASSERT_TRUE(source.Open(pair_->captureInterface));
    BackgroundProcess sim(pair_->IedSimCommand(
        kIedSim,
        {"--count", "1", "--base-ip", "192.0.2.80", "--seconds", "0.3", "--flood-rate", "200000"}));
    std::uint64_t handedOver = 0;
    const auto count = [&](std::span<const std::uint8_t>) {
      // The first frame is handled only once the whole burst has been sent.
      if (handedOver++ == 0) {
        EXPECT_EQ(sim.Wait(), 0);
      }
      return true;
    };
    PacketSource::ReadStatus status;
    do {
      status = source.ReadBatch(count);
    } while (status == PacketSource::ReadStatus::Frame);
    ASSERT_EQ(status, PacketSource::ReadStatus::Timeout);
    const auto statistics = source.Statistics();
    ASSERT_TRUE(statistics.has_value());
    EXPECT_EQ(statistics->dropped, 0u);
    EXPECT_EQ(handedOver, statistics->received);
    EXPECT_GT(statistics->received, 20000u) << "the burst did not outgrow a 2 MiB buffer";
  });
}

// A flood rate beyond what the pair carries must not stretch the run: the
// flood benchmark compares captures over the sender's run time.
TEST_F(LiveCapture, SimFloodEndsAtItsDeadlineEvenAboveWhatThePairCarries) {
  const auto start = SteadyClock::now();
  std::vector<std::string> argv{"timeout", "-s", "KILL", "15"};
  for (std::string& word :
       pair_->IedSimCommand(kIedSim, {"--count", "1", "--base-ip", "192.0.2.60", "--seconds", "2",
                                      "--flood-rate", "1000000000"})) {
    argv.push_back(std::move(word));
  }
  const auto run = RunCommand(argv);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_LT(SteadyClock::now() - start, seconds(5));
  EXPECT_TRUE(run.out.starts_with("announcements ")) << run.out;
}

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST_F(LiveCapture, CliListsTheAdapterAndListensToTheDevices) {
  const auto adapters =
      RunCommand({"ip", "netns", "exec", pair_->captureNamespace, kCli, "adapters"});
  ASSERT_EQ(adapters.status, 0) << adapters.err;
  const auto lines = SortedLines(adapters.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind(pair_->captureAddress + "\t", 0), 0u) << lines[0];
  EXPECT_TRUE(lines[0].ends_with("\t" + pair_->captureInterface)) << lines[0];

  const auto sim =
      StartSim({"--count", "2", "--base-ip", "198.51.100.7", "--interval-ms", "200",
                "--name-prefix", "CLI", "--boot-version", "b\\1", "--app-version", "a"});
  const auto listen = RunCommand(
      {"ip", "netns", "exec", pair_->captureNamespace, kCli, "listen", pair_->captureAddress, "2"});
  ASSERT_EQ(listen.status, 0) << listen.err;
  EXPECT_EQ(SortedLines(listen.out),
            (std::vector<std::string>{"198.51.100.7\tCLI-0\tCLI_0\tb\\x5c1\ta\ta",
                                      "198.51.100.8\tCLI-1\tCLI_1\tb\\x5c1\ta\ta"}));
}

TEST_F(LiveCapture, CliListenWithoutCaptureRightsSaysOpenAdapterFailed) {
  const auto listen =
      RunCommand({"ip", "netns", "exec", pair_->captureNamespace, "setpriv", "--reuid=65534",
                  "--regid=65534", "--clear-groups", kCli, "listen", pair_->captureAddress, "1"});
  EXPECT_EQ(listen.status, 1) << listen.err;
  EXPECT_EQ(listen.err, "Open adapter failed\n");
  EXPECT_TRUE(listen.out.empty());
}

}  // namespace
}  // namespace quilmarr::test
