#include "ibutton/simulated_bus.h"

#include <gtest/gtest.h>

#include <vector>

namespace vintok::ibutton {
namespace {

FobImage Parse(const char* text) {
  FobParseResult parsed = ParseFobText(text);
  EXPECT_TRUE(parsed.fob.has_value()) << parsed.faultLine << ": " << parsed.fault;
  return parsed.fob.value_or(FobImage{});
}

std::vector<uint8_t> ReadMemory(SimulatedBus& bus, uint8_t address, int count) {
  bus.Reset();
  for (uint8_t b : {uint8_t{0xCC}, uint8_t{0xF0}, address, uint8_t{0x00}}) EXPECT_EQ(bus.TouchByte(b), b);
  std::vector<uint8_t> bytes;
  for (int i = 0; i < count; ++i) bytes.push_back(bus.TouchByte(0xFF));
  return bytes;
}

TEST(FobFile, ParsesEveryValueForm) {
  FobImage fob = Parse(
      "# sample\n"
      "ROM = 01 a2 B3 C4 D5 E6 F7 08   # comment\r\n"
      "\n"
      "slot 0 = 2012-06-19 10:00:00\n"
      "Slot 2 = -1\n"
      "SLOT 5 = 0x7FFFFFFF\n"
      "slot 7 = 1340100750 2012-06-19 10:12:31 0x80000000\n");
  EXPECT_EQ(fob.rom, (std::array<uint8_t, 8>{0x01, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7, 0x08}));
  EXPECT_EQ(fob.slotValues[0], std::vector<uint32_t>{1340100000u});
  EXPECT_EQ(fob.slotValues[2], std::vector<uint32_t>{0xFFFFFFFFu});
  EXPECT_EQ(fob.slotValues[5], std::vector<uint32_t>{0x7FFFFFFFu});
  EXPECT_EQ(fob.slotValues[7], (std::vector<uint32_t>{1340100750u, 1340100751u, 0x80000000u}));
  EXPECT_TRUE(fob.slotValues[1].empty());
}

TEST(FobFile, MalformedLinesAreNamed) {
  struct Case {
    const char* text;
    int line;
    const char* fault;
  } cases[] = {
      {"slot 32 = 1\n", 1, "slot '32' is not a slot from 0 to 31"},
      {"\nrom = 01 02\n", 2, "rom needs exactly 8 bytes, found 2"},
      {"rom = 01 02 03 04 05 06 07 0G\n", 1, "'0G' is not a hex byte"},
      {"slot 1 = 12abc\n", 1, "'12abc' is not a signed 32-bit number of seconds"},
      {"slot 1 = 2147483648\n", 1, "'2147483648' is not a signed 32-bit number of seconds"},
      {"slot 1 = 0x1234\n", 1, "'0x1234' is not 8 hex digits"},
      {"slot 1 = 2012-02-30 10:00:00\n", 1, "'2012-02-30 10:00:00' is not a valid date and time"},
      {"slot 1 = 2012-02-03\n", 1, "date '2012-02-03' without a time"},
      {"slot 1 =\n", 1, "slot without a value"},
      {"colour = red\n", 1, "unknown keyword 'colour'"},
      {"just words\n", 1, "expected 'rom = ...' or 'slot N = ...'"},
  };
  for (const Case& c : cases) {
    FobParseResult parsed = ParseFobText(c.text);
    EXPECT_FALSE(parsed.fob.has_value()) << c.text;
    EXPECT_EQ(parsed.faultLine, c.line) << c.text;
    EXPECT_EQ(parsed.fault, c.fault) << c.text;
  }
}

TEST(SimulatedBus, ReadRomAndMemoryFollowTheCommandStream) {
  SimulatedBus bus(Parse("rom = 01 A2 B3 C4 D5 E6 F7 08\nslot 0 = 0x01020304\nslot 31 = 0x0A0B0C0D\n"));
  EXPECT_TRUE(bus.Reset());
  EXPECT_EQ(bus.TouchByte(0x33), 0x33);
  std::vector<uint8_t> rom;
  for (int i = 0; i < 8; ++i) rom.push_back(bus.TouchByte(0xFF));
  EXPECT_EQ(rom, (std::vector<uint8_t>{0x01, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7, 0x08}));

  EXPECT_EQ(ReadMemory(bus, 0, 8), (std::vector<uint8_t>{1, 2, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF}));
  // Slot 31 at address 124; memory past the 32 slots reads 0xFF.
  EXPECT_EQ(ReadMemory(bus, 124, 6), (std::vector<uint8_t>{0x0A, 0x0B, 0x0C, 0x0D, 0xFF, 0xFF}));
}

TEST(SimulatedBus, EachReadMemoryCommandSeesTheNextValue) {
  SimulatedBus bus(Parse("slot 1 = 0x00000001 0x00000002\n"));
  EXPECT_EQ(ReadMemory(bus, 4, 4), (std::vector<uint8_t>{0, 0, 0, 1}));
  EXPECT_EQ(ReadMemory(bus, 0, 8), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 2}));
  EXPECT_EQ(ReadMemory(bus, 4, 4), (std::vector<uint8_t>{0, 0, 0, 2}));  // the last one stays
}

TEST(SimulatedBus, SilentWithoutFobOrAfterUnknownCommand) {
  SimulatedBus empty(std::nullopt);
  EXPECT_FALSE(empty.Reset());
  EXPECT_EQ(empty.TouchByte(0x33), 0x33);
  EXPECT_EQ(empty.TouchByte(0xFF), 0xFF);

  SimulatedBus bus(Parse("rom = 01 02 03 04 05 06 07 08\nslot 0 = 0\n"));
  bus.Reset();
  bus.TouchByte(0x55);  // Match ROM is not supported: the fob goes quiet
  EXPECT_EQ(bus.TouchByte(0xFF), 0xFF);
  bus.Reset();
  bus.TouchByte(0xCC);
  bus.TouchByte(0xAA);  // not Read Memory
  EXPECT_EQ(bus.TouchByte(0xFF), 0xFF);
}

}  // namespace
}  // namespace vintok::ibutton
