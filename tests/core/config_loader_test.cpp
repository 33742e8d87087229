#include "config/config_loader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/clock.h"
#include "config/date_time.h"
#include "test_files.h"

namespace vintok::config {
namespace {

using vintok::testing::IniFixture;
using vintok::testing::ReadBytes;
using vintok::testing::TempDir;
using vintok::testing::WriteBytes;
using Lines = std::vector<std::string>;

// 19/06/2012 12:00:00 on the PC, 07:05:09 UTC.
class FixedClock : public Clock {
 public:
  double LocalNow() const override { return EncodeDate(2012, 6, 19) + EncodeTime(12, 0, 0, 0); }
  UtcTimeOfDay UtcNow() const override { return {7, 5, 9}; }
};

constexpr int32_t kJan2010 = 1262304000;  // 2010-01-01 00:00:00, the default event day
constexpr int32_t kJune19 = 1340064000;   // 2012-06-19 00:00:00

Lines SummaryOf(const std::string& offset, int start, int finish, const char* last) {
  return {"",
          "PC time : 19/06/2012 12:00:00",
          "UTC time: 7:5:9",
          "UTC Hours Offset: " + offset,
          "",
          "",
          "Start Control: " + std::to_string(start),
          "Finish Control: " + std::to_string(finish),
          last};
}

std::array<int32_t, kSlotCount> Slots(int32_t fill, std::map<int, int32_t> set = {}) {
  std::array<int32_t, kSlotCount> slots;
  slots.fill(fill);
  for (const auto& [slot, value] : set) slots[slot] = value;
  return slots;
}

// What a loading that happened earlier in the run left behind, so that a
// test sees which fields the next loading changes.
EventConfig EarlierLoading() {
  EventConfig config;
  config.StartControl = 5;
  config.FinishControl = 6;
  config.StartPrefix = config.FinishPrefix = config.FoxPrefix = "old";
  config.FileBase = "old";
  config.TimeLimit = 7;
  config.EventDay = config.EventMonth = config.EventYear = 11;
  config.OpenHour = config.CloseHour = config.UtcOffset = 12;
  config.EventDate = 123.0;
  config.EventDayStart = 66;
  config.WindowOpen = 77;
  config.WindowClose = 88;
  config.FoxNumbers = Slots(99);
  config.FobOffset = 44;
  return config;
}

class ConfigLoaderTest : public ::testing::Test {
 protected:
  std::string IniPath() const { return dir_.File("vintok.ini"); }
  void UseFixture(const std::string& name) { WriteBytes(IniPath(), IniFixture(name)); }
  void UseText(const std::string& text) { WriteBytes(IniPath(), text); }
  Lines Load(EventConfig& config, Edition edition = Edition::Current) {
    return LoadEventConfig(config, dir_.Dir(), clock_, edition);
  }
  // Runs a loading that must fail and returns its message.
  std::string LoadError(EventConfig& config, Edition edition = Edition::Current) {
    try {
      Load(config, edition);
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "(no error)";
  }

  TempDir dir_;
  FixedClock clock_;
};

TEST_F(ConfigLoaderTest, FirstRunWritesTheDefaultFileAndKeepsTheWindowShut) {
  EventConfig config;
  EXPECT_EQ(Load(config), SummaryOf("+0", 0, 31, "(from .INI file)"));
  EXPECT_EQ(ReadBytes(IniPath()), IniFixture("default_current.ini"));

  EXPECT_EQ(config.StartControl, 0);
  EXPECT_EQ(config.FinishControl, 31);
  EXPECT_EQ(config.StartPrefix, "S");
  EXPECT_EQ(config.FinishPrefix, "Z");
  EXPECT_EQ(config.FoxPrefix, "F");
  EXPECT_EQ(config.FileBase, "ibutton");
  EXPECT_EQ(config.TimeLimit, 120);
  EXPECT_EQ(config.ExeDir, dir_.Dir());
  // Nothing is read back from the file just written: every punch after
  // 1970 lies outside the window for the rest of the run.
  EXPECT_EQ(config.OpenHour, 0);
  EXPECT_EQ(config.CloseHour, 0);
  EXPECT_EQ(config.UtcOffset, 0);
  EXPECT_EQ(config.EventDate, 0.0);
  EXPECT_EQ(config.WindowOpen, 0);
  EXPECT_EQ(config.WindowClose, 0);
  EXPECT_EQ(config.FobOffset, 0);
  EXPECT_EQ(config.FoxNumbers, Slots(0));
}

TEST_F(ConfigLoaderTest, NextStartReadsTheDefaultFile) {
  EventConfig firstRun;
  Load(firstRun);

  EventConfig config;  // a new run starts zeroed
  EXPECT_EQ(Load(config), SummaryOf("+0", 0, 31, "(from .INI file)"));
  EXPECT_EQ(config.TimeLimit, 120);  // the file's TimeLimt is not read
  EXPECT_EQ(config.FileBase, "ibutton");
  EXPECT_EQ(config.EventDate, EncodeDate(2010, 1, 1));
  EXPECT_EQ(config.EventDayStart, kJan2010);
  EXPECT_EQ(config.WindowOpen, 1262336400);   // 09:00:00
  EXPECT_EQ(config.WindowClose, 1262361600);  // 16:00:00
  EXPECT_EQ(config.FobOffset, 100);
  EXPECT_EQ(config.FoxNumbers, Slots(0));  // no SiNumber section, no fox
  // Reading never rewrites the file.
  EXPECT_EQ(ReadBytes(IniPath()), IniFixture("default_current.ini"));
}

TEST_F(ConfigLoaderTest, HandEditedFileWithAnyCaseAndHexValues) {
  UseFixture("event_full.ini");
  EventConfig config;
  EXPECT_EQ(Load(config), SummaryOf("+2", 1, 30, "(from .INI file)"));
  EXPECT_EQ(config.FileBase, "cup2012");
  EXPECT_EQ(config.TimeLimit, 90);  // timelimit=0x5A; the misspelt key is ignored
  EXPECT_EQ(config.EventDay, 19);   // day=$13
  EXPECT_EQ(config.EventMonth, 6);
  EXPECT_EQ(config.EventYear, 2012);
  EXPECT_EQ(config.OpenHour, 10);
  EXPECT_EQ(config.CloseHour, 12);  // 0X0c
  EXPECT_EQ(config.UtcOffset, 2);
  // The offset comes off the day start as seconds.
  EXPECT_EQ(config.EventDayStart, kJune19 - 2);
  EXPECT_EQ(config.WindowOpen, kJune19 - 2 + 10 * 3600);
  EXPECT_EQ(config.WindowClose, kJune19 - 2 + 12 * 3600);
  EXPECT_EQ(config.StartControl, 1);
  EXPECT_EQ(config.FinishControl, 30);
  EXPECT_EQ(config.FoxNumbers, Slots(0, {{2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 5}}));
  EXPECT_EQ(config.StartPrefix, "START");
  EXPECT_EQ(config.FinishPrefix, "FINISH");
  EXPECT_EQ(config.FoxPrefix, "Fox-");
  EXPECT_EQ(config.FobOffset, 200);
}

TEST_F(ConfigLoaderTest, SiNumberGatesEachFoxNumber) {
  UseFixture("sinumber_gate.ini");
  // A later loading in the same run shows which slots are left unchanged.
  EventConfig config = EarlierLoading();
  Load(config);
  EXPECT_EQ(config.FoxNumbers, Slots(99, {
                                             {0, 5},   // fox and SI number
                                             {4, 0},   // fox 0 is stored, and means no fox
                                             {7, 16},  // $10 gated by 0x10
                                         }));
  // Slot 1 has no SI number, slots 2, 3 a negative value, slot 5 no fox
  // number, slots 6 and 8 a value that is no integer: all unchanged.
}

TEST_F(ConfigLoaderTest, Start1FobGivesTheFobOffset) {
  struct Case {
    const char* file;
    int32_t offset;
  } cases[] = {
      {"[Event]\r\nStart1Fob=1\r\n", 0},
      {"[Event]\r\nStart1Fob=301\r\n", 300},
      {"[Event]\r\nStart1Fob=0\r\n", -1},
      {"[Event]\r\n", 100},
      {"[Event]\r\nStart1Fob=abc\r\n", 100},
      {"[Event]\r\nStart1Fob=-2147483648\r\n", std::numeric_limits<int32_t>::max()},  // wraps
  };
  for (const Case& c : cases) {
    UseText(c.file);
    EventConfig config = EarlierLoading();
    Load(config);
    EXPECT_EQ(config.FobOffset, c.offset) << c.file;
  }
}

TEST_F(ConfigLoaderTest, UtcOffsetInTheSummaryAndTheWindow) {
  struct Case {
    const char* value;
    const char* shown;
    int32_t dayStart;
  } cases[] = {
      {"-3", "-3", kJan2010 + 3},
      {"0", "+0", kJan2010},
      {"2", "+2", kJan2010 - 2},
      {"-5", "-5", kJan2010 + 5},
      {"x", "+0", kJan2010},
      // The day start wraps like the 32-bit value it is.
      {"-2147483648", "-2147483648", -885179648},
  };
  for (const Case& c : cases) {
    UseText(std::string("[Event]\r\nUTCoffset=") + c.value + "\r\n");
    EventConfig config;
    EXPECT_EQ(Load(config), SummaryOf(c.shown, 0, 31, "(from .INI file)")) << c.value;
    EXPECT_EQ(config.EventDayStart, c.dayStart) << c.value;
    EXPECT_EQ(config.WindowOpen, static_cast<int32_t>(c.dayStart + 9 * 3600LL)) << c.value;
    EXPECT_EQ(config.WindowClose, static_cast<int32_t>(c.dayStart + 16 * 3600LL)) << c.value;
  }
}

TEST_F(ConfigLoaderTest, WindowHoursWrapIn32Bits) {
  UseText("[Event]\r\nOpenHour=596524\r\nCloseHour=-1\r\n");
  EventConfig config;
  Load(config);
  EXPECT_EQ(config.WindowOpen, -885176896);
  EXPECT_EQ(config.WindowClose, kJan2010 - 3600);
}

TEST_F(ConfigLoaderTest, Feb30StopsTheLoadingAfterTheEventKeys) {
  UseFixture("feb30.ini");
  EventConfig config = EarlierLoading();
  EXPECT_EQ(LoadError(config), "Invalid argument to date encode");
  // The event keys up to the offset are in.
  EXPECT_EQ(config.FileBase, "feb");
  EXPECT_EQ(config.TimeLimit, 60);
  EXPECT_EQ(config.EventDay, 30);
  EXPECT_EQ(config.EventMonth, 2);
  EXPECT_EQ(config.EventYear, 2012);
  EXPECT_EQ(config.OpenHour, 8);
  EXPECT_EQ(config.CloseHour, 15);
  EXPECT_EQ(config.UtcOffset, 1);
  // The date, the window, the fox numbers and the fob offset keep their
  // previous values.
  EXPECT_EQ(config.EventDate, 123.0);
  EXPECT_EQ(config.EventDayStart, 66);
  EXPECT_EQ(config.WindowOpen, 77);
  EXPECT_EQ(config.WindowClose, 88);
  EXPECT_EQ(config.FoxNumbers, Slots(99));
  EXPECT_EQ(config.FobOffset, 44);
  // Controls and prefixes keep the presets of this loading.
  EXPECT_EQ(config.StartControl, 0);
  EXPECT_EQ(config.FinishControl, 31);
  EXPECT_EQ(config.StartPrefix, "S");
  EXPECT_EQ(config.FinishPrefix, "Z");
  EXPECT_EQ(config.FoxPrefix, "F");
}

TEST_F(ConfigLoaderTest, DatePartsAreTakenModulo65536) {
  struct Case {
    const char* keys;
    bool valid;
    int32_t dayStart;
  } cases[] = {
      {"Day=29\r\nMonth=2\r\nYear=2012", true, 1330473600},  // leap year
      {"Day=29\r\nMonth=2\r\nYear=2011", false, 0},
      {"Day=31\r\nMonth=4", false, 0},
      {"Day=0", false, 0},
      {"Month=0", false, 0},
      {"Month=13", false, 0},
      {"Year=0", false, 0},
      {"Year=10000", false, 0},
      {"Year=67546", true, kJan2010},   // 2010 + 65536
      {"Year=-63526", true, kJan2010},  // 2010 - 65536
      {"Month=65537\r\nDay=-65535", true, kJan2010},
      {"Day=65536", false, 0},  // day 0
  };
  for (const Case& c : cases) {
    UseText(std::string("[Event]\r\n") + c.keys + "\r\n");
    EventConfig config;
    if (c.valid) {
      Load(config);
      EXPECT_EQ(config.EventDayStart, c.dayStart) << c.keys;
    } else {
      EXPECT_EQ(LoadError(config), "Invalid argument to date encode") << c.keys;
    }
  }
}

TEST_F(ConfigLoaderTest, StartOrFinishOutsideTheSlotsStopsTheLoading) {
  struct Case {
    Edition edition;
    const char* controls;
    const char* error;
  } cases[] = {
      {Edition::Current, "[Control]\r\nStart=40\r\n",
       "Control Start = 40 is not a slot from 0 to 31"},
      {Edition::Current, "[Control]\r\nStart=-1\r\nFinish=2\r\n",
       "Control Start = -1 is not a slot from 0 to 31"},
      {Edition::Current, "[Control]\r\nStart=3\r\nFinish=0x20\r\n",
       "Control Finish = 32 is not a slot from 0 to 31"},
      {Edition::Current, "[Control]\r\nStart=99\r\nFinish=99\r\n",
       "Control Start = 99 is not a slot from 0 to 31"},
      {Edition::Earlier, "[Controls]\r\nStart=40\r\nFox1=3\r\n",
       "Controls Start = 40 is not a slot from 0 to 31"},
      {Edition::Earlier, "[Controls]\r\nFinish=-2147483648\r\n",
       "Controls Finish = -2147483648 is not a slot from 0 to 31"},
  };
  const std::string rest =
      "[FoxNumber]\r\nBox1=3\r\n[SiNumber]\r\nBox1=3\r\n[Prefix]\r\nStart=X\r\n"
      "[Event]\r\nStart1Fob=5\r\n";
  for (const Case& c : cases) {
    UseText(std::string("[Event]\r\nYear=2012\r\nMonth=6\r\nDay=19\r\n") + c.controls + rest);
    EventConfig config = EarlierLoading();
    EXPECT_EQ(LoadError(config, c.edition), c.error) << c.controls;
    // No read can use the bad slot: both keep their presets, even a valid
    // partner value from the file.
    EXPECT_EQ(config.StartControl, 0) << c.controls;
    EXPECT_EQ(config.FinishControl, 31) << c.controls;
    // The window is in; what comes after the control keys is not.
    EXPECT_EQ(config.WindowOpen, kJune19 + 9 * 3600) << c.controls;
    EXPECT_EQ(config.FoxNumbers, Slots(99)) << c.controls;
    EXPECT_EQ(config.StartPrefix, "S") << c.controls;
    EXPECT_EQ(config.FobOffset, 44) << c.controls;
  }
}

TEST_F(ConfigLoaderTest, FirstAndLastSlotsAreValidControls) {
  UseText("[Control]\r\nStart=31\r\nFinish=0\r\n");
  EventConfig config;
  EXPECT_EQ(Load(config), SummaryOf("+0", 31, 0, "(from .INI file)"));
}

TEST_F(ConfigLoaderTest, UnwritableDefaultFileStopsTheLoading) {
  // Made unwritable in ways that hold even for root.
  std::filesystem::create_directory(IniPath());  // vintok.ini is a directory
  EventConfig config = EarlierLoading();
  EXPECT_EQ(LoadError(config), "Unable to write to " + IniPath());
  EXPECT_EQ(config.StartControl, 0);  // the presets are in, nothing else changed
  EXPECT_EQ(config.FileBase, "ibutton");
  EXPECT_EQ(config.WindowOpen, 77);
  EXPECT_EQ(config.FobOffset, 44);

  WriteBytes(dir_.File("notadir"), "x");  // the program's directory is a file
  const std::string exeDir = dir_.File("notadir") + "/";
  EventConfig other;
  try {
    LoadEventConfig(other, exeDir, clock_, Edition::Current);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + exeDir + "vintok.ini");
  }
}

// Disk whose n-th write fails.
class FailingStore : public FileStore {
 public:
  explicit FailingStore(int failingSave) : failingSave_(failingSave) {}
  bool Exists(const std::string& path) const override { return files_.count(path) > 0; }
  std::optional<std::string> Load(const std::string& path) const override {
    if (!files_.count(path)) return std::nullopt;
    return files_.at(path);
  }
  bool Save(const std::string& path, const std::string& bytes) const override {
    if (++saves_ == failingSave_) return false;
    files_[path] = bytes;
    return true;
  }
  std::string File(const std::string& path) const {
    return files_.count(path) ? files_.at(path) : "";
  }

