#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ibutton/fob_file.h"
#include "ibutton/w1_netlink_port.h"
#include "tests/core/fake_w1_kernel.h"

namespace vintok::ibutton {
namespace {

using testing::FakeW1Kernel;
using Fault = FakeW1Kernel::Fault;
using Request = FakeW1Kernel::Request;
using Transport = FakeW1Kernel::Transport;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr milliseconds kTimeout{300};
// Generous bound for "answered without waiting for the timeout" on a loaded
// CI machine; still well below kTimeout.
constexpr milliseconds kPrompt{150};

constexpr uint8_t kRead = 0;
constexpr uint8_t kWrite = 1;
constexpr uint8_t kTouch = 4;
constexpr uint8_t kReset = 5;
constexpr uint8_t kMasterCmd = 4;
constexpr uint8_t kListMasters = 6;

FobImage LoadFixtureFob() {
  std::optional<FobImage> fob = LoadFobFile(std::string(VINTOK_TEST_DATA_DIR) + "/w1_fob.txt");
  if (!fob) throw std::runtime_error("tests/data/w1_fob.txt did not load");
  return *fob;
}

// The 128 bytes of punch memory the fob file describes, computed from the
// image rather than read through the simulated bus.
std::vector<int> ExpectedMemory(const FobImage& fob) {
  std::vector<int> bytes;
  for (const auto& values : fob.slotValues) {
    const uint32_t v = values.empty() ? 0xFFFFFFFFu : values.front();
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back((v >> shift) & 0xFF);
  }
  return bytes;
}

Request MasterCommand(uint8_t cmd, std::vector<uint8_t> data, uint16_t flags, uint32_t master = 1) {
  return Request{kMasterCmd, master, cmd, std::move(data), flags};
}

struct Setup {
  Transport transport;
  bool bundle;
};

std::string SetupName(const ::testing::TestParamInfo<Setup>& info) {
  return std::string(info.param.transport == Transport::Netlink ? "Netlink" : "SocketPair") +
         (info.param.bundle ? "Bundled" : "Separate");
}

class W1NetlinkTest : public ::testing::TestWithParam<Setup> {
 protected:
  void SetUp() override {
    if (GetParam().transport == Transport::Netlink && !FakeW1Kernel::NetlinkUsable()) {
      GTEST_SKIP() << "no NETLINK_CONNECTOR here (needs the connector and CAP_NET_ADMIN)";
    }
    fob_ = LoadFixtureFob();
  }

  // A fake kernel with master 1 and the fixture fob, and a backend for `setting`.
  void Start(const std::string& setting = "w1", std::vector<uint32_t> masters = {1},
             bool writeInsteadOfTouch = false) {
    kernel_.emplace(GetParam().transport, fob_, std::move(masters));
    W1NetlinkOptions options = kernel_->Options(kTimeout);
    options.bundleReplies = GetParam().bundle;
    options.writeInsteadOfTouch = writeInsteadOfTouch;
    port_ = CreateW1NetlinkPort(setting, options);
    ASSERT_NE(port_, nullptr);
  }

  // Default port, session and setup, as the reader does before a read.
  int32_t OpenSession() {
    int16_t portNum = 0;
    int16_t portType = 0;
    EXPECT_EQ(port_->TMReadDefaultPort(&portNum, &portType), 1);
    const int32_t handle = port_->TMExtendedStartSession(portNum, portType, nullptr);
    EXPECT_GT(handle, 0);
    EXPECT_EQ(port_->TMSetup(handle), 1);
    return handle;
  }

  uint16_t Flags() const { return GetParam().bundle ? 1 : 0; }

