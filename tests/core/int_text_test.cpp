#include "config/int_text.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vintok::config {
namespace {

TEST(IntText, AcceptedForms) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"0", 0},          {"7", 7},          {" 7", 7},           {"  -12", -12},
      {"+5", 5},         {"$0A", 10},       {"$0a", 10},         {"x1F", 31},
      {"X1f", 31},       {"0x10", 16},      {"0X10", 16},        {"-$10", -16},
      {"2147483647", 2147483647},           {"-2147483648", -2147483647 - 1},
      {"$FFFFFFFF", -1}, {"$80000000", -2147483647 - 1},         {"007", 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
    EXPECT_EQ(StrToIntDef(c.text, 99), c.value) << c.text;
  }
}

TEST(IntText, RejectedFormsRaiseTheConversionError) {
  for (const char* text : {"", " ", "7 ", "abc", "12abc", "-", "$", "0x", "2147483648",
                           "-2147483649", "$100000000", "1.5", "\t7", "7\n"}) {
    EXPECT_EQ(StrToIntDef(text, 42), 42) << '[' << text << ']';
    try {
      StrToInt(text);
      ADD_FAILURE() << '[' << text << ']';
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

}  // namespace
}  // namespace vintok::config
