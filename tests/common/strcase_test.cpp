#include "common/StrCase.h"

#include <gtest/gtest.h>

namespace kohport {
namespace {

TEST(StrCaseTest, ComparesUpperCasedBytes) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  };
  const Case cases[] = {
      {"sigmoid", "SIGMOID", 0},
      {"Tanh-Gain", "tanh-gain", 0},
      {"", "", 0},
      {"abc", "abd", -1},
      {"abd", "ABC", 1},
      {"ab", "abc", -1},  // a text sorts before a longer text it starts
      {"abc", "ab", 1},
      {"a", "\xe9", -1},  // bytes compare as unsigned
      {"_", "a", 1},      // compared after upper-casing: '_' (0x5F) sorts after 'A' (0x41)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(strcasecmp(c.a, c.b), c.expected);
  }
}

}  // namespace
}  // namespace kohport