  FobImage fob_;
  std::optional<FakeW1Kernel> kernel_;
  std::unique_ptr<OneWireDriver> port_;
};

TEST_P(W1NetlinkTest, WholeReadMatchesTheFobFile) {
  Start();
  const int32_t handle = OpenSession();
  int16_t rom[8] = {};
  EXPECT_EQ(port_->TMRom(handle, nullptr, rom), 1);

  // Registration number: reset, Read ROM, eight reads.
  EXPECT_EQ(port_->TMTouchReset(handle), 1);
  EXPECT_EQ(port_->TMTouchByte(handle, 0x33), 0x33);
  std::vector<int> romBytes;
  for (int i = 0; i < 8; ++i) romBytes.push_back(port_->TMTouchByte(handle, 0xFF));
  EXPECT_EQ(romBytes, std::vector<int>(fob_.rom.begin(), fob_.rom.end()));

  // Punch memory: reset, Skip ROM, Read Memory from address 0, 128 reads.
  EXPECT_EQ(port_->TMTouchReset(handle), 1);
  for (int16_t b : {0xCC, 0xF0, 0x00, 0x00}) EXPECT_EQ(port_->TMTouchByte(handle, b), b);
  std::vector<int> memory;
  for (int i = 0; i < 128; ++i) memory.push_back(port_->TMTouchByte(handle, 0xFF));
  EXPECT_EQ(memory, ExpectedMemory(fob_));

  // What went over the socket: reads of 0xFF are one-byte reads, the other
  // bytes touches, every request for master 1.
  std::vector<Request> expected{
      Request{kListMasters, 0, std::nullopt, {}, Flags()}, MasterCommand(kReset, {}, Flags()),
      MasterCommand(kReset, {}, Flags()), MasterCommand(kTouch, {0x33}, Flags())};
  for (int i = 0; i < 8; ++i) expected.push_back(MasterCommand(kRead, {0xFF}, Flags()));
  expected.push_back(MasterCommand(kReset, {}, Flags()));
  for (uint8_t b : {0xCC, 0xF0, 0x00, 0x00})
    expected.push_back(MasterCommand(kTouch, {b}, Flags()));
  for (int i = 0; i < 128; ++i) expected.push_back(MasterCommand(kRead, {0xFF}, Flags()));
  EXPECT_EQ(kernel_->Requests(), expected);
  EXPECT_EQ(kernel_->MalformedRequests(), 0);
}

TEST_P(W1NetlinkTest, CommandBytesAsWritesEchoTheByteSent) {
  Start("w1", {1}, /*writeInsteadOfTouch=*/true);
  const int32_t handle = OpenSession();
  port_->TMTouchReset(handle);
  EXPECT_EQ(port_->TMTouchByte(handle, 0x33), 0x33);
  EXPECT_EQ(port_->TMTouchByte(handle, 0xFF), fob_.rom[0]);
  const std::vector<Request> requests = kernel_->Requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(requests[3], MasterCommand(kWrite, {0x33}, Flags()));
  EXPECT_EQ(requests[4], MasterCommand(kRead, {0xFF}, Flags()));
}

TEST_P(W1NetlinkTest, DefaultPortFollowsTheMasterList) {
  struct Case {
    const char* setting;
    std::vector<uint32_t> masters;
    int16_t result;
    int16_t portNum;
  } cases[] = {
      {"w1", {}, 0, 0},
      {"w1", {5, 2, 9}, 1, 2},
      {"w1:9", {5, 2, 9}, 1, 9},
      {"w1:4", {5, 2, 9}, 0, 0},
      {"w1:1", {}, 0, 0},
      // An id that does not fit a port number is no port.
      {"w1", {70000}, 0, 0},
  };
  for (const Case& c : cases) {
    Start(c.setting, c.masters);
    int16_t portNum = -7;
    int16_t portType = -7;
    EXPECT_EQ(port_->TMReadDefaultPort(&portNum, &portType), c.result) << c.setting;
    if (c.result == 1) {
      EXPECT_EQ(portNum, c.portNum) << c.setting;
      EXPECT_EQ(portType, kW1PortType) << c.setting;
    }
  }
}

TEST_P(W1NetlinkTest, ResetReportsPresence) {
  Start();
  int32_t handle = OpenSession();
  EXPECT_EQ(port_->TMTouchReset(handle), 1);

  // Nothing on the reader: no presence, and the bus reads 0xFF.
  kernel_.emplace(GetParam().transport, std::nullopt, std::vector<uint32_t>{1});
  W1NetlinkOptions options = kernel_->Options(kTimeout);
  options.bundleReplies = GetParam().bundle;
  port_ = CreateW1NetlinkPort("w1", options);
  handle = OpenSession();  // the master answers even without a fob
  EXPECT_EQ(port_->TMTouchReset(handle), 0);
  EXPECT_EQ(port_->TMTouchByte(handle, 0x33), 0x33);
  EXPECT_EQ(port_->TMTouchByte(handle, 0xFF), 0xFF);

  // A DS2490 cannot tell.
  kernel_->ResetAlwaysReportsPresence();
  EXPECT_EQ(port_->TMTouchReset(handle), 1);
}

TEST_P(W1NetlinkTest, LostReplyFailsAfterTheTimeoutAndEndsTheSession) {
  Start();
  int32_t handle = OpenSession();
  port_->TMTouchReset(handle);
  port_->TMTouchByte(handle, 0x33);

  kernel_->QueueFault(Fault::DropReplies);
  Clock::time_point start = Clock::now();
  EXPECT_LT(port_->TMTouchByte(handle, 0xFF), 0);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, kTimeout - milliseconds(5));
  EXPECT_LT(waited, kTimeout + milliseconds(700));

