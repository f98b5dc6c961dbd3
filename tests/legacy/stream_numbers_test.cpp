// The legacy reader's number scanners against formatted stream extraction,
// which is what old map files were read with.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "legacy/StreamNumbers.h"

namespace kohport::legacy {
namespace {

struct TStreamResult {
  bool ok;
  bool overflow;  // failed on a number too large (the stream stores the largest value)
  double value;
  std::size_t used;
};

template <typename T>
TStreamResult StreamRead(const std::string& text) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  T v{};
  in >> v;
  const bool ok = !in.fail();
  in.clear();
  const auto pos = in.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in);
  const bool overflow =
      !ok && (v == std::numeric_limits<T>::max() || v == std::numeric_limits<T>::lowest());
  return {ok, overflow, static_cast<double>(v), static_cast<std::size_t>(pos)};
}

bool SameDouble(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every text over `alphabet` of 1 to `maxLen` characters.
std::vector<std::string> AllTexts(const std::string& alphabet, int maxLen) {
  std::vector<std::string> out{""};
  std::vector<std::string> level{""};
  for (int len = 1; len <= maxLen; ++len) {
    std::vector<std::string> next;
    for (const std::string& s : level) {
      for (char c : alphabet) next.push_back(s + c);
    }
    out.insert(out.end(), next.begin(), next.end());
    level.swap(next);
  }
  return out;
}

void ExpectRealLikeStream(const std::string& text) {
  SCOPED_TRACE("\"" + text + "\"");
  const TStreamResult want = StreamRead<double>(text);
  const char* p = text.data();
  double v = -7.0;
  const TScan got = ScanReal(p, text.data() + text.size(), v);
  if (want.ok) {
    ASSERT_EQ(got, TScan::kOk);
    EXPECT_TRUE(SameDouble(v, want.value)) << v << " vs " << want.value;
    EXPECT_EQ(static_cast<std::size_t>(p - text.data()), want.used);
  } else {
    EXPECT_EQ(got, want.overflow ? TScan::kOutOfRange : TScan::kNotANumber);
    EXPECT_EQ(p, text.data());  // nothing taken on failure
    EXPECT_EQ(v, -7.0);
  }
}

void ExpectIntegerLikeStream(const std::string& text) {
  SCOPED_TRACE("\"" + text + "\"");
  const TStreamResult want = StreamRead<int>(text);
  const char* p = text.data();
  int v = -7;
  const TScan got = ScanInteger(p, text.data() + text.size(), v);
  if (want.ok) {
    ASSERT_EQ(got, TScan::kOk);
    EXPECT_EQ(v, static_cast<int>(want.value));
    EXPECT_EQ(static_cast<std::size_t>(p - text.data()), want.used);
  } else {
    EXPECT_EQ(got, want.overflow ? TScan::kOutOfRange : TScan::kNotANumber);
    EXPECT_EQ(p, text.data());
  }
}

TEST(StreamNumbersTest, RealReadsWhatStreamExtractionReadsForEveryShortText) {
  // Every arrangement of up to 5 characters from the number alphabet plus a
  // letter, a blank and a hexadecimal marker.
  for (const std::string& text : AllTexts("0159.eE+-x ", 5)) {
    if (!text.empty() && text[0] == ' ') continue;  // the caller skips white space
    ExpectRealLikeStream(text);
  }
}

TEST(StreamNumbersTest, RealReadsWhatStreamExtractionReadsForLongAndExtremeTexts) {
  const std::string zeros300(300, '0');
  for (const std::string& text : {std::string("2.1125524418456862"),
                                  std::string("-0.097783500000000001"),
                                  std::string("1.7976931348623157e308"),
                                  std::string("1.7976931348623159e308"),
                                  std::string("-1.8e308"),
                                  std::string("1e400"),
                                  std::string("123456789012345678901234567890e280"),
                                  std::string("1e-320"),
                                  std::string("4.9406564584124654e-324"),
                                  std::string("2.4703282292062328e-324"),
                                  std::string("2.4703282292062327e-324"),
                                  std::string("1e-400"),
                                  std::string("-1e-400"),
                                  "0." + zeros300 + "1e-30",
                                  "1" + zeros300 + ".5",
                                  "1" + zeros300 + "e10",
                                  "0." + zeros300 + "1e300",
                                  std::string("1e99999999999999999999"),
                                  std::string("-1e99999999999999999999"),
                                  std::string("1e-99999999999999999999"),
                                  std::string("0e99999999999999999999"),
                                  std::string("000000000000000000000001.5"),
                                  std::string("1.5e5e3"),
                                  std::string("1.5.3"),
                                  std::string("+.5e-3x"),
                                  std::string("1e+5+"),
                                  std::string("0x1p3"),
                                  std::string("12abc")}) {
    ExpectRealLikeStream(text);
  }
}

TEST(StreamNumbersTest, RealTakesTheSpellingsOfValuesThatAreNotFinite) {
  struct Case {
    const char* text;
    double value;
    std::size_t used;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {{"inf", inf, 3}, {"-inf", -inf, 4},    {"+inf", inf, 4}, {"INF", inf, 3},
                        {"Inf", inf, 3}, {"infinity", inf, 3}, {"nan", nan, 3},  {"-nan", -nan, 4},
                        {"NaN", nan, 3}, {"nan(1)", nan, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const char* p = c.text;
    double v = 0.0;
    ASSERT_EQ(ScanReal(p, c.text + std::strlen(c.text), v), TScan::kOk);
    EXPECT_EQ(static_cast<std::size_t>(p - c.text), c.used);
    EXPECT_EQ(std::isnan(v), std::isnan(c.value));
    if (!std::isnan(v)) {
      EXPECT_EQ(v, c.value);
    }
    EXPECT_EQ(std::signbit(v), std::signbit(c.value));
  }
  for (const char* text : {"in", "na", "-in", "+-inf", "i", "nax", "info"}) {
    SCOPED_TRACE(text);
    const char* p = text;
    double v = 0.0;
    const TScan scan = ScanReal(p, text + std::strlen(text), v);
    if (std::strcmp(text, "info") == 0) {
      EXPECT_EQ(scan, TScan::kOk);  // "inf", then "o" is the next word
      EXPECT_EQ(p, text + 3);
    } else {
      EXPECT_EQ(scan, TScan::kNotANumber);
    }
  }
}

TEST(StreamNumbersTest, TooSmallReadsAsZeroOfItsSign) {
  for (const char* text : {"1e-400", "-1e-400", "0.000001e-330"}) {
    SCOPED_TRACE(text);
    const char* p = text;
    double v = 1.0;
    ASSERT_EQ(ScanReal(p, text + std::strlen(text), v), TScan::kOk);
    EXPECT_EQ(v, 0.0);
    EXPECT_EQ(std::signbit(v), text[0] == '-');
    EXPECT_EQ(*p, '\0');
  }
  const char* sub = "3e-320";
  double v = 0.0;
  ASSERT_EQ(ScanReal(sub, sub + 6, v), TScan::kOk);
  EXPECT_GT(v, 0.0);
  EXPECT_LT(v, DBL_MIN);
}

TEST(StreamNumbersTest, IntegerReadsWhatStreamExtractionReadsInDecimal) {
  for (const std::string& text : AllTexts("0179+-x. ", 4)) {
    if (!text.empty() && text[0] == ' ') continue;
    ExpectIntegerLikeStream(text);
  }
  for (const char* text : {"2147483647", "2147483648", "-2147483648", "-2147483649", "+2147483647",
                           "012", "0x1F", "99999999999999999999999", "-99999999999999999999999",
                           "0000000000000000000000042", "42abc"}) {
    ExpectIntegerLikeStream(text);
  }
}

TEST(StreamNumbersTest, ScannersNeverReadPastTheEnd) {
  // The number continues in memory but the given end cuts it.
  const std::string text = "12345e10";
  const char* p = text.data();
  double v = 0.0;
  ASSERT_EQ(ScanReal(p, text.data() + 3, v), TScan::kOk);
  EXPECT_EQ(v, 123.0);
  p = text.data();
  ASSERT_EQ(ScanReal(p, text.data() + 6, v), TScan::kNotANumber);  // "12345e"
  p = text.data();
  int i = 0;
  ASSERT_EQ(ScanInteger(p, text.data() + 2, i), TScan::kOk);
  EXPECT_EQ(i, 12);
  p = text.data();
  EXPECT_EQ(ScanInteger(p, p, i), TScan::kNotANumber);
  EXPECT_EQ(ScanReal(p, p, v), TScan::kNotANumber);
}

}  // namespace
}  // namespace kohport::legacy
