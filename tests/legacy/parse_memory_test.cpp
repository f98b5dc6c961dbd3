// A small hostile file must not make the parser allocate what its header
// declares: this binary counts every allocation made while parsing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "common/TException.h"
#include "legacy/KohonenText.h"

namespace {
bool counting = false;
std::size_t allocated = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (counting) allocated += size;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace kohport::legacy {
namespace {

// Bytes allocated while parsing `text` (accepted or refused).
std::size_t AllocatedParsing(const std::string& text) {
  allocated = 0;
  counting = true;
  try {
    ParseKohonenText(text);
  } catch (const TException&) {
  }
  counting = false;
  return allocated;
}

TEST(ParseMemoryTest, TinyFilesDeclaringHugeMapsCostLittle) {
  const std::string heading = "\nX Y     Input Weights\n";
  const std::string cases[] = {
      "INPUTS: 1\nMAPSIZE: 46340" + heading + "0 0 1 .\n",
      "INPUTS: 100\nMAPSIZE: 4634" + heading + "0 0 1 2 3 4 5 6 7 8 9\n",
      "INPUTS: 0\nMAPSIZE: 46340" + heading + "0 0 . 0 1 . 1 1\n",
      "INPUTS: 150\nMAPSIZE: 1" + heading + std::string(150, '1'),
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    ASSERT_LT(text.size(), 200u);
    EXPECT_LT(AllocatedParsing(text), 16u * 1024);
  }
}

}  // namespace
}  // namespace kohport::legacy
