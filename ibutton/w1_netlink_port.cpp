#include "ibutton/w1_netlink_port.h"

#include <linux/connector.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>
#include <vector>

namespace vintok::ibutton {

namespace {

// The w1 connector protocol, as the kernel's w1 netlink documentation gives
// it. Every field is in host byte order. A datagram is
//   nlmsghdr, then one or more (bundled) cn_msg, each followed by cn_msg.len
//   bytes of w1 messages: w1_netlink_msg headers, each followed by its len
//   bytes of data, for a master command one or more w1_netlink_cmd with data.
struct W1NetlinkMsg {
  uint8_t type;
  uint8_t status;  // 0, or a positive errno from the kernel
  uint16_t len;    // bytes of data after this header
  uint32_t masterId;
  uint32_t reserved;
};
static_assert(sizeof(W1NetlinkMsg) == 12);

struct W1NetlinkCmd {
  uint8_t cmd;
  uint8_t reserved;
  uint16_t len;  // bytes of data after this header
};
static_assert(sizeof(W1NetlinkCmd) == 4);
static_assert(sizeof(cn_msg) == 20);

// enum w1_netlink_message_types
constexpr uint8_t kW1MasterCmd = 4;
constexpr uint8_t kW1ListMasters = 6;
// enum w1_commands
constexpr uint8_t kW1CmdRead = 0;
constexpr uint8_t kW1CmdWrite = 1;
constexpr uint8_t kW1CmdTouch = 4;
constexpr uint8_t kW1CmdReset = 5;
// enum w1_cn_msg_flags
constexpr uint16_t kW1CnBundle = 1;

// A W1_CMD_RESET answered with this status saw no presence pulse (the bus
// reset's "no device" result, negated into a byte). The DS2490 never reports
// one, so the reader must not depend on it.
constexpr uint8_t kStatusNoPresence = 0xFF;

constexpr size_t kReceiveBufferSize = 64 * 1024;

// One w1 message of a reply, with the command it carries, if any.
struct W1Reply {
  uint32_t seq = 0;
  uint8_t type = 0;
  uint8_t status = 0;
  uint32_t masterId = 0;
  bool hasCmd = false;
  uint8_t cmd = 0;
  std::vector<uint8_t> data;  // the command's data, or the message's without a command
};

template <typename T>
T Load(const uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// Splits the w1 messages of one cn_msg payload into replies. False when a
// length points past the payload.
bool ParseW1Messages(uint32_t seq, const uint8_t* p, size_t size, std::vector<W1Reply>& out) {
  while (size > 0) {
    if (size < sizeof(W1NetlinkMsg)) return false;
    const auto msg = Load<W1NetlinkMsg>(p);
    if (msg.len > size - sizeof msg) return false;
    const uint8_t* data = p + sizeof msg;
    W1Reply base;
    base.seq = seq;
    base.type = msg.type;
    base.status = msg.status;
    base.masterId = msg.masterId;
    if (msg.type == kW1MasterCmd && msg.len > 0) {
      size_t left = msg.len;
      while (left > 0) {
        if (left < sizeof(W1NetlinkCmd)) return false;
        const auto cmd = Load<W1NetlinkCmd>(data);
        if (cmd.len > left - sizeof cmd) return false;
        W1Reply reply = base;
        reply.hasCmd = true;
        reply.cmd = cmd.cmd;
        reply.data.assign(data + sizeof cmd, data + sizeof cmd + cmd.len);
        out.push_back(std::move(reply));
        data += sizeof cmd + cmd.len;
        left -= sizeof cmd + cmd.len;
      }
    } else {
      base.data.assign(data, data + msg.len);
      out.push_back(std::move(base));
    }
    p += sizeof msg + msg.len;
    size -= sizeof msg + msg.len;
  }
  return true;
}

// Every w1 reply of a datagram. Connector messages of other users are left
// out; a datagram whose lengths do not add up is dropped as a whole, so half
// of a damaged reply is never taken for a whole one.
std::vector<W1Reply> ParseDatagram(const uint8_t* p, size_t size) {
  std::vector<W1Reply> replies;
  while (size > 0) {
    if (size < sizeof(nlmsghdr)) return {};
    const auto nlh = Load<nlmsghdr>(p);
    if (nlh.nlmsg_len < sizeof nlh || nlh.nlmsg_len > size) return {};
    if (nlh.nlmsg_type == NLMSG_DONE) {
      // The connector sends every message as NLMSG_DONE; with bundling one
      // netlink message holds several cn_msg back to back.
      const uint8_t* cn = p + sizeof nlh;
      size_t left = nlh.nlmsg_len - sizeof nlh;
      while (left > 0) {
        if (left < sizeof(cn_msg)) return {};
        const auto header = Load<cn_msg>(cn);
        if (header.len > left - sizeof header) return {};
        if (header.id.idx == CN_W1_IDX && header.id.val == CN_W1_VAL &&
            !ParseW1Messages(header.seq, cn + sizeof header, header.len, replies)) {
          return {};
        }
        cn += sizeof header + header.len;
        left -= sizeof header + header.len;
      }
    }
    const size_t step = NLMSG_ALIGN(nlh.nlmsg_len);
    if (step >= size) break;
    p += step;
    size -= step;
  }
  return replies;
}

// One w1 request: a single message to a master (with at most one command) or
// the list of masters.
struct W1Request {
  uint8_t type = kW1MasterCmd;
  uint32_t masterId = 0;
  std::optional<uint8_t> cmd;
  std::vector<uint8_t> data;
};

std::vector<uint8_t> BuildDatagram(const W1Request& request, uint32_t seq, bool bundle) {
  const size_t cmdSize = request.cmd ? sizeof(W1NetlinkCmd) + request.data.size() : 0;
  const size_t cnSize = sizeof(W1NetlinkMsg) + cmdSize;
  std::vector<uint8_t> out(NLMSG_LENGTH(sizeof(cn_msg) + cnSize));

  nlmsghdr nlh{};
  nlh.nlmsg_len = static_cast<uint32_t>(out.size());
  nlh.nlmsg_type = NLMSG_DONE;
  nlh.nlmsg_seq = seq;
  cn_msg cn{};
  cn.id.idx = CN_W1_IDX;
  cn.id.val = CN_W1_VAL;
  cn.seq = seq;
  cn.ack = 0;
  cn.len = static_cast<uint16_t>(cnSize);
  cn.flags = bundle ? kW1CnBundle : 0;
  W1NetlinkMsg msg{};
  msg.type = request.type;
  msg.len = static_cast<uint16_t>(cmdSize);
  msg.masterId = request.masterId;

  uint8_t* p = out.data();
  std::memcpy(p, &nlh, sizeof nlh);
  p += NLMSG_HDRLEN;
  std::memcpy(p, &cn, sizeof cn);
  p += sizeof cn;
  std::memcpy(p, &msg, sizeof msg);
  p += sizeof msg;
  if (request.cmd) {
    W1NetlinkCmd cmd{};
    cmd.cmd = *request.cmd;
    cmd.len = static_cast<uint16_t>(request.data.size());
    std::memcpy(p, &cmd, sizeof cmd);
    p += sizeof cmd;
    if (!request.data.empty()) std::memcpy(p, request.data.data(), request.data.size());
  }
  return out;
}

int OpenConnectorSocket() {
  const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_CONNECTOR);
  if (fd < 0) return -1;
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;  // port id 0: the kernel picks a free one
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

using Clock = std::chrono::steady_clock;

// Milliseconds left until the deadline, rounded up so that poll never wakes
// before it; 0 once it has passed.
int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(std::min<long long>(ms, std::numeric_limits<int>::max()));
}

}  // namespace

// The socket of one session (or of one look at the master list) and the
// request/reply exchange over it.
class W1NetlinkPort::Channel {
 public:
  enum class Outcome { Answered, Lost };
  struct Answer {
    Outcome outcome = Outcome::Lost;
    uint8_t status = 0;         // the status reply's status
    std::vector<uint8_t> data;  // read/touch bytes, or the master ids
  };