  // The rest of the session fails at once, without asking the kernel.
  const size_t asked = kernel_->Requests().size();
  start = Clock::now();
  for (int i = 0; i < 100; ++i) EXPECT_LT(port_->TMTouchByte(handle, 0xFF), 0);
  EXPECT_LT(port_->TMTouchReset(handle), 0);
  EXPECT_LT(Clock::now() - start, kPrompt);
  EXPECT_EQ(kernel_->Requests().size(), asked);

  // The next session reads again.
  EXPECT_EQ(port_->TMEndSession(handle), 1);
  handle = port_->TMExtendedStartSession(1, kW1PortType, nullptr);
  ASSERT_GT(handle, 0);
  EXPECT_EQ(port_->TMTouchReset(handle), 1);
  EXPECT_EQ(port_->TMTouchByte(handle, 0x33), 0x33);
  EXPECT_EQ(port_->TMTouchByte(handle, 0xFF), fob_.rom[0]);
}

TEST_P(W1NetlinkTest, LostMasterListMeansNoPort) {
  Start();
  kernel_->QueueFault(Fault::DropReplies);
  int16_t portNum = 0;
  int16_t portType = 0;
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(port_->TMReadDefaultPort(&portNum, &portType), 0);
  EXPECT_LT(Clock::now() - start, kTimeout + milliseconds(700));
}

TEST_P(W1NetlinkTest, ErrorStatusFailsTheCallButNotTheSession) {
  Start();
  const int32_t handle = OpenSession();
  port_->TMTouchReset(handle);
  port_->TMTouchByte(handle, 0x33);

  kernel_->QueueFault(Fault::ErrorStatus);
  Clock::time_point start = Clock::now();
  EXPECT_LT(port_->TMTouchByte(handle, 0xFF), 0);  // the kernel read a byte nobody got
  EXPECT_LT(Clock::now() - start, kPrompt);
  EXPECT_EQ(port_->TMTouchByte(handle, 0xFF), fob_.rom[1]);

  kernel_->QueueFault(Fault::ErrorStatus);
  EXPECT_LT(port_->TMTouchReset(handle), 0);
  kernel_->QueueFault(Fault::ErrorStatus);
  EXPECT_LT(port_->TMTouchByte(handle, 0xCC), 0);
  EXPECT_EQ(port_->TMTouchReset(handle), 1);
}

TEST_P(W1NetlinkTest, MasterUnpluggedMidReadFailsPromptly) {
  Start();
  const int32_t handle = OpenSession();
  port_->TMTouchReset(handle);
  port_->TMTouchByte(handle, 0x33);
  EXPECT_EQ(port_->TMTouchByte(handle, 0xFF), fob_.rom[0]);

  kernel_->RemoveMasters();  // the kernel answers "no such device"
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < 7; ++i) EXPECT_LT(port_->TMTouchByte(handle, 0xFF), 0);
  EXPECT_LT(port_->TMTouchReset(handle), 0);
  EXPECT_LT(Clock::now() - start, kPrompt);

  int16_t portNum = 0;
  int16_t portType = 0;
  EXPECT_EQ(port_->TMReadDefaultPort(&portNum, &portType), 0);
  const int32_t next = port_->TMExtendedStartSession(1, kW1PortType, nullptr);
  EXPECT_EQ(port_->TMSetup(next), 0);
}

TEST_P(W1NetlinkTest, KernelSideGoneFailsWithinTheTimeout) {
  Start();
  const int32_t handle = OpenSession();
  port_->TMTouchReset(handle);
  port_->TMTouchByte(handle, 0x33);
  EXPECT_EQ(port_->TMTouchByte(handle, 0xFF), fob_.rom[0]);

  kernel_->Stop();
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < 135; ++i) EXPECT_LT(port_->TMTouchByte(handle, 0xFF), 0);
  EXPECT_LT(Clock::now() - start, kTimeout + milliseconds(700));

  int16_t portNum = 0;
  int16_t portType = 0;
  EXPECT_EQ(port_->TMReadDefaultPort(&portNum, &portType), 0);
}

