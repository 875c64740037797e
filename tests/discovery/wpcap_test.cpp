// wpcap.dll's side of the capture seams with the library's entry points
// replaced by fakes: what enumeration and the live source make of what the
// library reports, and what happens when there is no library at all.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "discovery/capture_worker.h"
#include "discovery/pcap/live_capture.h"
#include "discovery/pcap/wpcap_interface_lister.h"
#include "discovery/pcap/wpcap_library.h"
#include "discovery/pcap/wpcap_packet_source.h"
#include "platform/dll_search.h"
#include "platform/text.h"
#include "tests/support/recording_target.h"
#include "session/worker_messages.h"
#include "tests/support/temp_folder.h"

namespace quilmarr::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Status = PacketSource::ReadStatus;

constexpr int kWindowsAfInet6 = 23;

struct ScriptedRead {
  int result;
  bpf_u_int32 caplen = 0;
  bpf_u_int32 len = 0;
};

// What the fake library was asked and what it answers. One per test.
struct FakeWpcap {
  int findResult = 0;
  pcap_if_t* devices = nullptr;
  std::string findSource;
  int frees = 0;
  pcap_if_t* freed = nullptr;

  bool openSucceeds = true;
  std::string openedName;
  int snaplen = -1, flags = -1, timeoutMs = -1;
  bool withoutAuth = false;
  int closes = 0;
  int bufferBytes = 0;

  std::vector<ScriptedRead> reads;
  std::size_t nextRead = 0;
  Bytes frame = Bytes(1514, 0xAB);
  pcap_pkthdr header{};
  // When set, a read past the script blocks until pcap_breakloop.
  bool blockWhenIdle = false;
  std::mutex mutex;
  std::condition_variable changed;
  int breaks = 0;
  bool reading = false;
};

FakeWpcap* g_fake = nullptr;
int g_handle = 0;
pcap_t* const kHandle = reinterpret_cast<pcap_t*>(&g_handle);

int FakeFindAllDevsEx(const char* source, pcap_rmtauth*, pcap_if_t** devices, char*) {
  g_fake->findSource = source;
  *devices = g_fake->devices;
  return g_fake->findResult;
}
void FakeFreeAllDevs(pcap_if_t* devices) {
  ++g_fake->frees;
  g_fake->freed = devices;
}
pcap_t* FakeOpen(const char* name, int snaplen, int flags, int timeoutMs, pcap_rmtauth* auth,
                 char*) {
  g_fake->openedName = name;
  g_fake->snaplen = snaplen;
  g_fake->flags = flags;
  g_fake->timeoutMs = timeoutMs;
  g_fake->withoutAuth = auth == nullptr;
  return g_fake->openSucceeds ? kHandle : nullptr;
}
int FakeNextEx(pcap_t* handle, pcap_pkthdr** header, const u_char** data) {
  EXPECT_EQ(handle, kHandle);
  FakeWpcap& f = *g_fake;
  std::unique_lock lock(f.mutex);
  if (f.nextRead >= f.reads.size()) {
    if (!f.blockWhenIdle) return PCAP_ERROR;
    f.reading = true;
    f.changed.notify_all();
    // Never a time-out on a silent link (as Wine's wpcap.dll under Linux).
    f.changed.wait_for(lock, std::chrono::seconds(20), [&] { return f.breaks > 0; });
    return PCAP_ERROR_BREAK;
  }
  const ScriptedRead& read = f.reads[f.nextRead++];
  f.header.caplen = read.caplen;
  f.header.len = read.len;
  *header = &f.header;
  *data = f.frame.data();
  return read.result;
}
void FakeBreakLoop(pcap_t* handle) {
  EXPECT_EQ(handle, kHandle);
  const std::lock_guard lock(g_fake->mutex);
  ++g_fake->breaks;
  g_fake->changed.notify_all();
}
int FakeSetBuffer(pcap_t*, int bytes) {
  g_fake->bufferBytes = bytes;
  return 0;
}

void FakeClose(pcap_t* handle) {
  EXPECT_EQ(handle, kHandle);
  ++g_fake->closes;
}

