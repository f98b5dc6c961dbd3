// Small helpers shared by the test binaries.
#ifndef KOHPORT_TESTS_TESTUTIL_H
#define KOHPORT_TESTS_TESTUTIL_H

#include <fstream>
#include <sstream>
#include <string>

namespace kohport::test {

// `text` as a POSIX extended regular expression matching exactly itself.
inline std::string RegexQuote(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}

// The whole assertion report for `expr` at `file`:`line`, anchored, as a regex.
inline std::string AssertionReport(const std::string& expr, const std::string& file, int line) {
  return "^" +
         RegexQuote("\nAssertion failed: " + expr + ", file " + file + ", line " +
                    std::to_string(line) + "\n\nAbnormal program termination\n") +
         "$";
}

// Same, for an assertion in library code whose file and line the test does
// not pin down.
inline std::string AssertionReportAnyPlace(const std::string& expr) {
  return "^" + RegexQuote("\nAssertion failed: " + expr + ", file ") + "[^\n]*, line [0-9]+" +
         RegexQuote("\n\nAbnormal program termination\n") + "$";
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace kohport::test

#endif
