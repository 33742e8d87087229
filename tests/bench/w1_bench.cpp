// Per-byte cost of the w1 netlink backend against the stand-in kernel of the
// tests: what the backend itself adds (request building, socket round trip,
// reply parsing), before the time the bus master itself takes on real
// hardware.

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ibutton/fob_file.h"
#include "ibutton/w1_netlink_port.h"
#include "tests/core/fake_w1_kernel.h"

namespace {

using vintok::ibutton::FobImage;
using vintok::ibutton::OneWireDriver;
using vintok::ibutton::testing::FakeW1Kernel;
using Clock = std::chrono::steady_clock;

double MicrosecondsPer(Clock::duration elapsed, int count) {
  return std::chrono::duration<double, std::micro>(elapsed).count() / count;
}

void Measure(FakeW1Kernel::Transport transport, bool bundle, const FobImage& fob) {
  FakeW1Kernel kernel(transport, fob);
  vintok::ibutton::W1NetlinkOptions options = kernel.Options(std::chrono::milliseconds(1000));
  options.bundleReplies = bundle;
  std::unique_ptr<OneWireDriver> port = vintok::ibutton::CreateW1NetlinkPort("w1", options);
  int16_t portNum = 0;
  int16_t portType = 0;
  port->TMReadDefaultPort(&portNum, &portType);
  const int32_t handle = port->TMExtendedStartSession(portNum, portType, nullptr);
  port->TMSetup(handle);

  constexpr int kBytes = 5000;
  int failures = 0;
  Clock::time_point start = Clock::now();
  for (int i = 0; i < kBytes; ++i) failures += port->TMTouchByte(handle, 0xFF) < 0;
  const double read = MicrosecondsPer(Clock::now() - start, kBytes);

  start = Clock::now();
  for (int i = 0; i < kBytes; ++i) failures += port->TMTouchByte(handle, 0xCC) < 0;
  const double touch = MicrosecondsPer(Clock::now() - start, kBytes);

  // One read as the reader does it, without its fixed pauses: 3 resets and
  // 273 byte exchanges.
  constexpr int kReads = 20;
  start = Clock::now();
  for (int r = 0; r < kReads; ++r) {
    port->TMTouchReset(handle);
    port->TMTouchByte(handle, 0x33);
    for (int i = 0; i < 8; ++i) port->TMTouchByte(handle, 0xFF);
    for (int pass = 0; pass < 2; ++pass) {
      port->TMTouchReset(handle);
      for (int16_t b : {0xCC, 0xF0, 0x00, 0x00}) port->TMTouchByte(handle, b);
      for (int i = 0; i < 128; ++i) port->TMTouchByte(handle, 0xFF);
    }
  }
  const double whole =
      std::chrono::duration<double, std::milli>(Clock::now() - start).count() / kReads;

  std::printf("%-10s %-8s %10.1f %10.1f %12.2f %9d\n",
              transport == FakeW1Kernel::Transport::Netlink ? "netlink" : "socketpair",
              bundle ? "bundled" : "separate", read, touch, whole, failures);
}

}  // namespace

int main() {
  const std::optional<FobImage> fob =
      vintok::ibutton::ParseFobText(
          "rom = 0C 9A 3E 51 00 00 00 E4\nslot 0 = 1340100000\nslot 31 = 1340104542\n")
          .fob;
  std::printf("w1 netlink backend against the stand-in kernel\n");
  std::printf("%-10s %-8s %10s %10s %12s %9s\n", "transport", "replies", "read us/B", "touch us/B",
              "read ms/fob", "failures");
  if (FakeW1Kernel::NetlinkUsable()) {
    Measure(FakeW1Kernel::Transport::Netlink, false, *fob);
    Measure(FakeW1Kernel::Transport::Netlink, true, *fob);
  } else {
    std::printf("(no NETLINK_CONNECTOR here: socket pairs only)\n");
  }
  Measure(FakeW1Kernel::Transport::SocketPair, false, *fob);
  Measure(FakeW1Kernel::Transport::SocketPair, true, *fob);
  return 0;
}