 private:
  int failingSave_;
  mutable int saves_ = 0;
  mutable std::map<std::string, std::string> files_;
};

TEST_F(ConfigLoaderTest, FirstFailingWriteEndsTheDefaultFile) {
  FailingStore store(4);  // the fourth key, [Control] Start
  EventConfig config;
  try {
    LoadEventConfig(config, "C:\\KESTRIX\\", clock_, Edition::Current, store);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Unable to write to C:\\KESTRIX\\vintok.ini");
  }
  EXPECT_EQ(store.File("C:\\KESTRIX\\vintok.ini"),
            "[Event]\r\nName=ARDF\r\nFiles=ibutton\r\nTimeLimt=120\r\n");
}

TEST_F(ConfigLoaderTest, EarlierEditionFirstRunAndNextStart) {
  EventConfig config;
  EXPECT_EQ(Load(config, Edition::Earlier), SummaryOf("+0", 0, 31, "(read from .INI file)"));
  EXPECT_EQ(ReadBytes(IniPath()), IniFixture("default_earlier.ini"));
  EXPECT_EQ(config.FoxNumbers, Slots(0));
  EXPECT_EQ(config.WindowOpen, 0);

  EventConfig next;
  EXPECT_EQ(Load(next, Edition::Earlier), SummaryOf("+0", 0, 31, "(read from .INI file)"));
  EXPECT_EQ(next.FoxNumbers, Slots(0, {{1, 31}, {2, 31}, {3, 31}, {4, 31}, {5, 31}}));
  EXPECT_EQ(next.TimeLimit, 120);
  EXPECT_EQ(next.WindowOpen, 1262336400);
  EXPECT_EQ(next.WindowClose, 1262361600);
  EXPECT_EQ(next.FobOffset, 0);  // the earlier edition has no first fob number
}

TEST_F(ConfigLoaderTest, EarlierEditionReadsNoCurrentEditionKeys) {
  UseFixture("event_full.ini");
  EventConfig config = EarlierLoading();
  EXPECT_EQ(Load(config, Edition::Earlier), SummaryOf("+2", 0, 31, "(read from .INI file)"));
  EXPECT_EQ(config.FoxNumbers, Slots(0));  // every slot is set, none has a fox
  EXPECT_EQ(config.FobOffset, 44);         // Start1Fob is not read
  // The Event and Prefix keys are read as in the current edition.
  EXPECT_EQ(config.TimeLimit, 90);
  EXPECT_EQ(config.WindowOpen, kJune19 - 2 + 10 * 3600);
  EXPECT_EQ(config.FoxPrefix, "Fox-");

  // And the current edition reads none of the earlier edition's keys.
  UseFixture("default_earlier.ini");
  EventConfig current = EarlierLoading();
  Load(current, Edition::Current);
  EXPECT_EQ(current.FoxNumbers, Slots(99));
}

TEST_F(ConfigLoaderTest, EarlierEditionKeepsTheLow16BitsOfAFoxNumber) {
  UseFixture("fox_values_earlier.ini");
  EventConfig config = EarlierLoading();
  Load(config, Edition::Earlier);
  EXPECT_EQ(config.FoxNumbers, Slots(0, {
                                            {0, 1},
                                            {1, 32767},
                                            {2, 0},
                                            {3, -1},
                                            {4, -32768},
                                            {5, -32768},  // 32768
                                            {6, -1},      // 65535
                                            {7, 1},       // 65537
                                            {8, 1},       // -65535
                                            {9, 12},      // 65548
                                            {10, -1},     // $FFFF
                                            {13, 32767},  // -32769
                                            {14, 16},     // 0x10010
                                        }));
  // Slot 11 has no key and slot 12 no integer: 0, not the previous 99.
}

TEST(SystemClock, AgreesWithTheCLibrary) {
  const SystemClock clock;
  const std::time_t before = std::time(nullptr);
  const double local = clock.LocalNow();
  const UtcTimeOfDay utc = clock.UtcNow();
  const std::time_t after = std::time(nullptr);
  // Local time is within a day's time zones of UTC.
  const int64_t localEpoch = DateTimeToEpoch(local);
  EXPECT_LE(localEpoch, static_cast<int64_t>(after) + 15 * 3600);
  EXPECT_GE(localEpoch, static_cast<int64_t>(before) - 15 * 3600);
  // UTC time of day is the epoch count's, give or take the call's duration.
  const int64_t seconds = utc.hour * 3600 + utc.minute * 60 + utc.second;
  const int64_t expectedLow = static_cast<int64_t>(before) % 86400;
  const int64_t expectedHigh = static_cast<int64_t>(after) % 86400;
  EXPECT_TRUE(seconds == expectedLow || seconds == expectedHigh ||
              (expectedLow > expectedHigh && (seconds >= expectedLow || seconds <= expectedHigh)))
      << seconds << " " << expectedLow << " " << expectedHigh;
  EXPECT_GE(utc.minute, 0);
  EXPECT_LE(utc.minute, 59);
}

}  // namespace
}  // namespace vintok::config
