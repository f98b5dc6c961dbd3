#include "common/TException.h"

#include "KQmessage/KQML.h"
#include "common/Assert.h"

namespace kohport {

TException::TException(const char* message_, const char* category_) {
  if (message_) message = message_;
  if (category_) category = category_;
}

TException::TException(const char* message_, const char* category_, const char* location_,
                       TKQstructure* details_)
    : details(details_) {
  KOH_ASSERT(message_ != nullptr && category_ != nullptr && location_ != nullptr);
  message = message_;
  category = category_;
  location = location_;
}

}  // namespace kohport
