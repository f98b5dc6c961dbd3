#include "KQmessage/KQML.h"

namespace kohport {

TKQstructure::TKQstructure() : head("unknown") {}
TKQstructure::TKQstructure(const char* text) : head(text) {}
TKQstructure::TKQstructure(const TKQstructure& other) = default;
TKQstructure& TKQstructure::operator=(const TKQstructure& other) = default;
TKQstructure::~TKQstructure() = default;

}  // namespace kohport
