#include "ibutton/simulated_port.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ibutton/default_port.h"
#include "ibutton/null_port.h"

namespace vintok::ibutton {
namespace {

// A fob file of its own for each test, removed at the end.
class FobFile {
 public:
  explicit FobFile(const std::string& name)
      : path_((std::filesystem::temp_directory_path() /
               ("vintok-sim-" + name + "-" + std::to_string(std::random_device{}()) + ".txt"))
                  .string()) {
    std::filesystem::remove(path_);
  }
  ~FobFile() { std::filesystem::remove(path_); }
  void Write(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }
  void Remove() const { std::filesystem::remove(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::vector<int16_t> ReadRom(OneWireDriver& port, int32_t handle) {
  std::vector<int16_t> bytes{port.TMTouchReset(handle), port.TMTouchByte(handle, 0x33)};
  for (int i = 0; i < 8; ++i) bytes.push_back(port.TMTouchByte(handle, 0xFF));
  return bytes;
}

TEST(SimulatedPort, IsTheDefaultPortAndNamesItsVersion) {
  SimulatedPort port(std::string(300, 'p'));
  int16_t num = -5, type = -5;
  EXPECT_EQ(port.TMReadDefaultPort(&num, &type), 1);
  EXPECT_EQ(num, SimulatedPort::kPortNum);
  EXPECT_EQ(type, SimulatedPort::kPortType);

  // A long path must not run past the driver's version buffer.
  std::vector<char> buffer(kVersionBufferSize + 16, 'x');
  port.Get_Version(buffer.data());
  EXPECT_LT(std::strlen(buffer.data()), static_cast<size_t>(kVersionBufferSize));
  EXPECT_EQ(std::string(buffer.data()).rfind("simulated 1-Wire port", 0), 0u);
  EXPECT_EQ(buffer[kVersionBufferSize], 'x');
}

TEST(SimulatedPort, OnlyTheLatestOpenSessionIsServed) {
  FobFile fob("sessions");
  fob.Write("rom = 01 02 03 04 05 06 07 08\n");
  SimulatedPort port(fob.path());

  EXPECT_EQ(
      port.TMExtendedStartSession(SimulatedPort::kPortNum + 1, SimulatedPort::kPortType, nullptr),
      0);
  const int32_t first =
      port.TMExtendedStartSession(SimulatedPort::kPortNum, SimulatedPort::kPortType, nullptr);
  const int32_t second =
      port.TMExtendedStartSession(SimulatedPort::kPortNum, SimulatedPort::kPortType, nullptr);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);

  // The first session was never ended, but a newer one replaced it.
  int16_t rom[8]{};
  EXPECT_EQ(port.TMSetup(first), -1);
  EXPECT_EQ(port.TMRom(first, nullptr, rom), -1);
  EXPECT_EQ(port.TMTouchReset(first), -1);
  EXPECT_EQ(port.TMTouchByte(first, 0xFF), -1);
  EXPECT_EQ(port.TMEndSession(first), -1);

  EXPECT_EQ(port.TMSetup(second), 1);
  EXPECT_EQ(port.TMRom(second, nullptr, rom), 1);
  EXPECT_EQ(ReadRom(port, second), (std::vector<int16_t>{1, 0x33, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(port.TMTouchByte(second, 256), -1);
  EXPECT_EQ(port.TMTouchByte(second, -1), -1);
  EXPECT_EQ(port.TMEndSession(second), 1);
  EXPECT_EQ(port.TMTouchReset(second), -1);  // ended
  EXPECT_EQ(port.TMEndSession(second), -1);
  EXPECT_EQ(port.TMTouchReset(0), -1);
}

TEST(SimulatedPort, EverySessionLooksAtTheFileAgain) {
  FobFile fob("swap");
  SimulatedPort port(fob.path());
  auto start = [&] {
    return port.TMExtendedStartSession(SimulatedPort::kPortNum, SimulatedPort::kPortType, nullptr);
  };

  // No file: no presence pulse, the line stays high.
  int32_t h = start();
  EXPECT_GT(h, 0);
  EXPECT_EQ(ReadRom(port, h),
            (std::vector<int16_t>{0, 0x33, 255, 255, 255, 255, 255, 255, 255, 255}));

  fob.Write("rom = 01 02 03 04 05 06 07 08\n");
  EXPECT_EQ(ReadRom(port, h)[0], 0);  // the open session keeps what it found
  h = start();
  EXPECT_EQ(ReadRom(port, h), (std::vector<int16_t>{1, 0x33, 1, 2, 3, 4, 5, 6, 7, 8}));

  fob.Write("rom = A1 A2 A3 A4 A5 A6 A7 A8\n");
  h = start();
  EXPECT_EQ(ReadRom(port, h),
            (std::vector<int16_t>{1, 0x33, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8}));

  // A malformed file is nothing on the reader, and says why on stderr.
  fob.Write("rom = A1 A2 A3 A4 A5 A6 A7 A8\nslot 3 = soon\n");
  ::testing::internal::CaptureStderr();
  h = start();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            fob.path() + ":2: 'soon' is not a signed 32-bit number of seconds\n");
  EXPECT_EQ(ReadRom(port, h)[0], 0);

  fob.Remove();
  h = start();
  EXPECT_EQ(ReadRom(port, h)[2], 255);
}

// Which backend a port setting selects: the simulated port's fob path, or
// nothing for a port without a reader.
std::optional<std::string> SimulatedPath(OneWireDriver* driver) {
  if (auto* sim = dynamic_cast<SimulatedPort*>(driver)) return sim->FobPath();
  EXPECT_NE(dynamic_cast<NullPort*>(driver), nullptr);
  int16_t num = 0, type = 0;
  EXPECT_LT(driver->TMReadDefaultPort(&num, &type), 1);
  return std::nullopt;
}

TEST(DefaultPort, SettingSelectsTheBackend) {
  const struct {
    const char* setting;
    std::optional<std::string> simPath;
  } cases[] = {
      {"sim:/tmp/fob.txt", "/tmp/fob.txt"},
      {"sim:relative fob.txt", "relative fob.txt"},
      {"sim:C:\\fobs\\a.txt", "C:\\fobs\\a.txt"},
      {"sim:", std::nullopt},  // no file named: no port
      {"", std::nullopt},
      {"SIM:/tmp/fob.txt", std::nullopt},
      {"simulated", std::nullopt},
      {" sim:/tmp/fob.txt", std::nullopt},
      {"usb1", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting);
    auto driver = DriverForSetting(c.setting);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(SimulatedPath(driver.get()), c.simPath);
  }
}

#ifdef __linux__
// The kernel's bus masters: this machine has none, so the port reports none.
TEST(DefaultPort, W1SettingsSelectTheKernelBackend) {
  for (const char* setting : {"w1", "w1:2"}) {
    SCOPED_TRACE(setting);
    auto driver = DriverForSetting(setting);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(dynamic_cast<NullPort*>(driver.get()), nullptr);
    EXPECT_EQ(dynamic_cast<SimulatedPort*>(driver.get()), nullptr);
  }
}
#endif

#ifndef _WIN32
// Outside Windows the 1-Wire layer keeps its default port in the environment;
// on Windows it is the vendor driver's own setting.
void SetPortSetting(const char* value) {
  if (value)
    setenv("ONEWIRE_DEFAULT_PORT", value, 1);
  else
    unsetenv("ONEWIRE_DEFAULT_PORT");
}

TEST(DefaultPort, ReadsTheOneWireLayersEnvironmentSetting) {
  const char* saved = std::getenv("ONEWIRE_DEFAULT_PORT");
  const std::optional<std::string> restore =
      saved ? std::optional<std::string>(saved) : std::nullopt;

  SetPortSetting("sim:/tmp/on-the-reader.txt");
  EXPECT_EQ(SimulatedPath(CreateDefaultDriver().get()), "/tmp/on-the-reader.txt");
  SetPortSetting("");
  EXPECT_EQ(SimulatedPath(CreateDefaultDriver().get()), std::nullopt);
  SetPortSetting(nullptr);
  EXPECT_EQ(SimulatedPath(CreateDefaultDriver().get()), std::nullopt);

  SetPortSetting(restore ? restore->c_str() : nullptr);
}
#endif  // _WIN32

}  // namespace
}  // namespace vintok::ibutton
