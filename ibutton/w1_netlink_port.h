#pragma once

// The Linux kernel's 1-Wire bus masters (DS2490 USB adapter, DS2482 I2C
// bridge, w1-gpio, ...) reached through the w1 netlink connector. Linux only:
// this file is not part of other builds.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "ibutton/onewire_driver.h"

namespace vintok::ibutton {

// How the backend reaches the kernel. The defaults talk to the real kernel; a
// test puts a stand-in at the other end.
struct W1NetlinkOptions {
  // Netlink port id the requests go to. The kernel is 0; a stand-in binds its
  // own NETLINK_CONNECTOR socket and gives its port id here. Replies from any
  // other netlink sender are ignored.
  uint32_t kernelPortId = 0;

  // Longest wait for one request and its replies. A reply that has not come
  // by then counts as lost and the call fails.
  std::chrono::milliseconds exchangeTimeout{1000};

  // Opens the datagram socket the backend talks through and returns its
  // descriptor (the backend closes it), or -1. Empty: a NETLINK_CONNECTOR
  // socket bound to a port id the kernel picks. A test may return one end of
  // an AF_UNIX socket pair carrying the same datagrams; a socket that is not a
  // netlink socket is used as connected (no address on send or receive).
  std::function<int()> openSocket;

  // Ask the kernel to bundle the replies of a request into one datagram
  // (W1_CN_BUNDLE). Older kernels reject the flag, so it is off by default.
  bool bundleReplies = false;

  // Send bytes other than 0xFF as a byte write and return the byte sent,
  // instead of a touch. Faster on masters where the kernel touches bit by bit
  // (the DS2490), but then a device pulling the line low during that byte goes
  // unseen. The reader only sends command and address bytes that way.
  bool writeInsteadOfTouch = false;
};

// The bus master a setting names: "w1" (the lowest-numbered master the kernel
// lists) or "w1:N" (master N, as in /sys/bus/w1/devices/w1_bus_masterN,
// N from 1 to 32767). Anything else is no w1 setting: nullopt.
struct W1MasterSetting {
  std::optional<uint32_t> masterId;  // empty: the lowest-numbered master
};
std::optional<W1MasterSetting> ParseW1Setting(std::string_view setting);

// Port type reported by TMReadDefaultPort for a w1 bus master; the port number
// is the master's id.
inline constexpr int16_t kW1PortType = 6;

// A OneWireDriver over the w1 netlink connector:
//   TMReadDefaultPort   lists the masters (W1_LIST_MASTERS); 1 and the chosen
//                       master's id when it is listed, 0 when the list fails,
//                       is empty, or lacks the master the setting names
//   TMExtendedStartSession  opens a fresh socket; a handle above 0, or 0 when
//                       no socket can be opened. Only the latest session is
//                       live: starting one ends the one before.
//   TMSetup             1 when the master answers a bus reset, 0 otherwise
//   TMTouchReset        W1_CMD_RESET: 1 presence seen (or a master that
//                       cannot tell, such as the DS2490), 0 no presence,
//                       negative on failure
//   TMTouchByte         0xFF: a one-byte W1_CMD_READ; other bytes: a one-byte
//                       W1_CMD_TOUCH (see writeInsteadOfTouch). The byte on
//                       the line, or negative on failure.
// Once an exchange of a session is lost (timeout, socket failure, master
// gone), every later call of that session fails at once: a master unplugged
// mid-read costs one timeout, not one per byte. The next session tries anew.
class W1NetlinkPort : public OneWireDriver {
 public:
  W1NetlinkPort(W1MasterSetting setting, W1NetlinkOptions options);
  ~W1NetlinkPort() override;
  W1NetlinkPort(const W1NetlinkPort&) = delete;
  W1NetlinkPort& operator=(const W1NetlinkPort&) = delete;

  int16_t TMReadDefaultPort(int16_t* portNum, int16_t* portType) override;
  int16_t Get_Version(char* buffer) override;
  int32_t TMExtendedStartSession(int16_t portNum, int16_t portType, void* reserved) override;
  int16_t TMSetup(int32_t handle) override;
  int16_t TMRom(int32_t handle, void* stateBuffer, int16_t* rom) override;
  int16_t TMTouchReset(int32_t handle) override;
  int16_t TMTouchByte(int32_t handle, int16_t byte) override;
  int16_t TMEndSession(int32_t handle) override;

 private:
  class Channel;

  bool SessionUsable(int32_t handle) const;

  W1MasterSetting setting_;
  W1NetlinkOptions options_;
  std::unique_ptr<Channel> session_;  // the live session's socket, if any
  int32_t handle_ = 0;                // handle of the live session, 0 when none
  uint32_t masterId_ = 0;             // master the live session works on
  int32_t lastHandle_ = 0;
  bool broken_ = false;  // an exchange of the live session was lost
};

// The backend for a "w1" or "w1:N" setting; nullptr for any other setting.
std::unique_ptr<OneWireDriver> CreateW1NetlinkPort(std::string_view setting,
                                                   W1NetlinkOptions options = {});

}  // namespace vintok::ibutton
