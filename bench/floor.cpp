// converter_floor OldFileName NewFileName: the least a converter of a legacy
// map file has to do, as the yardstick for kohport in
// bench/converter_bench.sh. Reads the file whole, parses every number of the
// table with std::from_chars, and writes every weight with std::to_chars
// (general notation, 15 significant digits, right-aligned in 20 characters
// and a blank) in kohport's order, one line per input, into one buffer
// written at once. No checks beyond what keeps it in bounds.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

const char* SkipSpace(const char* p, const char* end) {
  while (p < end && IsSpace(*p)) ++p;
  return p;
}

const char* SkipWord(const char* p, const char* end) {
  while (p < end && !IsSpace(*p)) ++p;
  return p;
}

// Parses the integer that follows the word `tag` in the header.
long HeaderValue(const std::string& text, const char* tag) {
  const std::size_t at = text.find(tag);
  if (at == std::string::npos) return 0;
  const char* p = SkipSpace(text.data() + at + std::strlen(tag), text.data() + text.size());
  long v = 0;
  std::from_chars(p, text.data() + text.size(), v);
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("Usage: converter_floor OldFileName NewFileName\n", stderr);
    return 1;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr) return 1;
  std::string text;
  std::fseek(in, 0, SEEK_END);
  text.resize(static_cast<std::size_t>(std::ftell(in)));
  std::fseek(in, 0, SEEK_SET);
  text.resize(std::fread(text.data(), 1, text.size(), in));
  std::fclose(in);

  const long inputs = HeaderValue(text, "INPUTS:");
  const long side = HeaderValue(text, "MAPSIZE:");
  const long units = side * side;
  std::vector<double> weights(static_cast<std::size_t>(units * inputs));

  const char* end = text.data() + text.size();
  const char* p = text.data() + text.find("MAPSIZE:");
  while (p < end && *p != 'X') ++p;
  ++p;
  for (int w = 0; w < 3; ++w) p = SkipWord(SkipSpace(p, end), end);
  for (long row = 0; row < units; ++row) {
    long x = 0;
    long y = 0;
    p = std::from_chars(SkipSpace(p, end), end, x).ptr;
    p = std::from_chars(SkipSpace(p, end), end, y).ptr;
    if (x < 0 || x >= side || y < 0 || y >= side) return 1;
    double* unit = weights.data() + (x * side + y) * inputs;
    for (long i = 0; i < inputs; ++i) p = std::from_chars(SkipSpace(p, end), end, unit[i]).ptr;
    const char* q = SkipSpace(p, end);
    if (q < end && *q == '.') p = q + 1;
  }

  // Left uninitialised: every byte written is formatted first.
  const std::unique_ptr<char[]> out(
      new char[static_cast<std::size_t>(inputs * (units * 24 + 32)) + 64]);
  char* o = out.get();
  for (long i = 0; i < inputs; ++i) {
    for (long u = 0; u < units; ++u) {
      char digits[32];
      const auto r = std::to_chars(digits, digits + sizeof digits, weights[u * inputs + i],
                                   std::chars_format::general, 15);
      const std::size_t n = static_cast<std::size_t>(r.ptr - digits);
      if (n < 20) {
        std::memset(o, ' ', 20 - n);
        o += 20 - n;
      }
      std::memcpy(o, digits, n);
      o += n;
      *o++ = ' ';
    }
    *o++ = '\n';
  }
  std::FILE* dst = std::fopen(argv[2], "wb");
  if (dst == nullptr) return 1;
  const std::size_t size = static_cast<std::size_t>(o - out.get());
  const bool ok = std::fwrite(out.get(), 1, size, dst) == size;
  return std::fclose(dst) == 0 && ok ? 0 : 1;
}
