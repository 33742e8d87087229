#include "tests/core/fake_w1_kernel.h"

#include <fcntl.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace vintok::ibutton::testing {

namespace {

// Netlink, connector and w1 numbers, written out here rather than taken from
// the backend so that a wrong constant there does not hide itself.
constexpr int kNetlinkConnector = 11;
constexpr uint16_t kNlmsgDone = 3;
constexpr uint32_t kW1Idx = 3;
constexpr uint32_t kW1Val = 1;
constexpr uint8_t kMasterAdd = 2;
constexpr uint8_t kMasterCmd = 4;
constexpr uint8_t kListMasters = 6;
constexpr uint8_t kCmdRead = 0;
constexpr uint8_t kCmdWrite = 1;
constexpr uint8_t kCmdTouch = 4;
constexpr uint8_t kCmdReset = 5;
constexpr uint16_t kBundle = 1;

// Byte layout: nlmsghdr 16 bytes (len u32, type u16, flags u16, seq u32,
// pid u32); cn_msg 20 bytes (idx u32, val u32, seq u32, ack u32, len u16,
// flags u16); w1_netlink_msg 12 bytes (type u8, status u8, len u16, id u32,
// reserved u32); w1_netlink_cmd 4 bytes (cmd u8, reserved u8, len u16).
constexpr size_t kNlHeader = 16;
constexpr size_t kCnHeader = 20;
constexpr size_t kMsgHeader = 12;
constexpr size_t kCmdHeader = 4;

uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
  uint16_t v;
  std::memcpy(&v, b.data() + at, 2);
  return v;
}
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
void Put8(std::vector<uint8_t>& b, uint8_t v) { b.push_back(v); }
void Put16(std::vector<uint8_t>& b, uint16_t v) {
  const auto* p = reinterpret_cast<const uint8_t*>(&v);
  b.insert(b.end(), p, p + 2);
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  const auto* p = reinterpret_cast<const uint8_t*>(&v);
  b.insert(b.end(), p, p + 4);
}

// One cn_msg with one w1 message and optionally one command.
std::vector<uint8_t> CnMessage(uint32_t idx, uint32_t seq, uint32_t ack, uint8_t type,
                               uint8_t status, uint32_t id, std::optional<uint8_t> cmd,
                               const std::vector<uint8_t>& data) {
  const size_t msgLen = cmd ? kCmdHeader + data.size() : data.size();
  std::vector<uint8_t> out;
  Put32(out, idx);
  Put32(out, kW1Val);
  Put32(out, seq);
  Put32(out, ack);
  Put16(out, static_cast<uint16_t>(kMsgHeader + msgLen));
  Put16(out, 0);
  Put8(out, type);
  Put8(out, status);
  Put16(out, static_cast<uint16_t>(msgLen));
  Put32(out, id);
  Put32(out, 0);
  if (cmd) {
    Put8(out, *cmd);
    Put8(out, 0);
    Put16(out, static_cast<uint16_t>(data.size()));
  }
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

// A netlink datagram around one or more cn_msg, as the connector sends them.
std::vector<uint8_t> Datagram(uint32_t seq, const std::vector<std::vector<uint8_t>>& cns) {
  std::vector<uint8_t> payload;
  for (const auto& cn : cns) payload.insert(payload.end(), cn.begin(), cn.end());
  std::vector<uint8_t> out;
  Put32(out, static_cast<uint32_t>(kNlHeader + payload.size()));
  Put16(out, kNlmsgDone);
  Put16(out, 0);
  Put32(out, seq);
  Put32(out, 0);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

int OpenNetlink(uint32_t* portId) {
  const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, kNetlinkConnector);
  if (fd < 0) return -1;
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  socklen_t length = sizeof local;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    ::close(fd);
    return -1;
  }
  *portId = local.nl_pid;
  return fd;
}

}  // namespace

