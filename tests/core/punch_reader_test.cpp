#include "ibutton/punch_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ibutton/null_port.h"
#include "ibutton/simulated_port.h"
#include "recording_driver.h"

namespace vintok::ibutton {
namespace {

using testing::RecordingDriver;
using Trace = std::vector<std::string>;

std::string FobPath(const std::string& name) {
  return std::string(VINTOK_TEST_DATA_DIR) + "/fobs/" + name;
}

// Punch times of the clean fob, as the boxes wrote them (UTC).
constexpr int32_t kStart = 1340092800;   // 2012-06-19 08:00:00
constexpr int32_t kSlot1 = 1340094310;   // 08:25:10
constexpr int32_t kSlot2 = 1340093550;   // 08:12:30
constexpr int32_t kSlot3 = 1340095200;   // 08:40:00
constexpr int32_t kFinish = 1340095925;  // 08:52:05

// A reader on the simulated port, with every driver call and pause in one log.
struct Rig {
  explicit Rig(const std::string& fobFile, Edition edition = Edition::Current)
      : port(FobPath(fobFile)),
        driver(port),
        session(std::make_unique<DriverSessionData>()),
        reader(
            driver, *session,
            [this](int ms) {
              driver.log.push_back("pause " + std::to_string(ms));
              ++pauses;
              pauseMs += ms;
            },
            edition, SimulatedPort::kPortNum, SimulatedPort::kPortType) {}

  FobRead Read(int32_t utcOffset = 0) { return reader.Read("12", "12", utcOffset); }

