#include "common/StrCase.h"

namespace kohport {

namespace {
inline unsigned char Upper(unsigned char c) noexcept {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}
}  // namespace

int strcasecmp(const char* a, const char* b) noexcept {
  const auto* pa = reinterpret_cast<const unsigned char*>(a);
  const auto* pb = reinterpret_cast<const unsigned char*>(b);
  for (;; ++pa, ++pb) {
    const unsigned char ca = Upper(*pa);
    const unsigned char cb = Upper(*pb);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

}  // namespace kohport
