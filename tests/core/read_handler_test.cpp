// A whole read as the operator runs it, without the window: the event file,
// a fob on the simulated port, the report, the run log and the export file.

#include "results/read_handler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "config/clock.h"
#include "config/config_loader.h"
#include "ibutton/driver_session.h"
#include "ibutton/simulated_port.h"
#include "results/disk_file_system.h"
#include "plain_read_view.h"
#include "test_files.h"
#include "worked_example.h"

namespace vintok::results {
namespace {

using vintok::testing::ExpectedText;
using vintok::testing::FixedClock;
using vintok::testing::PlainView;
using vintok::testing::ReadBytes;
using vintok::testing::TempDir;

std::string Fob(const std::string& name) {
  return std::string(VINTOK_TEST_DATA_DIR) + "/fobs/" + name;
}

// One program directory with the worked example's event file, a simulated
// port and the read handler of one edition.
class ReadHandlerTest : public ::testing::TestWithParam<Edition> {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(std::string(VINTOK_TEST_DATA_DIR) + "/ini/worked_example.ini",
                               dir.File("vintok.ini"));
    config::LoadEventConfig(config, dir.Dir(), FixedClock(), GetParam());
  }

  ReadEnd Read(const std::string& fobFile) {
    ibutton::SimulatedPort port(Fob(fobFile));
    ibutton::PunchMemoryReader reader(port, session, [](int) {}, GetParam(), 1, 0);
    ReadHandler handler(reader, disk, GetParam());
    return handler.TouchMemoryList(view, config);
  }

  std::string LogPath() const { return dir.File("ibutton.log"); }
  std::string KorPath() const { return dir.File("ibutton.kor"); }

