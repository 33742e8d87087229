#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "test_files.h"

namespace vintok::config {
namespace {

using vintok::testing::IniFixture;
using vintok::testing::ReadBytes;
using vintok::testing::TempDir;
using vintok::testing::WriteBytes;

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

TEST(ParseIniInteger, DecimalAndBothHexForms) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {
      {"0", 0},
      {"16", 16},
      {"-3", -3},
      {"+7", 7},
      {"  42  ", 42},
      {"0x10", 16},
      {"0X10", 16},
      {"0x0000000010", 16},
      {"$10", 16},
      {"$ff", 255},
      {"$FFFFFFFF", -1},
      {"0x80000000", kMin},
      {"2147483647", kMax},
      {"-2147483648", kMin},
      // Not integers of the accepted forms: the key's default applies.
      {"", std::nullopt},
      {"0x", std::nullopt},  // two characters: not hexadecimal, and not decimal
      {"0X", std::nullopt},
      {"$", std::nullopt},
      {"12abc", std::nullopt},
      {"1 2", std::nullopt},
      {"1e3", std::nullopt},
      {"x10", std::nullopt},
      {"-$10", std::nullopt},
      {"-0x10", std::nullopt},
      {"0xg", std::nullopt},
      {"00x10", std::nullopt},
      {"-", std::nullopt},
      {"--1", std::nullopt},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"$100000000", std::nullopt},
      {"0x1FFFFFFFF", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseIniInteger(c.text), c.value) << '"' << c.text << '"';
}

class IniFileTest : public ::testing::Test {
 protected:
  IniFile FromFixture(const std::string& name) {
    WriteBytes(dir_.File("test.ini"), IniFixture(name));
    return IniFile(dir_.File("test.ini"));
  }
  IniFile FromBytes(const std::string& bytes) {
    WriteBytes(dir_.File("test.ini"), bytes);
    return IniFile(dir_.File("test.ini"));
  }

  TempDir dir_;
};

TEST_F(IniFileTest, ReadsTheWayTheWindowsFunctionsDo) {
  const IniFile ini = FromFixture("reading_rules.ini");
  // Names in any case, blanks around names and values dropped.
  EXPECT_EQ(ini.ReadString("EVENT", "NAME", "?"), "Spring Cup");
  EXPECT_EQ(ini.ReadString("event", "name", "?"), "Spring Cup");
  // The first of two equal keys counts, whatever the line ends.
  EXPECT_EQ(ini.ReadString("Event", "Files", "?"), "first");
  // A key before any section belongs to none of them.
  EXPECT_EQ(ini.ReadString("Event", "Orphan", "none"), "none");
  EXPECT_EQ(ini.ReadString("", "Orphan", "none"), "none");
  // Only the first section of a name counts.
  EXPECT_EQ(ini.ReadInteger("Event", "Day", -1), -1);
  // A line without "=" is no key.
  EXPECT_EQ(ini.ReadString("Event", "no equals sign here", "none"), "none");
  // A key that is there with an empty value: empty text, the default integer.
  EXPECT_EQ(ini.ReadString("Event", "Empty", "dflt"), "");
  EXPECT_EQ(ini.ReadString("Event", "Blanks", "dflt"), "");
  EXPECT_EQ(ini.ReadInteger("Event", "Empty", 5), 5);
  // The value runs from the first "=" on, inner blanks kept.
  EXPECT_EQ(ini.ReadString("Prefix", "Start", "?"), "S=1");
  EXPECT_EQ(ini.ReadString("Prefix", "Fox", "?"), "F ox");
  // A section header may carry text after its bracket; the last line has no
  // line end.
  EXPECT_EQ(ini.ReadInteger("Control", "Start", -1), 5);
  EXPECT_EQ(ini.ReadString("Control", "Finish", "absent"), "absent");
  EXPECT_EQ(ini.ReadString("Missing", "Start", "absent"), "absent");
}

TEST_F(IniFileTest, MissingFileReadsAsEmpty) {
  const IniFile ini(dir_.File("nothing.ini"));
  EXPECT_EQ(ini.ReadString("Event", "Files", "ibutton"), "ibutton");
  EXPECT_EQ(ini.ReadInteger("Event", "Day", 1), 1);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("nothing.ini")));
}

TEST_F(IniFileTest, NulBytesEndAValueAndNeverMatchANameThatLacksThem) {
  using namespace std::string_literals;
  const IniFile ini = FromBytes(
      "[Event]\r\nFiles=ab\0cd\r\nDay=\0\r\nMonth=1\0 2\r\nNa\0me=x\r\n[Pre\0fix]\r\nStart=Q\r\n"
      "[Prefix]\r\nFox=G\r\n"s);
  EXPECT_EQ(ini.ReadString("Event", "Files", "?"), "ab");
  EXPECT_EQ(ini.ReadInteger("Event", "Day", 9), 9);
  EXPECT_EQ(ini.ReadInteger("Event", "Month", 9), 1);
  EXPECT_EQ(ini.ReadString("Event", "Name", "none"), "none");
  EXPECT_EQ(ini.ReadString("Prefix", "Start", "none"), "none");
  EXPECT_EQ(ini.ReadString("Prefix", "Fox", "?"), "G");
}

