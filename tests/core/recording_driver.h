#pragma once

// Test helper: a driver decorator that writes every call into a log and can
// replace results, so tests see the reader's conversation with the fob and can
// inject failing answers.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ibutton/onewire_driver.h"

namespace vintok::ibutton::testing {

class RecordingDriver : public OneWireDriver {
 public:
  explicit RecordingDriver(OneWireDriver& inner) : inner_(inner) {}

  // One line per call: "start 1 0", "setup 3", "rom 3", "reset 3",
  // "touch 3 CC", "end 3". Pauses of the counting PauseFn join the same log.
  std::vector<std::string> log;

  // Replace the inner driver's result; the argument is that result.
  std::function<int32_t(int32_t)> onStart;
  std::function<int16_t(int16_t)> onSetup;
  std::function<int16_t(int16_t sent, int16_t result)> onTouch;

  int16_t TMReadDefaultPort(int16_t* portNum, int16_t* portType) override {
    log.push_back("default");
    return inner_.TMReadDefaultPort(portNum, portType);
  }
  int16_t Get_Version(char* buffer) override {
    log.push_back("version");
    return inner_.Get_Version(buffer);
  }
  int32_t TMExtendedStartSession(int16_t portNum, int16_t portType, void* reserved) override {
    log.push_back("start " + std::to_string(portNum) + " " + std::to_string(portType) +
                  (reserved ? " reserved" : ""));
    const int32_t result = inner_.TMExtendedStartSession(portNum, portType, reserved);
    return onStart ? onStart(result) : result;
  }
  int16_t TMSetup(int32_t handle) override {
    log.push_back("setup " + std::to_string(handle));
    const int16_t result = inner_.TMSetup(handle);
    return onSetup ? onSetup(result) : result;
  }
  int16_t TMRom(int32_t handle, void* stateBuffer, int16_t* rom) override {
    log.push_back("rom " + std::to_string(handle));
    romBufferWasZero = true;
    for (int i = 0; i < 8; ++i) romBufferWasZero = romBufferWasZero && rom[i] == 0;
    lastStateBuffer = stateBuffer;
    return inner_.TMRom(handle, stateBuffer, rom);
  }
  int16_t TMTouchReset(int32_t handle) override {
    log.push_back("reset " + std::to_string(handle));
    return inner_.TMTouchReset(handle);
  }
  int16_t TMTouchByte(int32_t handle, int16_t byte) override {
    char sent[8];
    std::snprintf(sent, sizeof sent, "%02X", static_cast<unsigned>(byte & 0xFF));
    log.push_back("touch " + std::to_string(handle) + " " + sent);
    const int16_t result = inner_.TMTouchByte(handle, byte);
    return onTouch ? onTouch(byte, result) : result;
  }
  int16_t TMEndSession(int32_t handle) override {
    log.push_back("end " + std::to_string(handle));
    return inner_.TMEndSession(handle);
  }

  bool romBufferWasZero = false;
  void* lastStateBuffer = nullptr;

  // Calls whose log line starts with `prefix`.
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& line : log) n += line.rfind(prefix, 0) == 0;
    return n;
  }

 private:
  OneWireDriver& inner_;
};

}  // namespace vintok::ibutton::testing