constexpr WpcapFunctions kFakeFunctions{&FakeFindAllDevsEx, &FakeFreeAllDevs, &FakeOpen,
                                        &FakeNextEx,        &FakeBreakLoop,   &FakeClose,
                                        &FakeSetBuffer};

// A device list as wpcap.dll hands it out, with Windows socket addresses.
class DeviceList {
 public:
  pcap_if_t* Add(const char* name, const char* description, bpf_u_int32 flags) {
    pcap_if_t& device = devices_.emplace_back();
    device.name = const_cast<char*>(name);
    device.description = const_cast<char*>(description);
    device.flags = flags;
    if (devices_.size() > 1) devices_[devices_.size() - 2].next = &device;
    return &device;
  }
  void AddIpv4(pcap_if_t* device, std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    sockaddr_in& ipv4 = ipv4s_.emplace_back();
    ipv4.sin_family = AF_INET;
    const std::uint8_t bytes[] = {a, b, c, d};
    std::memcpy(&ipv4.sin_addr, bytes, sizeof bytes);
    Append(device, reinterpret_cast<sockaddr*>(&ipv4));
  }
  void AddIpv6(pcap_if_t* device) {
    sockaddr_in6& ipv6 = ipv6s_.emplace_back();
    ipv6.sin6_family = kWindowsAfInet6;
    Append(device, reinterpret_cast<sockaddr*>(&ipv6));
  }
  void AddEmptyAddress(pcap_if_t* device) { Append(device, nullptr); }
  [[nodiscard]] pcap_if_t* Head() { return devices_.empty() ? nullptr : &devices_.front(); }

 private:
  void Append(pcap_if_t* device, sockaddr* address) {
    pcap_addr_t& entry = addresses_.emplace_back();
    entry.addr = address;
    pcap_addr_t** link = &device->addresses;
    while (*link != nullptr) link = &(*link)->next;
    *link = &entry;
  }
  std::deque<pcap_if_t> devices_;
  std::deque<pcap_addr_t> addresses_;
  std::deque<sockaddr_in> ipv4s_;
  std::deque<sockaddr_in6> ipv6s_;
};

class WpcapTest : public ::testing::Test {
 protected:
  void SetUp() override { g_fake = &fake_; }
  void TearDown() override { g_fake = nullptr; }
  FakeWpcap fake_;
};

TEST_F(WpcapTest, EnumerationCopiesTheLocalAdaptersWithTheirWindowsAddresses) {
  DeviceList list;
  pcap_if_t* nic = list.Add("rpcap://\\Device\\NPF_{A}", "Intel(R) Ethernet", 0);
  list.AddIpv6(nic);
  list.AddIpv4(nic, 192, 168, 0, 10);
  list.AddIpv4(nic, 10, 1, 1, 1);
  sockaddr_in mask{};
  mask.sin_family = AF_INET;
  mask.sin_addr.S_un.S_un_b = {255, 255, 254, 0};
  nic->addresses->next->netmask = reinterpret_cast<sockaddr*>(&mask);  // 192.168.0.10's
  pcap_if_t* loopback = list.Add("rpcap://\\Device\\NPF_Loopback", "Loopback", PCAP_IF_LOOPBACK);
  list.AddIpv4(loopback, 127, 0, 0, 1);
  pcap_if_t* undescribed = list.Add("rpcap://\\Device\\NPF_{B}", nullptr, 0);
  list.AddEmptyAddress(undescribed);
  list.AddIpv4(undescribed, 192, 168, 0, 9);
  list.Add("rpcap://\\Device\\NPF_{C}", "unplugged", 0);
  fake_.devices = list.Head();

  WpcapInterfaceLister lister(&kFakeFunctions);
  const auto entries = lister.FindAllDevs();

  EXPECT_EQ(fake_.findSource, "rpcap://");
  EXPECT_EQ(fake_.frees, 1);
  EXPECT_EQ(fake_.freed, list.Head());
  ASSERT_TRUE(entries.has_value());
  ASSERT_EQ(entries->size(), 4u);
  const CaptureInterfaceEntry& first = (*entries)[0];
  EXPECT_EQ(first.name, "rpcap://\\Device\\NPF_{A}");
  EXPECT_EQ(first.description, "Intel(R) Ethernet");
  ASSERT_EQ(first.addresses.size(), 3u);
  EXPECT_EQ(first.addresses[0].family, kWindowsAfInet6);
  EXPECT_EQ(first.addresses[1].family, kAddressFamilyIpv4);
  EXPECT_EQ(first.addresses[1].ipv4, (std::array<std::uint8_t, 4>{192, 168, 0, 10}));
  EXPECT_EQ((*entries)[1].flags, kInterfaceLoopbackFlag);
  EXPECT_FALSE((*entries)[2].description.has_value());
  EXPECT_EQ((*entries)[2].addresses.size(), 1u) << "an entry without an address is left out";
  EXPECT_TRUE((*entries)[3].addresses.empty());

  fake_.frees = 0;
  const auto adapters = EnumerateAdapters(lister);
  ASSERT_EQ(adapters->size(), 2u);
  EXPECT_EQ((*adapters)[0]->ipAddress, u"192.168.0.10");
  EXPECT_EQ((*adapters)[0]->description, u"Intel(R) Ethernet");
  EXPECT_EQ((*adapters)[0]->deviceName, u"rpcap://\\Device\\NPF_{A}");
  EXPECT_EQ((*adapters)[0]->netmask, (Ipv4Bytes{255, 255, 254, 0}));
  EXPECT_FALSE((*adapters)[1]->netmask.has_value());
  EXPECT_EQ((*adapters)[1]->ipAddress, u"192.168.0.9");
  EXPECT_EQ((*adapters)[1]->description, u"");
  EXPECT_EQ(fake_.frees, 1);
}