bool FakeW1Kernel::NetlinkUsable() {
  uint32_t a = 0;
  uint32_t b = 0;
  const int fa = OpenNetlink(&a);
  const int fb = OpenNetlink(&b);
  bool usable = false;
  if (fa >= 0 && fb >= 0) {
    // Sending to a port other than the kernel's needs CAP_NET_ADMIN.
    const std::vector<uint8_t> probe = Datagram(0, {});
    sockaddr_nl to{};
    to.nl_family = AF_NETLINK;
    to.nl_pid = b;
    usable = ::sendto(fa, probe.data(), probe.size(), 0, reinterpret_cast<sockaddr*>(&to),
                      sizeof to) == static_cast<ssize_t>(probe.size());
  }
  if (fa >= 0) ::close(fa);
  if (fb >= 0) ::close(fb);
  return usable;
}

FakeW1Kernel::FakeW1Kernel(Transport transport, std::optional<FobImage> fob,
                           std::vector<uint32_t> masters)
    : transport_(transport), bus_(std::move(fob)), masters_(std::move(masters)) {
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  if (transport_ == Transport::Netlink) {
    netlinkFd_ = OpenNetlink(&netlinkPortId_);
    uint32_t unused = 0;
    impostorFd_ = OpenNetlink(&unused);
    if (netlinkFd_ < 0 || impostorFd_ < 0) {
      throw std::runtime_error("cannot bind a NETLINK_CONNECTOR socket");
    }
  }
  thread_ = std::thread([this] { Run(); });
}

FakeW1Kernel::~FakeW1Kernel() {
  Stop();
  ::close(wakeRead_);
  ::close(wakeWrite_);
}

W1NetlinkOptions FakeW1Kernel::Options(std::chrono::milliseconds timeout) {
  W1NetlinkOptions options;
  options.exchangeTimeout = timeout;
  if (transport_ == Transport::Netlink) {
    options.kernelPortId = netlinkPortId_;
  } else {
    options.openSocket = [this]() -> int {
      int pair[2];
      if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, pair) != 0) return -1;
      {
        std::lock_guard lock(mutex_);
        if (stop_) {
          ::close(pair[0]);  // nobody on the kernel side any more
        } else {
          pairFds_.push_back(pair[0]);
        }
      }
      const char wake = 1;
      [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &wake, 1);
      return pair[1];
    };
  }
  return options;
}

void FakeW1Kernel::QueueFault(Fault fault) {
  std::lock_guard lock(mutex_);
  faults_.push_back(fault);
}

void FakeW1Kernel::RemoveMasters() {
  std::lock_guard lock(mutex_);
  masters_.clear();
}

void FakeW1Kernel::ResetAlwaysReportsPresence() {
  std::lock_guard lock(mutex_);
  resetAlwaysPresent_ = true;
}

void FakeW1Kernel::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  const char wake = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &wake, 1);
  thread_.join();
  std::lock_guard lock(mutex_);
  if (netlinkFd_ >= 0) ::close(netlinkFd_);
  if (impostorFd_ >= 0) ::close(impostorFd_);
  netlinkFd_ = -1;
  impostorFd_ = -1;
  for (int fd : pairFds_) ::close(fd);
  pairFds_.clear();
}

std::vector<FakeW1Kernel::Request> FakeW1Kernel::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

int FakeW1Kernel::MalformedRequests() {
  std::lock_guard lock(mutex_);
  return malformed_;
}

