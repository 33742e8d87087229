// Binds the 1-Wire driver library beside this program by name through the
// Windows backend and checks what comes back across the library boundary.
//
//   vendor_dll_check read FOBFILE          the stand-in driver serves FOBFILE:
//                                          registration number and 32 slots
//   vendor_dll_check missing-library       no driver library anywhere
//   vendor_dll_check missing-function NAME a driver library without NAME
//
// Prints one line per failed check and closes with "N passed, M failed";
// the exit code is 0 only when nothing failed.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ibutton/fob_file.h"
#include "ibutton/onewire_driver.h"
#include "ibutton/vendor_dll_port.h"
#include "tests/windows/driver_double.h"

namespace {

using namespace vintok::ibutton;
namespace dd = vintok::ibutton::driver_double;

constexpr int16_t kReadRom = 0x33;
constexpr int16_t kSkipRom = 0xCC;
constexpr int16_t kReadMemory = 0xF0;
constexpr int kMemoryBytes = kSlotCount * 4;

class Checks {
 public:
  template <typename A, typename B>
  void Equal(const A& actual, const B& expected, const std::string& what) {
    if (actual == expected) {
      ++passed_;
    } else {
      ++failed_;
      std::printf("FAIL %s: got %s, expected %s\n", what.c_str(), Text(actual).c_str(),
                  Text(expected).c_str());
    }
  }
  void True(bool condition, const std::string& what) { Equal(condition, true, what); }

  int Finish() const {
    std::printf("%d passed, %d failed\n", passed_, failed_);
    return failed_ == 0 && passed_ > 0 ? 0 : 1;
  }

 private:
  static std::string Text(bool value) { return value ? "true" : "false"; }
  static std::string Text(const std::string& value) { return "\"" + value + "\""; }
  static std::string Text(const char* value) { return Text(std::string(value)); }
  template <typename T>
  static std::string Text(const T& value) {
    return std::to_string(value);
  }

