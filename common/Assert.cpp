#include "common/Assert.h"

#include <cstdio>
#include <cstdlib>

namespace kohport {

void AssertionFailed(const char* expr, const char* file, int line) noexcept {
  std::fflush(stdout);
  std::fprintf(stderr, "\nAssertion failed: %s, file %s, line %d\n", expr, file, line);
  std::fputs("\nAbnormal program termination\n", stderr);
  std::fflush(stderr);
  std::_Exit(3);
}

}  // namespace kohport
