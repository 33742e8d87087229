#include "config/date_time.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace vintok::config {
namespace {

TEST(DateTimeText, FixedLayoutAndMidnight) {
  struct Case {
    int32_t epoch;
    const char* text;
  } cases[] = {
      {0, "01/01/1970"},
      {1340100000, "19/06/2012 10:00:00"},
      {1340064000, "19/06/2012"},              // midnight: the date alone
      {1340064001, "19/06/2012 00:00:01"},
      {1340150399, "19/06/2012 23:59:59"},
      {-1, "31/12/1969 23:59:59"},
      {std::numeric_limits<int32_t>::max(), "19/01/2038 03:14:07"},
      {std::numeric_limits<int32_t>::min(), "13/12/1901 20:45:52"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DateTimeText(EpochToDateTime(c.epoch)), c.text) << c.epoch;
}

TEST(DateTimeToEpoch, RoundsHalfToEvenAndWraps) {
  EXPECT_EQ(DateTimeToEpoch(25569.0), 0);
  EXPECT_EQ(DateTimeToEpoch(EncodeDate(2010, 1, 1)), 1262304000);
  // 1/256 of a day is exactly 337.5 s and 3/256 exactly 1012.5 s: ties go to even.
  EXPECT_EQ(DateTimeToEpoch(25569.0 + 1.0 / 256), 338);
  EXPECT_EQ(DateTimeToEpoch(25569.0 + 3.0 / 256), 1012);
  EXPECT_EQ(DateTimeToEpoch(25569.0 - 1.0 / 256), -338);
  // Far beyond 2038 the value wraps like the 32-bit integer that holds it.
  EXPECT_EQ(DateTimeToEpoch(EncodeDate(2100, 1, 1)), static_cast<int32_t>(4102444800LL - 4294967296LL));
  for (int32_t s : {0, 1, -1, 1340100000, std::numeric_limits<int32_t>::max(),
                    std::numeric_limits<int32_t>::min()})
    EXPECT_EQ(DateTimeToEpoch(EpochToDateTime(s)), s);
}

TEST(EncodeDate, RejectsImpossibleDates) {
  EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDate(1970, 1, 1), 25569.0);
  EXPECT_DOUBLE_EQ(EncodeDate(2012, 2, 29), EncodeDate(2012, 3, 1) - 1);
  const int bad[][3] = {{2012, 2, 30}, {2011, 2, 29}, {1900, 2, 29}, {0, 1, 1},
                        {10000, 1, 1}, {2012, 13, 1}, {2012, 0, 1},  {2012, 4, 31}};
  for (const auto& d : bad) {
    try {
      EncodeDate(d[0], d[1], d[2]);
      ADD_FAILURE() << d[0] << "-" << d[1] << "-" << d[2];
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "Invalid argument to date encode");
    }
  }
}

TEST(EncodeTime, RejectsNegativeParts) {
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  for (auto parts : {std::array{-1, 0}, std::array{0, -5}, std::array{24, 0}, std::array{0, 60}}) {
    try {
      EncodeTime(parts[0], parts[1], 0, 0);
      ADD_FAILURE() << parts[0] << ":" << parts[1];
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "Invalid argument to time encode");
    }
  }
}

}  // namespace
}  // namespace vintok::config