  static std::unique_ptr<Channel> Open(const W1NetlinkOptions& options) {
    const int fd = options.openSocket ? options.openSocket() : OpenConnectorSocket();
    if (fd < 0) return nullptr;
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const bool netlink = ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
                         address.ss_family == AF_NETLINK;
    return std::unique_ptr<Channel>(new Channel(fd, netlink, options));
  }

  ~Channel() { ::close(fd_); }
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  // Sends the request and waits, up to the exchange timeout, for its final
  // reply: the status reply of a master command (after the data reply of a
  // read or touch), or the list of masters.
  Answer Exchange(const W1Request& request) {
    const Clock::time_point deadline = Clock::now() + options_.exchangeTimeout;
    const uint32_t seq = nextSeq_++;
    if (!Send(BuildDatagram(request, seq, options_.bundleReplies), deadline)) return {};

    Answer answer;
    bool haveData = false;
    for (;;) {
      const ssize_t size = Receive(deadline);
      if (size < 0) return {};
      for (W1Reply& reply : ParseDatagram(buffer_.data(), static_cast<size_t>(size))) {
        // Replies to earlier, timed-out requests and the kernel's add/remove
        // events carry other sequence numbers.
        if (reply.seq != seq || reply.type != request.type) continue;
        if (request.type == kW1ListMasters) {
          answer.outcome = Outcome::Answered;
          answer.status = reply.status;
          answer.data = std::move(reply.data);
          return answer;
        }
        if (reply.masterId != request.masterId) continue;
        if (reply.hasCmd && reply.cmd != *request.cmd) continue;
        if (reply.hasCmd && !reply.data.empty()) {
          // The data reply of a read or touch: as many bytes as were asked,
          // and only one per request.
          if (haveData || reply.data.size() != request.data.size()) continue;
          answer.data = std::move(reply.data);
          haveData = true;
          continue;
        }
        // The status reply ends the exchange. A read or touch that reports
        // success without its data has not delivered: treat it as lost.
        answer.status = reply.status;
        const bool wantsData = *request.cmd == kW1CmdRead || *request.cmd == kW1CmdTouch;
        if (reply.status == 0 && wantsData && !haveData) return {};
        answer.outcome = Outcome::Answered;
        return answer;
      }
    }
  }