TEST_F(WpcapTest, ListingFailureIsCantFindAnyNetworkAdapterButNotAMissingLibrary) {
  fake_.findResult = -1;
  WpcapInterfaceLister lister(&kFakeFunctions);
  EXPECT_FALSE(lister.FindAllDevs().has_value());
  EXPECT_FALSE(lister.LibraryMissing());
  try {
    static_cast<void>(EnumerateAdapters(lister));
    ADD_FAILURE() << "no exception";
  } catch (const CPcapException& e) {
    EXPECT_STREQ(e.what(), "Cant find any network adapter");
  }
  EXPECT_EQ(fake_.frees, 0);
}

TEST_F(WpcapTest, SourceOpensPromiscuouslyWithTheReadTimeOutAndMapsEveryReadResult) {
  fake_.reads = {{1, 60, 60}, {0}, {PCAP_ERROR_BREAK}, {1, 100, 1514}, {1, 1514, 64}, {PCAP_ERROR}};
  {
    WpcapPacketSource source(&kFakeFunctions);
    ASSERT_TRUE(source.Open("rpcap://\\Device\\NPF_{A}"));
    EXPECT_EQ(fake_.openedName, "rpcap://\\Device\\NPF_{A}");
    EXPECT_EQ(fake_.snaplen, 65536);
    EXPECT_EQ(fake_.flags, PCAP_OPENFLAG_PROMISCUOUS);
    EXPECT_EQ(fake_.timeoutMs, 1000);
    EXPECT_TRUE(fake_.withoutAuth);
    EXPECT_EQ(fake_.bufferBytes, 32 * 1024 * 1024);

    auto read = source.Read();
    EXPECT_EQ(read.status, Status::Frame);
    EXPECT_EQ(read.frame.data(), fake_.frame.data());
    EXPECT_EQ(read.frame.size(), 60u);
    EXPECT_EQ(source.Read().status, Status::Timeout);
    EXPECT_EQ(source.Read().status, Status::Timeout) << "woken by pcap_breakloop";
    EXPECT_EQ(source.Read().frame.size(), 100u) << "only what was captured";
    EXPECT_EQ(source.Read().frame.size(), 64u) << "never more than the frame's length";
    EXPECT_EQ(source.Read().status, Status::Error);
    source.Close();
    EXPECT_EQ(source.Read().status, Status::Error) << "read after close";
  }
  EXPECT_EQ(fake_.closes, 1);
}

