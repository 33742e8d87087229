#pragma once

// Small helpers for tests that work with real files: a fresh directory per
// test and byte-exact reading and writing.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace vintok::testing {

// A directory of its own for the running test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    // Several builds of the tree may run the same test at once.
    name += "_" + std::to_string(std::random_device()());
    path_ = std::filesystem::path(::testing::TempDir()) / ("vintok_" + name);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory with a trailing separator, as the program keeps ExeDir.
  std::string Dir() const { return (path_ / "").string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fixture of tests/data/ini.
inline std::string IniFixture(const std::string& name) {
  const std::string path = std::string(VINTOK_TEST_DATA_DIR) + "/ini/" + name;
  EXPECT_TRUE(std::filesystem::is_regular_file(path)) << "missing fixture " << path;
  return ReadBytes(path);
}

}  // namespace vintok::testing