 private:
  Channel(int fd, bool netlink, const W1NetlinkOptions& options)
      : fd_(fd), netlink_(netlink), options_(options), buffer_(kReceiveBufferSize) {}

  bool Send(const std::vector<uint8_t>& datagram, Clock::time_point deadline) {
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    kernel.nl_pid = options_.kernelPortId;
    for (;;) {
      const ssize_t sent =
          netlink_ ? ::sendto(fd_, datagram.data(), datagram.size(), MSG_DONTWAIT,
                              reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel)
                   : ::send(fd_, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
      if (sent == static_cast<ssize_t>(datagram.size())) return true;
      if (sent >= 0) return false;
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS) return false;
      if (!WaitFor(POLLOUT, deadline)) return false;
    }
  }

  // Receives the next datagram from the kernel into buffer_ and returns its
  // size; -1 when the deadline passes or the socket fails.
  ssize_t Receive(Clock::time_point deadline) {
    for (;;) {
      if (!WaitFor(POLLIN, deadline)) return -1;
      sockaddr_nl from{};
      iovec iov{buffer_.data(), buffer_.size()};
      msghdr message{};
      message.msg_name = netlink_ ? &from : nullptr;
      message.msg_namelen = netlink_ ? sizeof from : 0;
      message.msg_iov = &iov;
      message.msg_iovlen = 1;
      const ssize_t size = ::recvmsg(fd_, &message, MSG_DONTWAIT);
      if (size < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
        // The kernel dropped replies because our queue was full: they are
        // lost, and the deadline decides.
        if (errno == ENOBUFS) continue;
        return -1;
      }
      if (size == 0 && !netlink_ && hungUp_) return -1;                // the other end closed
      if (message.msg_flags & MSG_TRUNC) continue;                     // larger than any w1 reply
      if (netlink_ && from.nl_pid != options_.kernelPortId) continue;  // not the kernel
      return size;
    }
  }

  // Polls until the socket is ready for `events` or the deadline passes.
  bool WaitFor(short events, Clock::time_point deadline) {
    for (;;) {
      pollfd pfd{fd_, events, 0};
      const int ready = ::poll(&pfd, 1, MillisecondsLeft(deadline));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return false;
      if (pfd.revents & (POLLERR | POLLNVAL)) return false;
      if (pfd.revents & POLLHUP) {
        hungUp_ = true;
        if (!(pfd.revents & events)) return false;
      }
      return true;
    }
  }