  SimulatedPort port;
  RecordingDriver driver;
  std::unique_ptr<DriverSessionData> session;
  int pauses = 0;
  int pauseMs = 0;
  PunchMemoryReader reader;
};

// The conversation a read should have with the fob, built from the protocol.
void Add(Trace& trace, const Trace& more) { trace.insert(trace.end(), more.begin(), more.end()); }

Trace Opening(int h, bool setup) {
  const std::string hs = std::to_string(h);
  Trace t{"start 1 0"};
  if (setup) t.push_back("setup " + hs);
  t.push_back("rom " + hs);
  Add(t, {"reset " + hs, "touch " + hs + " 33", "pause 2"});
  for (int i = 0; i < 8; ++i) Add(t, {"touch " + hs + " FF", "pause 2"});
  return t;
}

Trace MemoryCommand(int h, int slot) {
  const std::string hs = std::to_string(h);
  char address[3];
  std::snprintf(address, sizeof address, "%02X", slot * 4);
  return {"reset " + hs, "touch " + hs + " CC",         "pause 2", "touch " + hs + " F0",
          "pause 2",     "touch " + hs + " " + address, "pause 2", "touch " + hs + " 00",
          "pause 2"};
}

Trace Values(int h, int count) {
  const std::string touch = "touch " + std::to_string(h) + " FF";
  Trace t;
  for (int i = 0; i < count; ++i) Add(t, {touch, touch, touch, touch, "pause 2"});
  return t;
}

Trace CurrentRead(int h, bool setup, const std::vector<int>& readAgain, bool fails) {
  Trace t = Opening(h, setup);
  for (int pass = 0; pass < 2; ++pass) {
    Add(t, MemoryCommand(h, 0));
    Add(t, Values(h, 32));
  }
  t.push_back("pause 2");
  for (int slot : readAgain) {
    Add(t, MemoryCommand(h, slot));
    Add(t, Values(h, 1));
  }
  t.push_back("pause 10");
  if (fails) t.push_back("end " + std::to_string(h));
  return t;
}

Trace EarlierRead(int h, bool setup, bool fails) {
  Trace t = Opening(h, setup);
  for (int pass = 0; pass < 2; ++pass) {
    Add(t, MemoryCommand(h, 0));
    Add(t, Values(h, 32));
  }
  t.push_back("pause 20");
  if (fails) t.push_back("end " + std::to_string(h));
  return t;
}

const std::array<std::string, 8> kCleanCells{"08", "F7", "E6", "D5", "C4", "B3", "A2", "01"};
const std::array<std::string, 8> kNoDeviceCells{"FF", "FF", "FF", "FF", "FF", "FF", "FF", "FF"};

TEST(PunchMemoryReader, CleanFobIsReadVerifiedAndLeavesTheSessionOpen) {
  Rig rig("agree.txt");
  const FobRead read = rig.Read();

  ASSERT_EQ(read.outcome, ReadOutcome::Verified);
  EXPECT_EQ(rig.driver.log, CurrentRead(1, true, {}, false));
  EXPECT_EQ(rig.pauses, 83);
  EXPECT_EQ(rig.pauseMs, 174);
  EXPECT_EQ(rig.driver.Count("reset"), 3);
  EXPECT_EQ(rig.driver.Count("touch"), 273);
  EXPECT_EQ(rig.driver.Count("end"), 0);

  ASSERT_TRUE(read.rom.has_value());
  EXPECT_EQ(read.rom->bytesRead,
            (std::array<uint8_t, 8>{0x01, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7, 0x08}));
  EXPECT_EQ(read.rom->cells, kCleanCells);  // first byte read in column 7
  EXPECT_EQ(read.rom->value, 0x01A2B3C4D5E6F708);
  EXPECT_EQ(read.rom->text, "117854198248699656");

  std::array<int32_t, 32> expected;
  expected.fill(-1);
  expected[0] = kStart;
  expected[1] = kSlot1;
  expected[2] = kSlot2;
  expected[3] = kSlot3;
  expected[31] = kFinish;
  EXPECT_EQ(read.table.punch, expected);
  EXPECT_EQ(read.table.verify, expected);

  // TMRom works on the process's state buffer and a zero-filled buffer.
  EXPECT_EQ(rig.driver.lastStateBuffer, rig.session->TMStateBuffer.data());
  EXPECT_TRUE(rig.driver.romBufferWasZero);
  EXPECT_EQ(rig.session->SessionHandle, 1);
  EXPECT_TRUE(rig.reader.SetupDone());
}

struct FobCase {
  const char* file;
  ReadOutcome outcome;
  std::vector<int> readAgain;  // slots read a third time, in order
  std::string romText;
  std::array<std::string, 8> cells;
  std::vector<std::array<int32_t, 3>> slots;  // slot, punch, verify
};

TEST(PunchMemoryReader, FobTable) {
  const FobCase cases[] = {
      {"agree.txt",
       ReadOutcome::Verified,
       {},
       "117854198248699656",
       kCleanCells,
       {{0, kStart, kStart}, {31, kFinish, kFinish}, {4, -1, -1}}},
      // The third read agrees with the second pass: that value is taken.
      {"settles-second.txt",
       ReadOutcome::Verified,
       {2},
       "117854198248699656",
       kCleanCells,
       {{2, 2000, 2000}, {31, kFinish, kFinish}}},
      // The third read agrees with the first pass: the first pass stands.
      {"settles-first.txt",
       ReadOutcome::Verified,
       {2},
       "117854198248699656",
       kCleanCells,
       {{2, 1000, 2000}, {31, kFinish, kFinish}}},
      // Slot 3 never agrees, yet slot 31 is still read again (address 124)
      // and settles; the read fails.
      {"never-agrees.txt",
       ReadOutcome::Failed,
       {3, 31},
       "117854198248699656",
       kCleanCells,
       {{3, 1000, 2000}, {31, 2, 2}}},
      // Nothing on the reader: every byte reads FF, both passes agree on -1.
      {"no-such-fob.txt",
       ReadOutcome::Failed,
       {},
       "-1",
       kNoDeviceCells,
       {{0, -1, -1}, {31, -1, -1}}},
      // Punches in memory do not save a registration number of FF x 8.
      {"all-ff-rom.txt",
       ReadOutcome::Failed,
       {},
       "-1",
       kNoDeviceCells,
       {{0, kStart, kStart}, {31, kFinish, kFinish}}},
      {"negative-rom.txt",
       ReadOutcome::Verified,
       {},
       "-9223372036854775807",
       {"01", "00", "00", "00", "00", "00", "00", "80"},
       {{0, kStart, kStart}}},
  };
  for (const FobCase& c : cases) {
    SCOPED_TRACE(c.file);
    Rig rig(c.file);
    const FobRead read = rig.Read();
    const bool fails = c.outcome == ReadOutcome::Failed;
    const int again = static_cast<int>(c.readAgain.size());

    EXPECT_EQ(read.outcome, c.outcome);
    EXPECT_EQ(rig.driver.log, CurrentRead(1, true, c.readAgain, fails));
    EXPECT_EQ(rig.pauses, 83 + 5 * again);
    EXPECT_EQ(rig.pauseMs, 174 + 10 * again);
    EXPECT_EQ(rig.driver.Count("reset"), 3 + again);
    EXPECT_EQ(rig.driver.Count("touch"), 273 + 8 * again);
    ASSERT_TRUE(read.rom.has_value());
    EXPECT_EQ(read.rom->text, c.romText);
    EXPECT_EQ(read.rom->cells, c.cells);
    for (const auto& [slot, punch, verify] : c.slots) {
      EXPECT_EQ(read.table.punch[slot], punch) << "slot " << slot;
      EXPECT_EQ(read.table.verify[slot], verify) << "slot " << slot;
    }
  }
}

TEST(PunchMemoryReader, MalformedFobFileCountsAsNothingOnTheReader) {
  Rig rig("malformed.txt");
  ::testing::internal::CaptureStderr();
  const FobRead read = rig.Read();
  const std::string err = ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(read.outcome, ReadOutcome::Failed);
  EXPECT_EQ(read.rom->text, "-1");
  EXPECT_EQ(read.table.punch[0], -1);  // the valid slot 0 line is not served either
  EXPECT_EQ(err, FobPath("malformed.txt") + ":3: slot '32' is not a slot from 0 to 31\n");
}

TEST(PunchMemoryReader, EntryTests) {
  enum Expect { Refused, Reads, Throws };
  const struct {
    const char* fob;
    const char* start;
    Expect expect;
  } cases[] = {
      {"000", "abc", Refused},  // the fob number is tested before the conversion
      {"000", "12", Refused},  {"12", "0", Refused}, {"12", "-0", Refused}, {"12", "$0", Refused},
      {"0", "7", Reads},       {"00", "7", Reads},   {"12", " 7", Reads},   {"12", "$0A", Reads},
      {"12", "-3", Reads},     {"12", "7 ", Throws}, {"12", "", Throws},    {"12", "abc", Throws},
      {" 000", "7", Reads},  // only the exact text "000" refuses
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("fob '") + c.fob + "' start '" + c.start + "'");
    Rig rig("agree.txt");
    switch (c.expect) {
      case Refused:
        EXPECT_EQ(rig.reader.Read(c.fob, c.start, 0).outcome, ReadOutcome::Refused);
        EXPECT_TRUE(rig.driver.log.empty());
        break;
      case Reads:
        EXPECT_EQ(rig.reader.Read(c.fob, c.start, 0).outcome, ReadOutcome::Verified);
        break;
      case Throws:
        try {
          rig.reader.Read(c.fob, c.start, 0);
          ADD_FAILURE() << "no conversion error";
        } catch (const std::runtime_error& e) {
          EXPECT_EQ(std::string(e.what()),
                    std::string("'") + c.start + "' is not a valid integer value");
        }
        EXPECT_TRUE(rig.driver.log.empty());
        break;
    }
    EXPECT_EQ(rig.session->SessionHandle, c.expect == Reads ? 1 : 0);
  }
}

TEST(PunchMemoryReader, SetupIsCalledUntilItOnceSucceeded) {
  const struct {
    int16_t result;
    bool ready;
  } cases[] = {{1, true}, {2, true}, {0, false}, {3, false}, {-1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    Rig rig("agree.txt");
    rig.driver.onSetup = [&](int16_t) { return c.result; };
    const FobRead read = rig.Read();
    EXPECT_EQ(rig.reader.SetupDone(), c.ready);
    if (c.ready) {
      EXPECT_EQ(read.outcome, ReadOutcome::Verified);
    } else {
      // Not ready: stop without ending the session and without touching
      // the registration number or the punch table.
      EXPECT_EQ(read.outcome, ReadOutcome::PortNotReady);
      EXPECT_EQ(rig.driver.log, (Trace{"start 1 0", "setup 1"}));
      EXPECT_FALSE(read.rom.has_value());
    }
  }

  Rig rig("agree.txt");
  int setupCalls = 0;
  rig.driver.onSetup = [&](int16_t result) { return ++setupCalls == 1 ? int16_t{0} : result; };
  EXPECT_EQ(rig.Read().outcome, ReadOutcome::PortNotReady);
  EXPECT_EQ(rig.Read().outcome, ReadOutcome::Verified);  // set up again, now ready
  EXPECT_EQ(rig.Read().outcome, ReadOutcome::Verified);  // never asked again
  EXPECT_EQ(setupCalls, 2);
  Trace expected{"start 1 0", "setup 1"};
  Add(expected, CurrentRead(2, true, {}, false));
  Add(expected, CurrentRead(3, false, {}, false));
  EXPECT_EQ(rig.driver.log, expected);
}

TEST(PunchMemoryReader, NoSessionStopsWithTheFailingHandleStored) {
  for (int32_t result : {0, -7}) {
    Rig rig("agree.txt");
    rig.driver.onStart = [&](int32_t) { return result; };
    const FobRead read = rig.Read();
    EXPECT_EQ(read.outcome, ReadOutcome::NoSession);
    EXPECT_EQ(rig.session->SessionHandle, result);
    EXPECT_EQ(rig.driver.log, Trace{"start 1 0"});
    EXPECT_FALSE(rig.reader.SetupDone());
  }

  NullPort none;
  RecordingDriver driver(none);
  DriverSessionData session;
  int pauses = 0;
  PunchMemoryReader reader(
      driver, session, [&](int) { ++pauses; }, Edition::Current, 0, 0);
  EXPECT_EQ(reader.Read("12", "12", 0).outcome, ReadOutcome::NoSession);
  EXPECT_EQ(driver.log, Trace{"start 0 0"});
  EXPECT_EQ(pauses, 0);
}

TEST(PunchMemoryReader, EachReadOpensANewSessionAndOnlyAFailedOneEndsIt) {
  Rig rig("agree.txt");
  EXPECT_EQ(rig.Read().outcome, ReadOutcome::Verified);
  EXPECT_EQ(rig.Read().outcome, ReadOutcome::Verified);
  EXPECT_EQ(rig.session->SessionHandle, 2);
  EXPECT_EQ(rig.driver.Count("start"), 2);
  EXPECT_EQ(rig.driver.Count("setup"), 1);
  EXPECT_EQ(rig.driver.Count("end"), 0);  // the first session was never ended

  Rig failing("no-such-fob.txt");
  failing.Read();
  failing.Read();
  EXPECT_EQ(failing.driver.log.back(), "end 2");
  EXPECT_EQ(failing.driver.Count("end"), 2);
}

TEST(PunchMemoryReader, ReadTimeTakesFailingExchangesAsTheyComeAndWraps) {
  const struct {
    std::array<int16_t, 4> results;
    int32_t value;
  } cases[] = {
      {{0x01, 0x02, 0x03, 0x04}, 0x01020304},
      {{0x80, 0x00, 0x00, 0x00}, INT32_MIN},
      {{0xFF, 0xFF, 0xFF, 0xFF}, -1},
      {{-1, -1, -1, -1}, -16843009},  // every exchange failed
      {{0x7FFF, -32768, 300, -2}, 2130783230},
  };
  for (const auto& c : cases) {
    Rig rig("agree.txt");
    int next = 0;
    rig.driver.onTouch = [&](int16_t, int16_t) { return c.results[next++ % 4]; };
    EXPECT_EQ(rig.reader.ReadTime(), c.value);
    EXPECT_EQ(rig.driver.log,
              (Trace{"touch 0 FF", "touch 0 FF", "touch 0 FF", "touch 0 FF", "pause 2"}));
  }
}

TEST(PunchMemoryReader, FailingExchangeInOnePassIsSettledByTheRepeatedRead) {
  // Exchange 17 (counting from 0) is the first byte of slot 1 in the first
  // pass: 0x33, 8 registration bytes, 4 command and address bytes, 4 x slot 0.
  Rig rig("agree.txt");
  int exchange = 0;
  rig.driver.onTouch = [&](int16_t, int16_t result) {
    return exchange++ == 17 ? int16_t{-1} : result;
  };
  const FobRead read = rig.Read();
  EXPECT_EQ(read.outcome, ReadOutcome::Verified);
  EXPECT_EQ(read.table.punch[1], kSlot1);
  EXPECT_EQ(read.table.verify[1], kSlot1);
  EXPECT_EQ(rig.driver.log, CurrentRead(1, true, {1}, false));

  // The repeated read fails too, with another result: it matches neither
  // pass, so the read fails and the punch keeps its first-pass value.
  Rig worse("agree.txt");
  exchange = 0;
  worse.driver.onTouch = [&](int16_t, int16_t result) {
    // Exchange 277 is the first byte of the repeated read, after the 273
    // exchanges of the two passes and 4 command and address bytes.
    const int n = exchange++;
    return n == 17 ? int16_t{-1} : n == 273 + 4 ? int16_t{-2} : result;
  };
  const FobRead bad = worse.Read();
  EXPECT_EQ(bad.outcome, ReadOutcome::Failed);
  EXPECT_EQ(bad.table.punch[1], static_cast<int32_t>(0xFFE03766u));  // -1 in place of 0x4F
  EXPECT_EQ(bad.table.verify[1], kSlot1);
  EXPECT_EQ(worse.driver.log.back(), "end 1");
}

TEST(PunchMemoryReader, EarlierEditionReadsTwoStrictPasses) {
  const struct {
    const char* file;
    ReadOutcome outcome;
  } cases[] = {
      {"agree.txt", ReadOutcome::Verified},
      // A third read would agree with the first pass, but there is none.
      {"settles-first.txt", ReadOutcome::Failed},
      {"settles-second.txt", ReadOutcome::Failed},
      {"no-such-fob.txt", ReadOutcome::Failed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Rig rig(c.file, Edition::Earlier);
    const FobRead read = rig.Read(2);
    const bool fails = c.outcome == ReadOutcome::Failed;
    EXPECT_EQ(read.outcome, c.outcome);
    // Same conversation whatever the passes give; only address 0 is sent.
    EXPECT_EQ(rig.driver.log, EarlierRead(1, true, fails));
    EXPECT_EQ(rig.pauses, 82);
    EXPECT_EQ(rig.pauseMs, 182);
    EXPECT_EQ(rig.driver.Count("reset"), 3);
    EXPECT_EQ(rig.driver.Count("touch"), 273);
    EXPECT_EQ(read.table.verify, (std::array<int32_t, 32>{}));
  }

  // The second pass moves every punch to the event's clock, also empty slots.
  Rig rig("agree.txt", Edition::Earlier);
  const FobRead read = rig.Read(2);
  EXPECT_EQ(read.table.punch[0], kStart + 7200);
  EXPECT_EQ(read.table.punch[31], kFinish + 7200);
  EXPECT_EQ(read.table.punch[4], -1 + 7200);

  Rig negative("agree.txt", Edition::Earlier);
  EXPECT_EQ(negative.Read(-5).table.punch[2], kSlot2 - 5 * 3600);

  // The shift wraps like a 32-bit register.
  Rig top("top-of-range.txt", Edition::Earlier);
  EXPECT_EQ(top.Read(1).table.punch[0], -2147480049);
}

TEST(PunchMemoryReader, CurrentEditionIgnoresTheUtcOffset) {
  Rig rig("agree.txt");
  EXPECT_EQ(rig.Read(2).table.punch[0], kStart);
}

TEST(PunchMemoryReader, SampleFobsReadAsTheirCommentsSay) {
  const std::string examples = std::string(VINTOK_TEST_DATA_DIR) + "/../../examples/";
  const struct {
    const char* file;
    ReadOutcome outcome;
    int slot;
    int32_t punch;
  } cases[] = {
      {"fob-worked-example.txt", ReadOutcome::Verified, 31, kFinish},
      {"fob-start-only.txt", ReadOutcome::Verified, 0, kStart},
      {"fob-flaky.txt", ReadOutcome::Verified, 1, kSlot1},
      {"fob-unreadable.txt", ReadOutcome::Failed, 3, kSlot3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    SimulatedPort port(examples + c.file);
    DriverSessionData session;
    PunchMemoryReader reader(
        port, session, [](int) {}, Edition::Current, SimulatedPort::kPortNum,
        SimulatedPort::kPortType);
    const FobRead read = reader.Read("12", "12", 0);
    EXPECT_EQ(read.outcome, c.outcome);
    EXPECT_EQ(read.table.punch[c.slot], c.punch);
  }
}

}  // namespace
}  // namespace vintok::ibutton

namespace vintok::ibutton {
namespace {

// A reader that goes away in the middle of a read answers every later
// exchange with an error. Those results must never pass for punches, even
// where both passes agree on them.
TEST(PunchMemoryReader, FailedExchangesNeverPassForData) {
  const struct {
    const char* what;
    int firstFailing;  // exchange number (from 0) from which every touch fails
    bool romShown;
  } cases[] = {
      {"gone before the registration number", 0, true},
      {"gone in the registration number", 5, true},
      {"gone in the first pass", 40, true},
      {"gone in the second pass", 200, true},
      {"gone during the last exchange of the second pass", 272, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig("agree.txt");
    int exchange = 0;
    rig.driver.onTouch = [&](int16_t, int16_t result) {
      return exchange++ >= c.firstFailing ? int16_t{-1} : result;
    };
    const FobRead read = rig.Read();
    EXPECT_EQ(read.outcome, ReadOutcome::Failed);
    EXPECT_EQ(read.rom.has_value(), c.romShown);
    EXPECT_EQ(rig.driver.log.back(), "end 1");
  }
}

// An error result next to 0xFF bytes reads like the empty slot's FFFFFFFF;
// the repeated read confirms the value before the slot settles.
TEST(PunchMemoryReader, FailedExchangeThatMimicsAnEmptySlotIsReadAgain) {
  Rig rig("agree.txt");
  int exchange = 0;
  // Exchange 29 is the first byte of slot 4 (empty) in the first pass.
  rig.driver.onTouch = [&](int16_t, int16_t result) {
    return exchange++ == 29 ? int16_t{-1} : result;
  };
  const FobRead read = rig.Read();
  EXPECT_EQ(read.outcome, ReadOutcome::Verified);
  EXPECT_EQ(read.table.punch[4], -1);
  EXPECT_EQ(rig.driver.log, CurrentRead(1, true, {4}, false));
}

TEST(PunchMemoryReader, EarlierEditionFailsOnAnyFailedExchange) {
  Rig rig("agree.txt", Edition::Earlier);
  int exchange = 0;
  rig.driver.onTouch = [&](int16_t, int16_t result) {
    return exchange++ == 21 ? int16_t{-1} : result;
  };
  EXPECT_EQ(rig.Read().outcome, ReadOutcome::Failed);
}

}  // namespace
}  // namespace vintok::ibutton
