#pragma once

// A stand-in for the kernel's w1 netlink connector, serving one bus master
// with a simulated fob on it. It runs on its own thread and answers as the
// kernel does: a data reply for each read or touch, then a status reply for
// every command; bundled into one datagram when the request asks for it.
//
// Requests are decoded at fixed byte offsets, independently of the backend's
// structures, so a field the backend puts in the wrong place shows up here.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ibutton/fob_file.h"
#include "ibutton/simulated_bus.h"
#include "ibutton/w1_netlink_port.h"

namespace vintok::ibutton::testing {

class FakeW1Kernel {
 public:
  enum class Transport {
    Netlink,     // its own NETLINK_CONNECTOR socket; the backend sends to its port id
    SocketPair,  // AF_UNIX datagram socket pairs carrying the same datagrams
  };

  // What the fake does to the next request it receives.
  enum class Fault {
    DropReplies,       // carries it out on the bus, sends nothing back
    ErrorStatus,       // answers with a status reply carrying EIO, no data
    Garbage,           // first sends a datagram of noise
    TruncatedNetlink,  // first sends a data reply cut short (nlmsg_len past its end)
    TruncatedW1,       // first sends a data reply whose w1 lengths overrun its cn_msg
    Unrelated,         // first sends another connector user's message, w1 replies
                       // with another sequence number or for another master, a
                       // master-added event and (netlink) a reply from a socket
                       // that is not the kernel's
  };

  struct Request {
    uint8_t type = 0;
    uint32_t masterId = 0;
    std::optional<uint8_t> cmd;
    std::vector<uint8_t> data;
    uint16_t cnFlags = 0;
    bool operator==(const Request&) const = default;
  };

  // True when this process may bind a NETLINK_CONNECTOR socket and send to
  // another one (root, and a kernel with the connector).
  static bool NetlinkUsable();

  FakeW1Kernel(Transport transport, std::optional<FobImage> fob,
               std::vector<uint32_t> masters = {1});
  ~FakeW1Kernel();
  FakeW1Kernel(const FakeW1Kernel&) = delete;
  FakeW1Kernel& operator=(const FakeW1Kernel&) = delete;

  // Options that point a backend at this fake.
  W1NetlinkOptions Options(std::chrono::milliseconds timeout);

  void QueueFault(Fault fault);
  // The master is unplugged: commands for it get "no such device", the master
  // list no longer has it.
  void RemoveMasters();
  // A DS2490: its reset never reports a missing presence pulse.
  void ResetAlwaysReportsPresence();
  // The kernel side goes away: the thread ends and its sockets close.
  void Stop();

  // Every request received so far, in order.
  std::vector<Request> Requests();
  // Requests that did not decode (lengths, connector id); should stay empty.
  int MalformedRequests();

 private:
  struct Peer {
    int fd;
    uint32_t portId;  // netlink sender to answer; unused for socket pairs
  };

  void Run();
  void Handle(const Peer& peer, const std::vector<uint8_t>& datagram);
  void SendTo(const Peer& peer, const std::vector<uint8_t>& datagram);

  Transport transport_;
  std::mutex mutex_;
  SimulatedBus bus_;
  std::vector<uint32_t> masters_;
  bool resetAlwaysPresent_ = false;
  std::deque<Fault> faults_;
  std::vector<Request> requests_;
  int malformed_ = 0;
  int netlinkFd_ = -1;
  int impostorFd_ = -1;  // another process's netlink socket
  uint32_t netlinkPortId_ = 0;
  std::vector<int> pairFds_;  // our ends of the socket pairs
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace vintok::ibutton::testing