void FakeW1Kernel::Run() {
  std::vector<uint8_t> buffer(65536);
  while (!stop_) {
    std::vector<pollfd> fds{{wakeRead_, POLLIN, 0}};
    {
      std::lock_guard lock(mutex_);
      if (netlinkFd_ >= 0) fds.push_back({netlinkFd_, POLLIN, 0});
      for (int fd : pairFds_) fds.push_back({fd, POLLIN, 0});
    }
    if (::poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[0].revents & POLLIN) {
      char drain[64];
      [[maybe_unused]] const ssize_t n = ::read(wakeRead_, drain, sizeof drain);
    }
    for (size_t i = 1; i < fds.size() && !stop_; ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      sockaddr_nl from{};
      socklen_t fromLength = sizeof from;
      const ssize_t size = ::recvfrom(fds[i].fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                      reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (size <= 0) continue;
      const Peer peer{fds[i].fd, transport_ == Transport::Netlink ? from.nl_pid : 0};
      Handle(peer, std::vector<uint8_t>(buffer.begin(), buffer.begin() + size));
    }
  }
}

void FakeW1Kernel::SendTo(const Peer& peer, const std::vector<uint8_t>& datagram) {
  if (transport_ == Transport::Netlink) {
    sockaddr_nl to{};
    to.nl_family = AF_NETLINK;
    to.nl_pid = peer.portId;
    ::sendto(peer.fd, datagram.data(), datagram.size(), MSG_DONTWAIT,
             reinterpret_cast<sockaddr*>(&to), sizeof to);
  } else {
    ::send(peer.fd, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
  }
}

void FakeW1Kernel::Handle(const Peer& peer, const std::vector<uint8_t>& d) {
  std::lock_guard lock(mutex_);
  // The request must be one nlmsghdr, one cn_msg for w1, one w1 message and
  // at most one command, each length exact.
  if (d.size() < kNlHeader + kCnHeader + kMsgHeader || Get32(d, 0) != d.size() ||
      Get16(d, 4) != kNlmsgDone || Get32(d, 16) != kW1Idx || Get32(d, 20) != kW1Val ||
      Get16(d, 32) != d.size() - kNlHeader - kCnHeader ||
      Get16(d, 38) != d.size() - kNlHeader - kCnHeader - kMsgHeader) {
    ++malformed_;
    return;
  }
  const uint32_t seq = Get32(d, 24);
  const uint32_t ack = Get32(d, 28);
  Request request;
  request.cnFlags = Get16(d, 34);
  request.type = d[36];
  request.masterId = Get32(d, 40);
  const size_t msgLen = Get16(d, 38);
  if (msgLen > 0) {
    if (msgLen < kCmdHeader || Get16(d, 50) != msgLen - kCmdHeader) {
      ++malformed_;
      return;
    }
    request.cmd = d[48];
    request.data.assign(d.begin() + 52, d.end());
  }
  requests_.push_back(request);

  std::optional<Fault> fault;
  if (!faults_.empty()) {
    fault = faults_.front();
    faults_.pop_front();
  }

  if (request.type == kListMasters) {
    if (fault == Fault::DropReplies) return;
    std::vector<uint8_t> ids;
    for (uint32_t id : masters_) Put32(ids, id);
    SendTo(peer,
           Datagram(seq, {CnMessage(kW1Idx, seq, seq + 1, kListMasters, 0, 0, std::nullopt, ids)}));
    return;
  }

  // Unknown master, or a message without a command: the kernel answers with
  // the request's headers and an errno in the status.
  const bool known =
      std::find(masters_.begin(), masters_.end(), request.masterId) != masters_.end();
  if (request.type != kMasterCmd || !known || !request.cmd) {
    const uint8_t status = request.type != kMasterCmd || !request.cmd ? EPROTO : ENODEV;
    SendTo(peer, Datagram(seq, {CnMessage(kW1Idx, seq, ack, request.type, status, request.masterId,
                                          std::nullopt, {})}));
    return;
  }

  // Carry the command out on the bus.
  uint8_t status = 0;
  std::vector<uint8_t> result;
  switch (*request.cmd) {
    case kCmdReset:
      // The bus reset's "no device" result comes back negated into a byte.
      if (!bus_.Reset() && !resetAlwaysPresent_) status = 0xFF;
      break;
    case kCmdRead:
      for (size_t i = 0; i < request.data.size(); ++i) result.push_back(bus_.TouchByte(0xFF));
      break;
    case kCmdTouch:
      for (uint8_t b : request.data) result.push_back(bus_.TouchByte(b));
      break;
    case kCmdWrite:
      for (uint8_t b : request.data) bus_.TouchByte(b);
      break;
    default:
      status = EINVAL;
  }
  if (fault == Fault::DropReplies) return;

  const uint8_t cmd = *request.cmd;
  std::vector<uint8_t> dataReply;
  if (!result.empty()) {
    dataReply = CnMessage(kW1Idx, seq, seq + 1, kMasterCmd, 0, request.masterId, cmd, result);
  }

  if (fault == Fault::ErrorStatus) {
    SendTo(
        peer,
        Datagram(seq, {CnMessage(kW1Idx, seq, ack, kMasterCmd, EIO, request.masterId, cmd, {})}));
    return;
  }
  if (fault == Fault::Garbage) {
    std::vector<uint8_t> noise(37);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 73 + 5);
    SendTo(peer, noise);
  }
  // The damaged and unrelated messages carry a wrong byte: taking one of them
  // for the reply changes the result.
  std::vector<uint8_t> wrong(request.data.size(), 0x5A);
  if (fault == Fault::TruncatedNetlink) {
    std::vector<uint8_t> cut = Datagram(
        seq, {CnMessage(kW1Idx, seq, seq + 1, kMasterCmd, 0, request.masterId, cmd, wrong)});
    cut.resize(cut.size() - 1);
    SendTo(peer, cut);
  }
  if (fault == Fault::TruncatedW1) {
    std::vector<uint8_t> cn =
        CnMessage(kW1Idx, seq, seq + 1, kMasterCmd, 0, request.masterId, cmd, wrong);
    // The command claims two more bytes than the cn_msg holds.
    const uint16_t claimed = static_cast<uint16_t>(wrong.size() + 2);
    std::memcpy(cn.data() + kCnHeader + kMsgHeader + 2, &claimed, 2);
    SendTo(peer, Datagram(seq, {cn}));
  }
  if (fault == Fault::Unrelated) {
    // Another connector user (process events), same sequence number.
    SendTo(
        peer,
        Datagram(seq, {CnMessage(1, seq, seq + 1, kMasterCmd, 0, request.masterId, cmd, wrong)}));
    // A late reply to some other request.
    SendTo(peer, Datagram(seq + 7, {CnMessage(kW1Idx, seq + 7, seq + 8, kMasterCmd, 0,
                                              request.masterId, cmd, wrong)}));
    // The same request number, but for another master.
    SendTo(peer, Datagram(seq, {CnMessage(kW1Idx, seq, seq + 1, kMasterCmd, 0, request.masterId + 1,
                                          cmd, wrong)}));
    // A new master came up.
    SendTo(peer, Datagram(99, {CnMessage(kW1Idx, 99, 0, kMasterAdd, 0, 2, std::nullopt, {})}));
    // A perfect reply, but from another process's netlink socket.
    if (transport_ == Transport::Netlink) {
      SendTo(Peer{impostorFd_, peer.portId},
             Datagram(seq, {CnMessage(kW1Idx, seq, seq + 1, kMasterCmd, 0, request.masterId, cmd,
                                      wrong)}));
    }
  }

  const std::vector<uint8_t> statusReply =
      CnMessage(kW1Idx, seq, ack, kMasterCmd, status, request.masterId, cmd, {});
  if (request.cnFlags & kBundle) {
    if (dataReply.empty()) {
      SendTo(peer, Datagram(seq, {statusReply}));
    } else {
      SendTo(peer, Datagram(seq, {dataReply, statusReply}));
    }
  } else {
    if (!dataReply.empty()) SendTo(peer, Datagram(seq, {dataReply}));
    SendTo(peer, Datagram(seq, {statusReply}));
  }
}

}  // namespace vintok::ibutton::testing
