#include "common/Numbers.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "common/Assert.h"

namespace kohport {

namespace {
// to_chars spells non-finite values as printf does, except that it may drop
// the sign of a NaN; keep printf's spelling explicitly.
std::size_t NonFinite(char* buf, double v) noexcept {
  const char* text =
      std::isnan(v) ? (std::signbit(v) ? "-nan" : "nan") : (std::signbit(v) ? "-inf" : "inf");
  const std::size_t n = std::strlen(text);
  std::memcpy(buf, text, n);
  return n;
}
}  // namespace

std::size_t FormatGeneral(char* buf, double v, int precision) noexcept {
  KOH_ASSERT(precision >= 0 && precision <= kMaxPrecision);
  if (!std::isfinite(v)) return NonFinite(buf, v);
  // printf treats a precision of 0 as 1 in general notation.
  const auto r = std::to_chars(buf, buf + kNumberBufferSize, v, std::chars_format::general,
                               precision == 0 ? 1 : precision);
  KOH_ASSERT(r.ec == std::errc());
  return static_cast<std::size_t>(r.ptr - buf);
}

std::size_t FormatFixed(char* buf, double v, int precision) noexcept {
  KOH_ASSERT(precision >= 0 && precision <= kMaxPrecision);
  if (!std::isfinite(v)) return NonFinite(buf, v);
  const auto r =
      std::to_chars(buf, buf + kNumberBufferSize, v, std::chars_format::fixed, precision);
  KOH_ASSERT(r.ec == std::errc());
  return static_cast<std::size_t>(r.ptr - buf);
}

std::string GeneralText(double v, int precision) {
  char buf[kNumberBufferSize];
  return std::string(buf, FormatGeneral(buf, v, precision));
}

std::string FixedText(double v, int precision) {
  char buf[kNumberBufferSize];
  return std::string(buf, FormatFixed(buf, v, precision));
}

std::string IntegerText(long v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

}  // namespace kohport
