// Running out of memory while parsing: this binary replaces the global
// operator new so that one chosen allocation fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "KQmessage/KQML.h"

namespace {
// Allocations left before the one that fails; negative: none fails.
long allocationsBeforeFailure = -1;
}  // namespace

void* operator new(std::size_t size) {
  if (allocationsBeforeFailure == 0) {
    allocationsBeforeFailure = -1;
    throw std::bad_alloc();
  }
  if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace kohport {
namespace {

TEST(KQMLOutOfMemoryTest, EveryFailedAllocationBecomesAnErrorMessage) {
  std::string text = "(tell :value 3 :sender (agent :name a1)";
  for (int i = 0; i < 20; ++i) text += " :tag" + std::to_string(i) + " (x :y z)";
  text += ")";
  int refusals = 0;
  for (long n = 0;; ++n) {
    SCOPED_TRACE(n);
    const char* cursor = text.c_str();
    std::string error;
    allocationsBeforeFailure = n;
    try {
      const auto message = TKQstructure::ParseMessage(&cursor);
      allocationsBeforeFailure = -1;
      EXPECT_EQ(message->GetCount(), 22);
      break;  // no allocation left to fail
    } catch (const TKQstructure::Error& e) {
      allocationsBeforeFailure = -1;
      error = e.Text();
    }
    ++refusals;
    EXPECT_EQ(error.rfind("(error :type out-of-memory :position ", 0), 0u) << error;
    EXPECT_EQ(cursor, text.c_str());
  }
  EXPECT_GT(refusals, 40);
}

}  // namespace
}  // namespace kohport