TEST_F(WpcapTest, InterruptBreaksTheLoopOnlyWhileTheCaptureIsOpen) {
  WpcapPacketSource source(&kFakeFunctions);
  source.Interrupt();
  EXPECT_EQ(fake_.breaks, 0);
  ASSERT_TRUE(source.Open("x"));
  source.Interrupt();
  EXPECT_EQ(fake_.breaks, 1);
  source.Close();
  source.Interrupt();
  EXPECT_EQ(fake_.breaks, 1);
}

TEST_F(WpcapTest, FailedOpenClosesNothing) {
  fake_.openSucceeds = false;
  {
    WpcapPacketSource source(&kFakeFunctions);
    EXPECT_FALSE(source.Open("x"));
    EXPECT_EQ(source.Read().status, Status::Error);
  }
  EXPECT_EQ(fake_.closes, 0);
}

TEST_F(WpcapTest, StopOnASilentAdapterWhoseReadNeverTimesOutEndsTheCapturePromptly) {
  fake_.blockWhenIdle = true;
  RecordingTarget target;
  WindowMessageSink sink(target);
  CaptureContext context;
  context.sink = &sink;
  context.running = true;
  context.adapterName = u"rpcap://\\Device\\NPF_{A}";
  context.stopRequested = false;
  {
    CaptureWorkerThread worker;
    worker.Start(context, std::make_unique<WpcapPacketSource>(&kFakeFunctions));
    {
      std::unique_lock lock(fake_.mutex);
      ASSERT_TRUE(
          fake_.changed.wait_for(lock, std::chrono::seconds(10), [&] { return fake_.reading; }));
    }
    const auto stopAt = std::chrono::steady_clock::now();
    worker.RequestStop();
    ASSERT_TRUE(target.WaitForCount(1, std::chrono::seconds(10)));
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::seconds(2));
  }
  EXPECT_EQ(target.Ids(), std::vector<unsigned>{WM_CAPTURE_STOPPED});
  EXPECT_FALSE(context.running);
  EXPECT_EQ(fake_.closes, 1);
}

// No wpcap.dll: nothing can be listed or opened, and the lister says why.
TEST(WpcapMissing, NoLibraryListsNothingOpensNothingAndSaysSo) {
  wchar_t system[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  // A file that does not exist, and a DLL without the capture entry points.
  const WpcapLibrary library(
      {L"C:\\no-such-folder\\wpcap.dll", std::wstring(system) + L"\\kernel32.dll"});
  EXPECT_EQ(library.Functions(), nullptr);

  WpcapInterfaceLister lister(library.Functions());
  EXPECT_TRUE(lister.LibraryMissing());
  EXPECT_THROW(static_cast<void>(EnumerateAdapters(lister)), CPcapException);

  WpcapPacketSource source(library.Functions());
  EXPECT_FALSE(source.Open("rpcap://\\Device\\NPF_{A}"));
  source.Interrupt();
  EXPECT_EQ(source.Read().status, Status::Error);
}

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST(WpcapMissing, WinesOwnWpcapDllLoadsWithEveryEntryPoint) {
  if (!UnderWine()) GTEST_SKIP() << "only Wine is sure to have a wpcap.dll";
  const WpcapLibrary library;
  const WpcapFunctions* functions = library.Functions();
  ASSERT_NE(functions, nullptr);
  EXPECT_NE(functions->findAllDevsEx, nullptr);
  EXPECT_NE(functions->breakLoop, nullptr);
  EXPECT_FALSE(LiveCaptureLibraryMissing());
}

// What both programs do first: a DLL planted in the working folder is no
// longer looked for there, and Wine's wpcap.dll still loads.
TEST(DllSearch, APlantedDllIsNotLoadedButWpcapStillIs) {
  const TempFolder planted;
  WriteBytes(planted.File("planted.dll"), "not a program");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(planted.Path());
  HardenDllSearch();
  EXPECT_EQ(LoadLibraryW(L"planted.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_MOD_NOT_FOUND}) << "193: the planted file was tried";
  EXPECT_TRUE(!UnderWine() || WpcapLibrary().Functions() != nullptr);
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace quilmarr::test
