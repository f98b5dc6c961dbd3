// Number scanning for the legacy map reader: reads from a character buffer
// exactly what formatted stream extraction (`in >> x` in the classic locale)
// reads, with std::from_chars doing the conversion.
//
// Both scanners start at the first character of the number (white space is
// the caller's business) and never read at or past `end`. On success they
// store the value and move `p` past the text they took; the number ends at the
// first character that cannot continue it, as in a stream ("4abc" reads 4 and
// leaves "abc"). On failure `p` and the value are left unchanged.
#ifndef KOHPORT_LEGACY_STREAMNUMBERS_H
#define KOHPORT_LEGACY_STREAMNUMBERS_H

namespace kohport::legacy {

enum class TScan {
  kOk,
  kNotANumber,  // no number starts here
  kOutOfRange,  // a number, but too large for the type
};

// A decimal integer: an optional "+" or "-", then at least one digit. A
// leading 0 is not octal and "0x" is not hexadecimal ("0x1F" reads 0).
// Values outside the signed 32-bit range are kOutOfRange.
TScan ScanInteger(const char*& p, const char* end, int& value) noexcept;

// A real number: an optional "+" or "-", digits with an optional point and
// fraction (at least one digit in all), an optional exponent ("e" or "E",
// optional sign, at least one digit: "1e" and "1e+" are not numbers). The
// result is the correctly rounded double. A number too small for a double
// reads as its subnormal value or as a zero of its sign; a finite number too
// large is kOutOfRange. Also accepted, in any letter case and with an
// optional sign, the spellings a writer uses for values that are not finite:
// "inf" and "nan" ("-nan" is a NaN with its sign bit set). Hexadecimal is not
// a number: "0x1p3" reads 0 and leaves "x1p3".
TScan ScanReal(const char*& p, const char* end, double& value) noexcept;

}  // namespace kohport::legacy

#endif
