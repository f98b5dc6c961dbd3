#include "FileHandler/ParseTools.h"

#include <charconv>
#include <cmath>
#include <istream>
#include <limits>
#include <ostream>
#include <streambuf>
#include <system_error>

#include "common/Assert.h"
#include "common/Numbers.h"

namespace kohport {

namespace {

using Traits = std::char_traits<char>;

bool IsSeparator(int byte) noexcept {
  return byte < '!' || byte > '~' || byte == ',';
}

bool IsSpecial(int byte) noexcept {
  switch (byte) {
    case '[':
    case ']':
    case '/':
    case '*':
    case '=':
    case '<':
    case '>':
      return true;
    default:
      return false;
  }
}

char Upper(char c) noexcept {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Equality ignoring letter case, as the library's strcasecmp decides it.
bool EqualNoCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

// True when `text` starts with `prefix`, ignoring letter case.
bool StartsNoCase(std::string_view text, std::string_view prefix) noexcept {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// White space as the C locale's isspace sees it.
bool IsCSpace(char c) noexcept {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) noexcept {
  return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) noexcept {
  return IsDigit(c) || (Upper(c) >= 'A' && Upper(c) <= 'F');
}

std::streambuf& Source(std::istream& in) {
  std::streambuf* sb = in.rdbuf();
  KOH_ASSERT(sb != nullptr);
  return *sb;
}

// The next byte that is not a separator, left unread; eof when the input
// ends first (eofbit is then set on `in`).
int SkipSeparators(std::istream& in, std::streambuf& sb) {
  for (;;) {
    const int c = sb.sgetc();
    if (Traits::eq_int_type(c, Traits::eof())) {
      in.setstate(std::ios::eofbit);
      return c;
    }
    if (!IsSeparator(c)) return c;
    sb.sbumpc();
  }
}

// Unformatted output: the stream's width and flags never change the file.
void Put(std::ostream& out, std::string_view text) {
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

[[noreturn]] void Fail(std::istream& in, std::string message) {
  throw FileTools::Error{std::move(message), &in, nullptr};
}

// Whether the number that std::from_chars reported out of range in
// [first, last) lies above 1 in magnitude (so it overflowed) rather than
// below (so it underflowed). `last` is where from_chars stopped: a mantissa
// of hexadecimal (`hex`) or decimal digits with an optional point, and an
// optional exponent. Out-of-range values lie far from 1, so the position of
// the first nonzero digit plus the exponent decides.
bool AboveOne(const char* first, const char* last, bool hex) {
  const char exponentChar = hex ? 'P' : 'E';
  long position = 0;  // power of the base at the first nonzero digit
  bool found = false;
  bool point = false;
  const char* p = first;
  for (; p != last && Upper(*p) != exponentChar; ++p) {
    if (*p == '.') {
      point = true;
    } else if (!found) {
      if (*p != '0') {
        found = true;
        position = point ? position - 1 : 0;
      } else if (point) {
        --position;
      }
    } else if (!point) {
      ++position;
    }
  }
  if (!found) return false;
  long exponent = 0;
  if (p != last) {
    ++p;
    bool negative = false;
    if (p != last && (*p == '+' || *p == '-')) negative = *p++ == '-';
    for (; p != last; ++p) {
      if (exponent < 100000000) exponent = exponent * 10 + (*p - '0');
    }
    if (negative) exponent = -exponent;
  }
  // A hexadecimal digit is 4 bits and its exponent counts bits.
  return (hex ? position * 4 : position) + exponent >= 0;
}

// Value of the (already validated) number text as strtod gives it; `p`
// points just after the optional sign.
double NumberValue(const char* p, const char* end) {
  bool hex = false;
  if (end - p >= 2 && p[0] == '0' && Upper(p[1]) == 'X') {
    hex = true;
    p += 2;
  }
  double value = 0;
  const auto r =
      std::from_chars(p, end, value, hex ? std::chars_format::hex : std::chars_format::general);
  if (r.ec == std::errc::invalid_argument) {
    // Only for "0x" with no hexadecimal digits after it, which strtod reads as 0.
    KOH_ASSERT(hex);
    return 0;
  }
  if (r.ec == std::errc::result_out_of_range) {
    return AboveOne(p, r.ptr, hex) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return value;
}

}  // namespace

// ---- Reading ----------------------------------------------------------

std::string FileTools::ReadToken(std::istream& in) {
  std::streambuf& sb = Source(in);
  for (;;) {
    const int c = SkipSeparators(in, sb);
    if (Traits::eq_int_type(c, Traits::eof())) return std::string();
    sb.sbumpc();
    if (IsSpecial(c)) {
      const int d = sb.sgetc();
      if (c == '/' && d == '*') {
        sb.sbumpc();
        SkipComment(in);
        continue;  // the token after the comment
      }
      if (c == '[' && d == '~') {
        sb.sbumpc();
        return "[~";
      }
      if (Traits::eq_int_type(d, Traits::eof())) in.setstate(std::ios::eofbit);
      return std::string(1, static_cast<char>(c));
    }
    buffer.clear();
    buffer.push_back(static_cast<char>(c));
    for (;;) {
      const int d = sb.sgetc();
      if (Traits::eq_int_type(d, Traits::eof())) {
        in.setstate(std::ios::eofbit);
        break;
      }
      if (IsSpecial(d)) break;
      sb.sbumpc();
      if (IsSeparator(d)) break;
      if (buffer.size() == kMaxWordLength) Fail(in, "Word longer than 1024 characters");
      buffer.push_back(static_cast<char>(d));
    }
    return buffer;
  }
}

void FileTools::SkipComment(std::istream& in) {
  std::streambuf& sb = Source(in);
  std::size_t depth = 0;  // inner comments open within this one
  int previous = ' ';
  for (;;) {
    const int c = sb.sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) {
      in.setstate(std::ios::eofbit);
      Fail(in, "Unexpected end of file during comment");
    }
    if (previous == '*' && c == '/') {
      if (depth == 0) return;
      --depth;
      // The comment around continues after the "*" that opened the inner
      // one, so that "*" is the previous byte again.
      previous = '*';
    } else if (previous == '/' && c == '*') {
      ++depth;
      previous = ' ';  // an inner comment starts afresh
    } else {
      previous = c;
    }
  }
}

TTag FileTools::ReadTag(std::optional<std::string_view> blockdef, std::istream& in, bool inside) {
  std::streambuf& sb = Source(in);
  for (;;) {
    std::string s = ReadToken(in);
    if (s.empty()) {
      if (blockdef || inside) Fail(in, "Unexpected end of file");
      return TTag{};
    }
    if (inside || s == "[") {
      if (!inside) {
        s = ReadToken(in);
        if (s.empty()) Fail(in, "Unexpected end of file");
      }
      if (IsSpecial(static_cast<unsigned char>(s[0]))) Fail(in, "Unexpected special character");
      TTag tag;
      tag.name = std::move(s);
      const int c = SkipSeparators(in, sb);
      if (c == ']') {
        sb.sbumpc();
        tag.type = TTag::KeywordTag;
        return tag;
      }
      if (c != '=') {
        // The next item of the same bracket, or the end of the input, which
        // the next ReadTag reports.
        tag.type = TTag::KeywordTag;
        tag.more = true;
        return tag;
      }
      sb.sbumpc();
      tag.type = TTag::ValueTag;
      tag.value = ReadToken(in);
      if (tag.value.empty()) Fail(in, "Unexpected end of file");
      if (IsSpecial(static_cast<unsigned char>(tag.value[0]))) {
        Fail(in, "Unexpected special character");
      }
      if (SkipSeparators(in, sb) == ']') {
        sb.sbumpc();
      } else {
        tag.more = true;
      }
      if (inside || !EqualNoCase(tag.name, "FORMATVERSION")) return tag;
      if (tag.more) Fail(in, "Illegal Format of FormatVersion");
      if (ParseNumber(in, tag.value) > 1.0) Fail(in, "Illegal Format Version");
      continue;  // the format version is transparent: read the next tag
    }
    if (s == "[~") {
      if (!blockdef) Fail(in, "End Tag with no block open");
      const std::string name = ReadToken(in);
      if (!EqualNoCase(name, *blockdef)) Fail(in, "Unexpected End Tag");
      if (ReadToken(in) != "]") Fail(in, "Expected ']'");
      return TTag{};
    }
    if (s == "]") Fail(in, "Unexpected ']' outside a tag");
    TTag tag;
    tag.type = TTag::PlainToken;
    tag.name = std::move(s);
    return tag;
  }
}

// ---- Checking tags ------------------------------------------------------

std::string FileTools::ExpectBlockStart(const TTag& tag, std::istream& in,
                                        std::optional<std::string_view> keyword) {
  if (keyword) {
    if (tag.type != TTag::KeywordTag || !EqualNoCase(tag.name, *keyword)) {
      Fail(in, "[" + std::string(*keyword) + "] expected");
    }
  } else if (tag.type != TTag::KeywordTag) {
    Fail(in, "start of block expected");
  }
  return tag.name;
}

void FileTools::ExpectEndTag(const TTag& tag, std::istream& in) {
  if (tag.type != TTag::EndTag) Fail(in, "End Tag expected");
}

std::string FileTools::ReadStringTag(const TTag& tag, std::istream& in, std::string_view keyword,
                                     std::optional<std::string_view> expected) {
  if (tag.type != TTag::ValueTag || !EqualNoCase(tag.name, keyword)) {
    std::string message = "[" + std::string(keyword) + " = <string>] expected";
    if (tag.HasName()) message += tag.name;
    Fail(in, std::move(message));
  }
  if (expected && !EqualNoCase(tag.value, *expected)) {
    Fail(in, "[" + std::string(keyword) + " = " + std::string(*expected) + "] expected");
  }
  return tag.value;
}

std::int32_t FileTools::ReadIntegerTag(const TTag& tag, std::istream& in,
                                       std::string_view keyword) {
  if (tag.type != TTag::ValueTag || !EqualNoCase(tag.name, keyword)) {
    Fail(in, "[" + std::string(keyword) + " = <integer>] expected");
  }
  return ParseInteger(in, tag.value);
}

double FileTools::ReadNumberTag(const TTag& tag, std::istream& in, std::string_view keyword) {
  if (tag.type != TTag::ValueTag || !EqualNoCase(tag.name, keyword)) {
    Fail(in, "[" + std::string(keyword) + " = <number>] expected");
  }
  return ParseNumber(in, tag.value);
}

double FileTools::ReadNumberToken(const TTag& tag, std::istream& in) {
  if (tag.type != TTag::PlainToken) Fail(in, "Token (number) expected");
  return ParseNumber(in, tag.name);
}

// ---- Values -------------------------------------------------------------

std::int32_t FileTools::ParseInteger(std::istream& in, std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p != end && IsCSpace(*p)) ++p;
  // from_chars takes a "-" but no "+"; a sign must be followed by a digit.
  const char* digits = p;
  if (digits != end && (*digits == '+' || *digits == '-')) ++digits;
  if (digits == end || !IsDigit(*digits)) Fail(in, "integer-expected");
  std::int32_t value = 0;
  const auto r = std::from_chars(*p == '+' ? digits : p, end, value);
  if (r.ec == std::errc::result_out_of_range) Fail(in, "integer out of range");
  KOH_ASSERT(r.ec == std::errc());
  return value;
}

double FileTools::ParseNumber(std::istream& in, std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p != end && IsCSpace(*p)) ++p;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const std::string_view rest(p, static_cast<std::size_t>(end - p));

  // Validity, as glibc's "%f" scan decides it.
  bool valid = false;
  if (rest.empty()) {
    valid = false;
  } else if (Upper(rest[0]) == 'N') {
    valid = StartsNoCase(rest, "NAN");
  } else if (Upper(rest[0]) == 'I') {
    // "inf", and when an "i" follows, the whole of "infinity".
    valid = StartsNoCase(rest, "INF") &&
            (rest.size() == 3 || Upper(rest[3]) != 'I' || StartsNoCase(rest, "INFINITY"));
  } else if (rest.size() >= 2 && rest[0] == '0' && Upper(rest[1]) == 'X') {
    valid = rest.size() >= 3 && (IsHexDigit(rest[2]) || rest[2] == '.');
  } else {
    valid = IsDigit(rest[0]) || (rest[0] == '.' && rest.size() >= 2 && IsDigit(rest[1]));
  }
  if (!valid) Fail(in, "number-expected");

  const double magnitude = NumberValue(p, end);
  return negative ? -magnitude : magnitude;
}

// ---- Writing ------------------------------------------------------------

void FileTools::WriteItem(TTag::Type kind, std::optional<std::string_view> name,
                          std::optional<std::string_view> value, std::ostream& out, bool bracket) {
  switch (kind) {
    case TTag::EndTag:
      KOH_ASSERT(bracket, "EndTag items are written bracketed");
      if (name) {
        Put(out, "[~");
        Put(out, *name);
        Put(out, "]\n");
      }
      return;
    case TTag::PlainToken:
      KOH_ASSERT(name.has_value());
      Put(out, *name);
      Put(out, " ");
      return;
    case TTag::KeywordTag:
      KOH_ASSERT(name.has_value());
      if (bracket) {
        Put(out, "[");
        Put(out, *name);
        Put(out, "]\n");
      } else {
        Put(out, *name);
        Put(out, " ");
      }
      return;
    case TTag::ValueTag:
      KOH_ASSERT(name.has_value() && value.has_value());
      if (bracket) {
        Put(out, "[");
        Put(out, *name);
        Put(out, " = ");
        Put(out, *value);
        Put(out, "]\n");
      } else {
        Put(out, *name);
        Put(out, "=");
        Put(out, *value);
        Put(out, " ");
      }
      return;
    case TTag::FormatVersionItem:
      KOH_ASSERT(bracket, "FormatVersion items are written bracketed");
      Put(out, "[FormatVersion = 1.0]\n\n");
      return;
  }
  KOH_REFUSE();
}

void FileTools::WriteOpenBracket(std::ostream& out, bool bracket) {
  if (bracket) Put(out, "[");
}

void FileTools::WriteCloseBracket(std::ostream& out, bool bracket, bool newline) {
  if (!bracket) return;
  Put(out, newline ? "]\n" : "]");
}

void FileTools::WriteFormatVersion(std::ostream& out) {
  WriteItem(TTag::FormatVersionItem, std::nullopt, std::nullopt, out, true);
}

void FileTools::WriteNewLine(std::ostream& out) {
  Put(out, "\n");
}

void FileTools::WriteKeyword(std::ostream& out, std::string_view name, bool bracket) {
  WriteItem(TTag::KeywordTag, name, std::nullopt, out, bracket);
}

void FileTools::WriteEndTag(std::ostream& out, std::optional<std::string_view> name) {
  WriteItem(TTag::EndTag, name, std::nullopt, out, true);
}

void FileTools::WriteStringTag(std::ostream& out, std::string_view name, std::string_view text,
                               bool bracket) {
  WriteItem(TTag::ValueTag, name, text, out, bracket);
}

void FileTools::WriteIntegerTag(std::ostream& out, std::string_view name, std::int32_t value,
                                bool bracket) {
  WriteItem(TTag::ValueTag, name, IntegerText(value), out, bracket);
}

void FileTools::WriteNumberTag(std::ostream& out, std::string_view name, double value,
                               int precision, bool bracket) {
  char text[kNumberBufferSize];
  const std::size_t n = FormatFixed(text, value, precision);
  WriteItem(TTag::ValueTag, name, std::string_view(text, n), out, bracket);
}

}  // namespace kohport
