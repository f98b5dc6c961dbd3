// Parser of the legacy Kohonen map text (see KohonenText.h).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "common/TException.h"
#include "legacy/KohonenText.h"
#include "legacy/LegacyFormat.h"
#include "legacy/StreamNumbers.h"

namespace kohport::legacy {

namespace {

// The white space of the classic locale: blank, tab, line end, vertical tab,
// form feed, carriage return.
bool IsSpace(char c) noexcept {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string Text(std::int64_t v) {
  return std::to_string(v);
}

class TParser {
 public:
  explicit TParser(std::string_view text)
      : begin_(text.data()), p_(text.data()), end_(text.data() + text.size()) {}

  TOndKohonenImage Parse() {
    TOndKohonenImage image;
    ReadHeader(image);
    SkipHeading();
    ReadRows(image);
    return image;
  }

 private:
  // Every refusal goes through here: "line N: what".
  [[noreturn]] void Fail(const char* at, const std::string& what) const {
    const auto line = 1 + std::count(begin_, at, '\n');
    const std::string message = "line " + Text(line) + ": " + what;
    throw TException(message.c_str(), kFileError, kLoadLocation, nullptr);
  }

  void SkipSpace() noexcept {
    while (p_ < end_ && IsSpace(*p_)) ++p_;
  }

  // The word at the cursor (the cursor is on a non-space character).
  std::string_view Word() noexcept {
    const char* start = p_;
    while (p_ < end_ && !IsSpace(*p_)) ++p_;
    return std::string_view(start, static_cast<std::size_t>(p_ - start));
  }

  // The rest of the current line, whole; the line end is consumed and not
  // kept, and a carriage return before it belongs to the line end.
  std::string RestOfLine() {
    const char* nl =
        static_cast<const char*>(std::memchr(p_, '\n', static_cast<std::size_t>(end_ - p_)));
    const char* stop = nl ? nl : end_;
    std::string line(p_, static_cast<std::size_t>(stop - p_));
    if (nl && !line.empty() && line.back() == '\r') line.pop_back();
    p_ = nl ? nl + 1 : end_;
    return line;
  }

  // The integer after "INPUTS:" or "MAPSIZE:"; a count, so not negative.
  int HeaderCount(const char* tag) {
    SkipSpace();
    const char* at = p_;
    int value = 0;
    switch (ScanInteger(p_, end_, value)) {
      case TScan::kOk:
        break;
      case TScan::kNotANumber:
        Fail(at, std::string("integer expected after ") + tag);
      case TScan::kOutOfRange:
        Fail(at, std::string(tag) + " value out of range");
    }
    if (value < 0) Fail(at, std::string("negative ") + tag + " value " + Text(value));
    return value;
  }

  void ReadHeader(TOndKohonenImage& image) {
    const char* inputsAt = nullptr;
    for (;;) {
      SkipSpace();
      if (p_ == end_) Fail(p_, std::string("end of file before ") + kMapSizeTag);
      const char* at = p_;
      const std::string_view word = Word();
      if (word.size() > kMaxHeaderWord) {
        Fail(at, "header word longer than " + Text(kMaxHeaderWord) + " characters");
      }
      if (word == kTitleTag) {
        image.title = RestOfLine();
      } else if (word == kDescriptionTag) {
        image.description = RestOfLine();
      } else if (word == kInputsTag) {
        SkipSpace();
        inputsAt = p_;
        image.numInputs = HeaderCount(kInputsTag);
      } else if (word == kMapSizeTag) {
        if (!inputsAt) Fail(at, std::string(kMapSizeTag) + " without " + kInputsTag + " before it");
        image.mapSize = HeaderCount(kMapSizeTag);
        CheckSizes(image, inputsAt, at);
        return;
      }
    }
  }

  // Counts are signed 32-bit, and no row can hold more numbers than the text
  // has characters: a 0 x 0 map would otherwise build an input layer of any
  // declared size from a few bytes.
  void CheckSizes(const TOndKohonenImage& image, const char* inputsAt, const char* mapSizeAt) {
    constexpr std::int64_t kMaxCount = std::numeric_limits<int>::max();
    const std::int64_t n = image.numInputs;
    const std::int64_t m = image.mapSize;
    const std::int64_t units = m * m;
    if (units > kMaxCount) {
      Fail(mapSizeAt, "map of " + Text(m) + " x " + Text(m) + " units is too large");
    }
    if (n * units > kMaxCount) {
      Fail(mapSizeAt, "map of " + Text(m) + " x " + Text(m) + " units with " + Text(n) +
                          " inputs has too many weights");
    }
    const auto length = static_cast<std::uint64_t>(end_ - begin_);
    if (static_cast<std::uint64_t>(n) > length) {
      Fail(inputsAt, std::string(kInputsTag) + " " + Text(n) + " is more than a file of " +
                         Text(static_cast<std::int64_t>(length)) + " bytes can hold");
    }
  }

  // Everything up to and including the first capital X, then three words.
  void SkipHeading() {
    const char* x = static_cast<const char*>(
        std::memchr(p_, kHeadingMark, static_cast<std::size_t>(end_ - p_)));
    if (!x) Fail(end_, "end of file before the table heading");
    p_ = x + 1;
    for (int i = 0; i < kHeadingWords; ++i) {
      SkipSpace();
      if (p_ == end_) Fail(p_, "end of file in the table heading");
      Word();
    }
  }

  // X or Y of map row `row`: an integer from 0 to m - 1.
  int Coordinate(const char* name, int m, std::int64_t row) {
    SkipSpace();
    const char* at = p_;
    if (p_ == end_) Fail(at, "end of file in map row " + Text(row));
    int value = 0;
    const TScan scan = ScanInteger(p_, end_, value);
    if (scan == TScan::kNotANumber) {
      Fail(at, std::string("integer ") + name + " expected in map row " + Text(row));
    }
    if (scan == TScan::kOutOfRange || value < 0 || value >= m) {
      const std::string shown = scan == TScan::kOk ? " " + Text(value) : std::string();
      Fail(at, name + shown + " outside 0 to " + Text(m - 1) + " in map row " + Text(row));
    }
    return value;
  }

  double Weight(int input, std::int64_t row) {
    SkipSpace();
    const char* at = p_;
    if (p_ == end_) Fail(at, "end of file in map row " + Text(row));
    double value = 0.0;
    switch (ScanReal(p_, end_, value)) {
      case TScan::kOk:
        break;
      case TScan::kNotANumber:
        Fail(at, "number expected for weight " + Text(input + 1) + " in map row " + Text(row));
      case TScan::kOutOfRange:
        Fail(at, "number too large for weight " + Text(input + 1) + " in map row " + Text(row));
    }
    return value;
  }

  void ReadRows(TOndKohonenImage& image) {
    const int n = image.numInputs;
    const int m = image.mapSize;
    const std::int64_t rows = std::int64_t{m} * m;
    // Room for what the text can hold at most (a row takes at least "0 0 ",
    // a weight at least "0 "), never for what the header merely declares.
    const auto length = static_cast<std::int64_t>(end_ - begin_);
    image.places.reserve(static_cast<std::size_t>(std::min(rows, length / 4 + 1)));
    image.weights.reserve(static_cast<std::size_t>(std::min(rows * n, length / 2 + 1)));
    for (std::int64_t r = 1; r <= rows; ++r) {
      SkipSpace();
      if (p_ == end_) {
        Fail(p_, "end of file after " + Text(r - 1) + " of " + Text(rows) + " map rows");
      }
      TGridPlace place;
      place.x = Coordinate("X", m, r);
      place.y = Coordinate("Y", m, r);
      image.places.push_back(place);
      for (int i = 0; i < n; ++i) image.weights.push_back(Weight(i, r));
      // The optional end mark: a look-ahead that moves the cursor only when
      // the next word is ".".
      const char* q = p_;
      while (q < end_ && IsSpace(*q)) ++q;
      if (q < end_ && *q == kEndMark[0] && (q + 1 == end_ || IsSpace(q[1]))) p_ = q + 1;
    }
  }

  const char* const begin_;
  const char* p_;
  const char* const end_;
};

}  // namespace

TOndKohonenImage ParseKohonenText(std::string_view text) {
  return TParser(text).Parse();
}

}  // namespace kohport::legacy
