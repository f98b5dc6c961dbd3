#include "legacy/StreamNumbers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace kohport::legacy {

namespace {

bool IsDigit(char c) noexcept {
  return c >= '0' && c <= '9';
}

// Whether [p, end) starts with the three letters of `word` (lower case), in any case.
bool StartsWithNoCase(const char* p, const char* end, const char* word) noexcept {
  for (int i = 0; i < 3; ++i) {
    if (p + i >= end || (p[i] | 0x20) != word[i]) return false;
  }
  return true;
}

// For a decimal text [p, q) that std::from_chars found out of range: whether
// its magnitude is large (rather than too small). The answer comes from the
// decimal exponent of the first non-zero digit, which is far above 0 for an
// overflow and far below 0 for an underflow.
bool IsOverflow(const char* p, const char* q) noexcept {
  std::int64_t lead = 0;  // decimal exponent of the first non-zero digit, before the exponent part
  bool found = false;
  bool afterPoint = false;
  std::int64_t intDigits = 0;
  std::int64_t fractionZeros = 0;
  for (; p < q && (IsDigit(*p) || *p == '.'); ++p) {
    if (*p == '.') {
      afterPoint = true;
    } else if (!afterPoint) {
      if (found || *p != '0') {
        found = true;
        ++intDigits;
      }
    } else if (!found) {
      if (*p == '0') {
        ++fractionZeros;
      } else {
        found = true;
      }
    }
  }
  lead = intDigits > 0 ? intDigits - 1 : -(fractionZeros + 1);
  std::int64_t exponent = 0;
  if (p < q && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool negative = p < q && *p == '-';
    if (p < q && (*p == '-' || *p == '+')) ++p;
    for (; p < q && IsDigit(*p); ++p) {
      // Saturate: beyond a billion the answer cannot change.
      if (exponent < 1000000000) exponent = exponent * 10 + (*p - '0');
    }
    if (negative) exponent = -exponent;
  }
  return lead + exponent >= 0;
}

}  // namespace

TScan ScanInteger(const char*& p, const char* end, int& value) noexcept {
  const char* s = p;
  bool negative = false;
  if (s < end && (*s == '+' || *s == '-')) {
    negative = *s == '-';
    ++s;
  }
  if (s >= end || !IsDigit(*s)) return TScan::kNotANumber;
  std::uint64_t magnitude = 0;
  const auto r = std::from_chars(s, end, magnitude);
  constexpr std::uint64_t kLimit = std::uint64_t{std::numeric_limits<int>::max()} + 1;
  if (r.ec == std::errc::result_out_of_range || magnitude > kLimit ||
      (!negative && magnitude == kLimit)) {
    return TScan::kOutOfRange;
  }
  value = negative ? static_cast<int>(-static_cast<std::int64_t>(magnitude))
                   : static_cast<int>(magnitude);
  p = r.ptr;
  return TScan::kOk;
}

TScan ScanReal(const char*& p, const char* end, double& value) noexcept {
  const char* s = p;
  bool negative = false;
  if (s < end && (*s == '+' || *s == '-')) {
    negative = *s == '-';
    ++s;
  }
  if (s >= end) return TScan::kNotANumber;
  if (!IsDigit(*s) && *s != '.') {
    double special;
    if (StartsWithNoCase(s, end, "inf")) {
      special = std::numeric_limits<double>::infinity();
    } else if (StartsWithNoCase(s, end, "nan")) {
      special = std::numeric_limits<double>::quiet_NaN();
    } else {
      return TScan::kNotANumber;
    }
    value = negative ? -special : special;
    p = s + 3;
    return TScan::kOk;
  }
  // The text now starts with a digit or a point, so from_chars sees no sign
  // and cannot take a name; the sign is applied afterwards (exact).
  double v = 0.0;
  const auto r = std::from_chars(s, end, v, std::chars_format::general);
  if (r.ec == std::errc::invalid_argument) return TScan::kNotANumber;
  // from_chars stops before an exponent without digits ("1e", "1e+"); a
  // stream takes the "e" into the number and then fails on it.
  if (r.ptr < end && (*r.ptr == 'e' || *r.ptr == 'E')) {
    bool hasExponent = false;
    for (const char* c = s; c < r.ptr; ++c) hasExponent |= (*c == 'e' || *c == 'E');
    if (!hasExponent) return TScan::kNotANumber;
  }
  if (r.ec == std::errc::result_out_of_range) {
    if (IsOverflow(s, r.ptr)) return TScan::kOutOfRange;
    v = 0.0;
  }
  value = negative ? -v : v;
  p = r.ptr;
  return TScan::kOk;
}

}  // namespace kohport::legacy