TEST_P(W1NetlinkTest, DamagedAndUnrelatedDatagramsAreSkipped) {
  const Fault faults[] = {Fault::Garbage, Fault::TruncatedNetlink, Fault::TruncatedW1,
                          Fault::Unrelated};
  for (Fault fault : faults) {
    Start();
    const int32_t handle = OpenSession();
    port_->TMTouchReset(handle);
    kernel_->QueueFault(fault);
    EXPECT_EQ(port_->TMTouchByte(handle, 0x33), 0x33) << static_cast<int>(fault);
    for (int i = 0; i < 8; ++i) {
      kernel_->QueueFault(fault);
      const Clock::time_point start = Clock::now();
      EXPECT_EQ(port_->TMTouchByte(handle, 0xFF), fob_.rom[i]) << static_cast<int>(fault);
      EXPECT_LT(Clock::now() - start, kPrompt) << static_cast<int>(fault);
    }
    kernel_->QueueFault(fault);
    EXPECT_EQ(port_->TMTouchReset(handle), 1) << static_cast<int>(fault);
  }
}

TEST_P(W1NetlinkTest, OnlyTheLatestSessionIsLive) {
  Start();
  const int32_t first = OpenSession();
  const int32_t second = port_->TMExtendedStartSession(1, kW1PortType, nullptr);
  EXPECT_GT(second, 0);
  EXPECT_NE(second, first);
  const size_t asked = kernel_->Requests().size();
  EXPECT_LT(port_->TMTouchByte(first, 0xFF), 0);
  EXPECT_LT(port_->TMTouchReset(first), 0);
  EXPECT_EQ(kernel_->Requests().size(), asked);
  EXPECT_EQ(port_->TMTouchReset(second), 1);
  EXPECT_EQ(port_->TMTouchByte(second, 0x100), -1);
  EXPECT_EQ(port_->TMEndSession(second), 1);
  EXPECT_LT(port_->TMTouchReset(second), 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, W1NetlinkTest,
                         ::testing::Values(Setup{Transport::Netlink, false},
                                           Setup{Transport::Netlink, true},
                                           Setup{Transport::SocketPair, false},
                                           Setup{Transport::SocketPair, true}),
                         SetupName);

TEST(W1Setting, NamesTheMaster) {
  struct Case {
    const char* setting;
    bool valid;
    std::optional<uint32_t> master;
  } cases[] = {
      {"w1", true, std::nullopt}, {"w1:1", true, 1u},
      {"w1:32767", true, 32767u}, {"w1:007", true, 7u},
      {"w1:", false, {}},         {"w1:0", false, {}},
      {"w1:32768", false, {}},    {"w1:-1", false, {}},
      {"w1:+1", false, {}},       {"w1: 1", false, {}},
      {"w1:1 ", false, {}},       {"w1:x", false, {}},
      {"W1", false, {}},          {"w1x", false, {}},
      {"sim:w1", false, {}},      {"", false, {}},
  };
  for (const Case& c : cases) {
    const std::optional<W1MasterSetting> parsed = ParseW1Setting(c.setting);
    EXPECT_EQ(parsed.has_value(), c.valid) << '"' << c.setting << '"';
    EXPECT_EQ(CreateW1NetlinkPort(c.setting) != nullptr, c.valid) << '"' << c.setting << '"';
    if (parsed) {
      EXPECT_EQ(parsed->masterId, c.master) << '"' << c.setting << '"';
    }
  }
}

TEST(W1NetlinkPort, NoSocketMeansNoPortAndNoSession) {
  W1NetlinkOptions options;
  options.openSocket = [] { return -1; };
  std::unique_ptr<OneWireDriver> port = CreateW1NetlinkPort("w1", options);
  int16_t portNum = 0;
  int16_t portType = 0;
  EXPECT_EQ(port->TMReadDefaultPort(&portNum, &portType), 0);
  EXPECT_EQ(port->TMExtendedStartSession(1, kW1PortType, nullptr), 0);
  EXPECT_LT(port->TMTouchByte(0, 0xFF), 0);
  char version[kVersionBufferSize];
  port->Get_Version(version);
  EXPECT_STREQ(version, "Linux kernel w1 bus master (netlink connector)");
}

}  // namespace
}  // namespace vintok::ibutton
