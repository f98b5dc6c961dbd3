// Locale-independent number formatting shared by every writer of the library.
// One helper per notation, so a given number always has one text.
#ifndef KOHPORT_COMMON_NUMBERS_H
#define KOHPORT_COMMON_NUMBERS_H

#include <cstddef>
#include <string>

namespace kohport {

// Enough room for any text the formatters below produce for a double with a
// precision up to kMaxPrecision (fixed notation of 1e308 included).
constexpr int kMaxPrecision = 40;
constexpr std::size_t kNumberBufferSize = 400;

// Writes `v` as printf's "%.*g" does (general notation, `precision`
// significant digits, trailing zeros dropped; "inf", "-inf", "nan", "-nan").
// `buf` must hold kNumberBufferSize characters. Returns the text length; no
// terminator is written.
std::size_t FormatGeneral(char* buf, double v, int precision) noexcept;

// Writes `v` as printf's "%.*f" does (fixed notation, `precision` digits
// after the point). Same buffer contract as FormatGeneral.
std::size_t FormatFixed(char* buf, double v, int precision) noexcept;

// Convenience forms returning the text.
std::string GeneralText(double v, int precision);
std::string FixedText(double v, int precision);
// Decimal text of an integer, as "%ld" writes it.
std::string IntegerText(long v);

}  // namespace kohport

#endif
