#include "common/Numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kohport {
namespace {

std::string Printf(const char* format, int precision, double v) {
  char buf[512];
  std::snprintf(buf, sizeof buf, format, precision, v);
  return buf;
}

TEST(NumbersTest, GeneralAndFixedMatchPrintf) {
  const double values[] = {0.0,
                           -0.0,
                           0.25,
                           -0.5,
                           1.0,
                           3.0,
                           0.1,
                           1e-5,
                           0.0001,
                           123456.0,
                           1234567.,
                           1e15,
                           1e16,
                           -1e300,
                           DBL_MIN,
                           DBL_MAX,
                           5e-324,
                           2.11255,
                           -1.25,
                           0.30000000000000004,
                           999999.5,
                           1e-300,
                           12345.678901234567};
  for (double v : values) {
    for (int precision : {1, 6, 15, 17}) {
      SCOPED_TRACE(Printf("%.*g", 17, v) + " at " + std::to_string(precision));
      EXPECT_EQ(GeneralText(v, precision), Printf("%.*g", precision, v));
      EXPECT_EQ(FixedText(v, precision), Printf("%.*f", precision, v));
    }
  }
}

TEST(NumbersTest, NonFiniteValuesAreSpelledAsPrintfDoes) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double v : {inf, -inf, nan, -nan}) {
    EXPECT_EQ(GeneralText(v, 6), Printf("%.*g", 6, v));
    EXPECT_EQ(FixedText(v, 15), Printf("%.*f", 15, v));
  }
}

TEST(NumbersTest, IntegersAreDecimal) {
  EXPECT_EQ(IntegerText(0), "0");
  EXPECT_EQ(IntegerText(-42), "-42");
  EXPECT_EQ(IntegerText(2147483647L), "2147483647");
}

TEST(NumbersTest, LocaleWithDecimalCommaDoesNotChangeTheText) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
      std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  EXPECT_EQ(GeneralText(0.25, 15), "0.25");
  EXPECT_EQ(FixedText(0.25, 15), "0.250000000000000");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
}  // namespace kohport