TEST_F(IniFileTest, HugeLinesAndFilesWithoutLineEndsAreHarmless) {
  const std::string longLine(8 * 1024 * 1024, 'A');
  {
    const IniFile ini = FromBytes(longLine);  // no line end at all
    EXPECT_EQ(ini.ReadString("Event", "Files", "dflt"), "dflt");
  }
  {
    const IniFile ini = FromBytes("[Event]\nName=" + longLine + "\nDay=3");
    EXPECT_EQ(ini.ReadString("Event", "Name", "").size(), longLine.size());
    EXPECT_EQ(ini.ReadInteger("Event", "Day", 1), 3);
  }
  {
    // Brackets, equals signs and line ends by the million.
    IniFile ini = FromBytes(std::string(1 << 20, '[') + std::string(1 << 20, '=') +
                            std::string(1 << 20, '\n') + std::string(1 << 20, ']'));
    EXPECT_EQ(ini.ReadInteger("Event", "Day", 1), 1);
    ini.WriteInteger("Event", "Day", 4);
    EXPECT_EQ(ini.ReadInteger("Event", "Day", 1), 4);
  }
}

TEST_F(IniFileTest, WritesCreateTheFileWithCrLf) {
  IniFile ini(dir_.File("new.ini"));
  ini.WriteString("Event", "Name", "ARDF");
  EXPECT_EQ(ReadBytes(ini.Path()), "[Event]\r\nName=ARDF\r\n");
  ini.WriteInteger("Control", "Start", -7);
  EXPECT_EQ(ReadBytes(ini.Path()), "[Event]\r\nName=ARDF\r\n\r\n[Control]\r\nStart=-7\r\n");
}

TEST_F(IniFileTest, WritesPlaceKeysInTheirSection) {
  struct Case {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
  } cases[] = {
      {"new key at the end of its section, before the blank line", "[A]\nx=1\n\n[B]\ny=2\n", "a",
       "z", "3", "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
      {"existing key replaced in place, keeping its spelling",
       "[A]\r\nKey = old \r\nKEY=second\r\n", "a", "key", "new",
       "[A]\r\nKey=new\r\nKEY=second\r\n"},
      {"new section after a last line without line end", "[A]\nx=1", "B", "y", "2",
       "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
      {"new section after a blank last line", "[A]\r\nx=1\r\n\r\n", "B", "y", "2",
       "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
      {"a key before any section is not the section's", "x=1\n[A]\n", "A", "x", "2",
       "x=1\r\n[A]\r\nx=2\r\n"},
      {"the first of two sections of a name", "[A]\nx=1\n[B]\n[a]\ny=2\n", "A", "y", "3",
       "[A]\r\nx=1\r\ny=3\r\n[B]\r\n[a]\r\ny=2\r\n"},
      {"other lines kept", "; note\r\n[A]\r\ntext without equals\r\n", "A", "x", "1",
       "; note\r\n[A]\r\ntext without equals\r\nx=1\r\n"},
  };
  for (const Case& c : cases) {
    IniFile ini = FromBytes(c.before);
    ini.WriteString(c.section, c.key, c.value);
    EXPECT_EQ(ReadBytes(ini.Path()), c.after) << c.name;
    EXPECT_EQ(ini.ReadString(c.section, c.key, "?"), c.value) << c.name;
  }
}

TEST_F(IniFileTest, AFailingWriteNamesTheFile) {
  // Made unwritable in ways that hold even for root: the path is a
  // directory, or a directory on the path is a file.
  std::filesystem::create_directory(dir_.File("dir.ini"));
  WriteBytes(dir_.File("plain"), "x");
  const std::string paths[] = {dir_.File("dir.ini"), dir_.File("plain") + "/sub.ini"};
  for (const std::string& path : paths) {
    IniFile ini(path);
    try {
      ini.WriteString("Event", "Name", "ARDF");
      ADD_FAILURE() << "no error for " << path;
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), ("Unable to write to " + path).c_str());
    }
  }
  EXPECT_EQ(ReadBytes(dir_.File("plain")), "x");
}

// A store in memory whose writes can fail and whose file can be unreadable.
class FakeStore : public FileStore {
 public:
  bool Exists(const std::string& path) const override { return files.count(path) > 0; }
  std::optional<std::string> Load(const std::string& path) const override {
    if (unreadable || !files.count(path)) return std::nullopt;
    return files.at(path);
  }
  bool Save(const std::string& path, const std::string& bytes) const override {
    ++saves;
    if (failSave) return false;
    files[path] = bytes;
    return true;
  }

  mutable std::map<std::string, std::string> files;
  mutable int saves = 0;
  bool failSave = false;
  bool unreadable = false;
};

TEST(IniFileStore, RefusedSaveThrowsAndAnUnreadableFileIsNeverOverwritten) {
  FakeStore store;
  store.failSave = true;
  IniFile ini("C:\\event\\vintok.ini", store);
  EXPECT_THROW(
      {
        try {
          ini.WriteInteger("Event", "Day", 1);
        } catch (const std::runtime_error& e) {
          EXPECT_STREQ(e.what(), "Unable to write to C:\\event\\vintok.ini");
          throw;
        }
      },
      std::runtime_error);

  store.failSave = false;
  store.unreadable = true;
  store.files[ini.Path()] = "[Event]\r\nDay=5\r\n";
  store.saves = 0;
  EXPECT_THROW(ini.WriteInteger("Event", "Day", 1), std::runtime_error);
  EXPECT_EQ(store.saves, 0);
  EXPECT_EQ(store.files[ini.Path()], "[Event]\r\nDay=5\r\n");
  // Unreadable for a read is simply empty.
  EXPECT_EQ(ini.ReadInteger("Event", "Day", 1), 1);
}

}  // namespace
}  // namespace vintok::config