  int passed_ = 0;
  int failed_ = 0;
};

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

bool LibraryLoaded() { return GetModuleHandleA(kVendorLibraryName) != nullptr; }

bool LibraryBesideProgram() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, length);
  dir.erase(dir.find_last_of("\\/") + 1);
  return GetFileAttributesA((dir + kVendorLibraryName).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// What binding the library throws, or nothing.
std::optional<std::string> BindingError() {
  try {
    LoadVendorDriver();
    return std::nullopt;
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
}

void CheckMissing(Checks& checks, const std::string& expected) {
  checks.Equal(BindingError().value_or("(bound)"), expected, "error text");
  checks.True(!LibraryLoaded(), "library released after the failure");
}

// The registration number and one pass over the punch memory, exactly as the
// reader asks for them.
void CheckFobRead(Checks& checks, OneWireDriver& driver, int32_t handle, const FobImage& fob) {
  driver.TMTouchReset(handle);
  checks.Equal(driver.TMTouchByte(handle, kReadRom), kReadRom, "Read ROM echoed");
  for (int i = 0; i < 8; ++i)
    checks.Equal(driver.TMTouchByte(handle, 0xFF), fob.rom[i], "ROM byte " + std::to_string(i));

  driver.TMTouchReset(handle);
  for (int16_t byte : {kSkipRom, kReadMemory, int16_t{0x00}, int16_t{0x00}})
    checks.Equal(driver.TMTouchByte(handle, byte), byte, "command byte " + Hex(byte) + " echoed");
  std::vector<int16_t> memory;
  for (int i = 0; i < kMemoryBytes; ++i) memory.push_back(driver.TMTouchByte(handle, 0xFF));
  for (int slot = 0; slot < kSlotCount; ++slot) {
    uint32_t value = 0;
    bool bytesValid = true;
    for (int i = 0; i < 4; ++i) {
      const int16_t byte = memory[slot * 4 + i];
      bytesValid = bytesValid && byte >= 0 && byte <= 0xFF;
      value = value << 8 | static_cast<uint8_t>(byte);
    }
    const auto& values = fob.slotValues[slot];
    const uint32_t expected = values.empty() ? 0xFFFFFFFFu : values.front();
    checks.True(bytesValid, "slot " + std::to_string(slot) + " bytes in 0..255");
    checks.Equal(Hex(value), Hex(expected), "slot " + std::to_string(slot));
  }
}

void CheckRead(Checks& checks, const std::string& fobPath) {
  const std::optional<FobImage> fob = LoadFobFile(fobPath);
  checks.True(fob.has_value(), "fob file " + fobPath + " parsed");
  if (!fob) return;
  SetEnvironmentVariableA(dd::kFobVariable, fobPath.c_str());
  checks.True(LibraryBesideProgram(), std::string(kVendorLibraryName) + " beside the program");

  std::unique_ptr<OneWireDriver> driver;
  try {
    driver = LoadVendorDriver();
  } catch (const std::exception& e) {
    checks.Equal(std::string(e.what()), "", "binding");
    return;
  }
  checks.True(LibraryLoaded(), "library loaded while the backend lives");

  int16_t portNum = 0;
  int16_t portType = 0;
  checks.Equal(driver->TMReadDefaultPort(&portNum, &portType), 1, "TMReadDefaultPort");
  checks.Equal(portNum, dd::kPortNum, "default port number");
  checks.Equal(portType, dd::kPortType, "default port type");

  std::array<char, kVersionBufferSize> version;
  version.fill('x');
  driver->Get_Version(version.data());
  checks.Equal(std::string(version.data()), dd::kVersion, "version text");

  const int32_t handle = driver->TMExtendedStartSession(portNum, portType, nullptr);
  checks.True(handle > 0, "session opened");
  checks.Equal(driver->TMExtendedStartSession(portType, portNum, nullptr), 0,
               "no session on a port that is not there");
  const int32_t session = driver->TMExtendedStartSession(portNum, portType, nullptr);
  checks.True(session > 0 && session != handle, "a new session without ending the earlier one");
  checks.Equal(driver->TMSetup(session), 1, "TMSetup");

  std::vector<unsigned char> stateBuffer(kStateBufferSize, 0);
  std::array<int16_t, 8> rom{};
  driver->TMRom(session, stateBuffer.data(), rom.data());
  for (int i = 0; i < 8; ++i)
    checks.Equal(rom[i], fob->rom[i], "TMRom word " + std::to_string(i));

  CheckFobRead(checks, *driver, session, *fob);

  // Negative results keep their sign through the 16-bit return value.
  checks.Equal(driver->TMTouchByte(session + 1000, 0xFF), -1, "touch on a session that is not open");
  checks.Equal(driver->TMEndSession(session), 1, "TMEndSession");

  // The fob file is read at each session start: without one the bus is empty.
  SetEnvironmentVariableA(dd::kFobVariable, (fobPath + ".none").c_str());
  const int32_t empty = driver->TMExtendedStartSession(portNum, portType, nullptr);
  checks.True(empty > session, "session on an empty reader");
  checks.Equal(driver->TMTouchReset(empty), 0, "no presence pulse without a fob");

  driver.reset();
  checks.True(!LibraryLoaded(), "library released with the backend");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  Checks checks;
  const std::string library = kVendorLibraryName;
  const std::string install = " The 1-Wire driver must be installed to read fobs.";
  if (mode == "read" && argc == 3) {
    CheckRead(checks, argv[2]);
  } else if (mode == "missing-library" && argc == 2) {
    checks.True(!LibraryBesideProgram(), "no " + library + " beside the program");
    CheckMissing(checks, library + " could not be loaded." + install);
  } else if (mode == "missing-function" && argc == 3) {
    checks.True(LibraryBesideProgram(), library + " beside the program");
    CheckMissing(checks, library + " has no function " + argv[2] + "." + install);
  } else {
    std::fprintf(stderr,
                 "usage: vendor_dll_check read FOBFILE | missing-library | missing-function NAME\n");
    return 2;
  }
  return checks.Finish();
}
