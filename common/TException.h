// TException: the exception raised by the data object and the legacy map
// handler for failures a caller can act on.
//
// Texts are owned by the exception (null where the constructor was given
// none). `details` is an optional structure shared by every copy of one
// exception and destroyed exactly once, with the last copy.
#ifndef KOHPORT_COMMON_TEXCEPTION_H
#define KOHPORT_COMMON_TEXCEPTION_H

#include <memory>
#include <optional>
#include <string>

namespace kohport {

class TKQstructure;

class TException {
 public:
  // All four fields null.
  TException() = default;
  // `message` copied; `category` copied or null when none is given.
  explicit TException(const char* message, const char* category = nullptr);
  // Every raise site of the library uses this form. The three texts are
  // copied (all must be given); the exception takes over `details` (may be null).
  TException(const char* message, const char* category, const char* location,
             TKQstructure* details);

  // The message text, or "" when the exception has none.
  const char* Message() const noexcept { return message ? message->c_str() : ""; }

  std::optional<std::string> message;
  std::optional<std::string> category;
  std::shared_ptr<TKQstructure> details;
  std::optional<std::string> location;
};

}  // namespace kohport

#endif