  TempDir dir;
  config::EventConfig config;
  ibutton::DriverSessionData session;
  DiskFileSystem disk;
  PlainView view;
};

using CurrentEdition = ReadHandlerTest;
using EarlierEdition = ReadHandlerTest;
INSTANTIATE_TEST_SUITE_P(Read, CurrentEdition, ::testing::Values(Edition::Current));
INSTANTIATE_TEST_SUITE_P(Read, EarlierEdition, ::testing::Values(Edition::Earlier));

TEST_P(CurrentEdition, WorkedExampleIsReportedLoggedAndExported) {
  EXPECT_EQ(Read("worked-example.txt"), ReadEnd::Exported);
  EXPECT_EQ(view.report,
            "iButton fob No. 12\r\nFoxes Found - 3\r\nRun Time -  52:05\r\n"
            "Fox   Split    Cumulative\r\nS (0)    \r\nF2 (2)     12:30   12:30\r\n"
            "F1 (1)     12:40   25:10\r\nF3 (3)     14:50   40:00\r\n"
            "Z (31)     12:05   52:05\r\n\r\nKESTRIX timing system\r\n");
  EXPECT_EQ(view.romText, "890092119094460539");
  EXPECT_EQ(view.grid[0][0], "0 (START)");
  EXPECT_EQ(view.grid[0][1], "19/06/2012 10:00:00");
  EXPECT_EQ(ReadBytes(LogPath()), ExpectedText("worked_example.log"));
  EXPECT_EQ(ReadBytes(KorPath()), ExpectedText("worked_example.kor"));
  EXPECT_EQ(view.startNum, "0");
  EXPECT_EQ(view.fobNum, "000");
  EXPECT_EQ(view.colour, FobFieldColour::Lime);
  EXPECT_EQ(view.focusCount, 1);
}

TEST_P(CurrentEdition, SameFobReadTwiceExportsTwoBlocksUnderOneHeader) {
  Read("worked-example.txt");
  view.startNum = "12";
  view.fobNum = "12";
  EXPECT_EQ(Read("worked-example.txt"), ReadEnd::Exported);
  const std::string once = ExpectedText("worked_example.kor");
  const std::string header = "@SAVE\r\n@BEGIN-KOR\r\n";
  EXPECT_EQ(ReadBytes(KorPath()), once + once.substr(header.size()));
  EXPECT_EQ(ReadBytes(LogPath()), ExpectedText("worked_example.log") + ExpectedText("worked_example.log"));
}

TEST_P(CurrentEdition, ReadWithErrorsIsLoggedNotExportedAndKeepsTheEntries) {
  EXPECT_EQ(Read("late-start-no-finish.txt"), ReadEnd::WithErrors);
  EXPECT_TRUE(view.report.ends_with(
      "\r\n**Start Punch ERROR**\r\n**Finish Punch ERROR**\r\n\r\nKESTRIX timing system\r\n"))
      << view.report;
  EXPECT_NE(ReadBytes(LogPath()).find("**Start Punch ERROR**\r\n**Finish Punch ERROR**\r\n\r\n\r\n"
                                      "-----------------------\r\n\r\n"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(KorPath()));
  EXPECT_EQ(view.startNum, "12");
  EXPECT_EQ(view.fobNum, "12");
  EXPECT_EQ(view.colour, FobFieldColour::Red);
}

TEST_P(CurrentEdition, UnverifiedOrRefusedReadsWriteNothing) {
  EXPECT_EQ(Read("never-agrees.txt"), ReadEnd::NoFob);
  EXPECT_EQ(view.report, "READ FAILED, TRY AGAIN");
  EXPECT_EQ(view.romText, "117854198248699656");

  view.fobNum = "000";
  EXPECT_EQ(Read("worked-example.txt"), ReadEnd::Refused);
  EXPECT_EQ(view.report, "PLEASE ENTER A START & FOB NUMBER");

  EXPECT_FALSE(std::filesystem::exists(LogPath()));
  EXPECT_FALSE(std::filesystem::exists(KorPath()));
  EXPECT_EQ(view.startNum, "12");
  EXPECT_FALSE(view.colour.has_value());
}

TEST_P(CurrentEdition, ExportFailureKeepsTheLogAndTheEntries) {
  std::filesystem::create_directory(KorPath());  // cannot be opened as a file
  try {
    Read("worked-example.txt");
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Unable to write to " + KorPath() + ": ", 0), 0u)
        << e.what();
  }
  EXPECT_EQ(ReadBytes(LogPath()), ExpectedText("worked_example.log"));
  EXPECT_TRUE(view.report.ends_with("\r\nKESTRIX timing system\r\n"));
  EXPECT_EQ(view.startNum, "12");
  EXPECT_EQ(view.fobNum, "12");
  EXPECT_FALSE(view.colour.has_value());
  EXPECT_EQ(view.focusCount, 0);
}

TEST_P(CurrentEdition, LogFailureStopsBeforeTheTrailerAndTheExport) {
  std::filesystem::create_directory(LogPath());
  EXPECT_THROW(Read("worked-example.txt"), std::runtime_error);
  EXPECT_TRUE(view.report.ends_with("52:05\r\n\r\n"));  // the report without its trailer
  EXPECT_FALSE(std::filesystem::exists(KorPath()));
  EXPECT_EQ(view.fobNum, "12");
}

TEST_P(CurrentEdition, NegativeOverrideHourIsAnEncodingErrorBeforeAnythingIsShown) {
  view.override = {"-1", "30", true};
  try {
    Read("worked-example.txt");
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Invalid argument to time encode");
  }
  EXPECT_EQ(view.report, "READING iBUTTON MEMORY");
  EXPECT_EQ(view.grid[0][0], "");
  EXPECT_FALSE(std::filesystem::exists(LogPath()));
}

TEST_P(EarlierEdition, WorkedExampleUsesItsOwnCodesAndAlwaysClearsTheEntries) {
  EXPECT_EQ(Read("worked-example.txt"), ReadEnd::Exported);
  EXPECT_NE(view.report.find("\r\nS (0)   \r\nF2 (2)    12:30   12:30\r\n"), std::string::npos);
  EXPECT_EQ(ReadBytes(LogPath()), ExpectedText("worked_example_earlier.log"));
  EXPECT_EQ(ReadBytes(KorPath()), ExpectedText("worked_example_earlier.kor"));

  view.startNum = "7";
  view.fobNum = "7";
  EXPECT_EQ(Read("late-start-no-finish.txt"), ReadEnd::WithErrors);
  EXPECT_TRUE(view.report.ends_with("\r\n**Start Punch Error**\r\n**No Finish Punch**\r\n\r\n"
                                    "KESTRIX timing system\r\n"));
  EXPECT_EQ(view.startNum, "0");
  EXPECT_EQ(view.fobNum, "000");
  EXPECT_FALSE(view.colour.has_value());
}

}  // namespace
}  // namespace vintok::results