  int fd_;
  bool netlink_;
  const W1NetlinkOptions& options_;
  std::vector<uint8_t> buffer_;
  uint32_t nextSeq_ = 1;
  bool hungUp_ = false;
};

std::optional<W1MasterSetting> ParseW1Setting(std::string_view setting) {
  if (setting == "w1") return W1MasterSetting{};
  constexpr std::string_view kPrefix = "w1:";
  if (setting.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  const std::string_view digits = setting.substr(kPrefix.size());
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  uint32_t id = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
  // Port numbers are 16-bit signed; the kernel numbers its masters from 1.
  if (id < 1 || id > static_cast<uint32_t>(std::numeric_limits<int16_t>::max())) {
    return std::nullopt;
  }
  return W1MasterSetting{id};
}

W1NetlinkPort::W1NetlinkPort(W1MasterSetting setting, W1NetlinkOptions options)
    : setting_(setting), options_(std::move(options)) {}

W1NetlinkPort::~W1NetlinkPort() = default;

int16_t W1NetlinkPort::TMReadDefaultPort(int16_t* portNum, int16_t* portType) {
  *portNum = 0;
  *portType = 0;
  const std::unique_ptr<Channel> channel = Channel::Open(options_);
  if (!channel) return 0;
  W1Request request;
  request.type = kW1ListMasters;
  const Channel::Answer answer = channel->Exchange(request);
  if (answer.outcome != Channel::Outcome::Answered || answer.status != 0) return 0;

  std::optional<uint32_t> chosen;
  for (size_t i = 0; i + sizeof(uint32_t) <= answer.data.size(); i += sizeof(uint32_t)) {
    const auto id = Load<uint32_t>(answer.data.data() + i);
    if (id < 1 || id > static_cast<uint32_t>(std::numeric_limits<int16_t>::max())) continue;
    if (setting_.masterId ? id == *setting_.masterId : (!chosen || id < *chosen)) chosen = id;
  }
  if (!chosen) return 0;
  *portNum = static_cast<int16_t>(*chosen);
  *portType = kW1PortType;
  return 1;
}

int16_t W1NetlinkPort::Get_Version(char* buffer) {
  constexpr char kVersion[] = "Linux kernel w1 bus master (netlink connector)";
  static_assert(sizeof kVersion <= kVersionBufferSize);
  std::memcpy(buffer, kVersion, sizeof kVersion);
  return 1;
}

int32_t W1NetlinkPort::TMExtendedStartSession(int16_t portNum, int16_t, void*) {
  session_.reset();
  handle_ = 0;
  if (portNum < 1) return 0;
  // A fresh socket per session: replies a failed read left behind go with
  // the old one.
  session_ = Channel::Open(options_);
  if (!session_) return 0;
  lastHandle_ = lastHandle_ == std::numeric_limits<int32_t>::max() ? 1 : lastHandle_ + 1;
  handle_ = lastHandle_;
  masterId_ = static_cast<uint32_t>(portNum);
  broken_ = false;
  return handle_;
}

bool W1NetlinkPort::SessionUsable(int32_t handle) const {
  return handle > 0 && handle == handle_ && session_ && !broken_;
}

int16_t W1NetlinkPort::TMSetup(int32_t handle) { return TMTouchReset(handle) >= 0 ? 1 : 0; }

int16_t W1NetlinkPort::TMRom(int32_t handle, void*, int16_t*) {
  return SessionUsable(handle) ? 1 : -1;
}

int16_t W1NetlinkPort::TMTouchReset(int32_t handle) {
  if (!SessionUsable(handle)) return -1;
  W1Request request;
  request.masterId = masterId_;
  request.cmd = kW1CmdReset;
  const Channel::Answer answer = session_->Exchange(request);
  if (answer.outcome == Channel::Outcome::Lost || answer.status == ENODEV) {
    broken_ = true;
    return -1;
  }
  if (answer.status == 0) return 1;
  if (answer.status == kStatusNoPresence) return 0;
  return -1;
}

int16_t W1NetlinkPort::TMTouchByte(int32_t handle, int16_t byte) {
  if (byte < 0 || byte > 0xFF || !SessionUsable(handle)) return -1;
  const auto sent = static_cast<uint8_t>(byte);
  W1Request request;
  request.masterId = masterId_;
  // Reading a byte is one bus-master operation; a touch goes bit by bit on
  // several masters, each bit a USB or I2C round trip.
  if (sent == 0xFF) {
    request.cmd = kW1CmdRead;
  } else {
    request.cmd = options_.writeInsteadOfTouch ? kW1CmdWrite : kW1CmdTouch;
  }
  request.data = {sent};
  const Channel::Answer answer = session_->Exchange(request);
  if (answer.outcome == Channel::Outcome::Lost || answer.status == ENODEV) {
    broken_ = true;
    return -1;
  }
  if (answer.status != 0) return -1;
  if (*request.cmd == kW1CmdWrite) return sent;
  return answer.data.at(0);
}

int16_t W1NetlinkPort::TMEndSession(int32_t handle) {
  if (handle <= 0 || handle != handle_) return 0;
  session_.reset();
  handle_ = 0;
  return 1;
}

std::unique_ptr<OneWireDriver> CreateW1NetlinkPort(std::string_view setting,
                                                   W1NetlinkOptions options) {
  const std::optional<W1MasterSetting> parsed = ParseW1Setting(setting);
  if (!parsed) return nullptr;
  return std::make_unique<W1NetlinkPort>(*parsed, std::move(options));
}

}  // namespace vintok::ibutton
