// Case-insensitive text comparison used for every keyword, type name,
// function name and message tag of the library.
#ifndef KOHPORT_COMMON_STRCASE_H
#define KOHPORT_COMMON_STRCASE_H

namespace kohport {

// Compares a and b after turning both to upper case character by character
// (ASCII letters only, as the C locale does); bytes compare as unsigned and a
// text sorts before every longer text it starts. Returns -1, 0 or 1.
// Requires both texts to be non-null. Allocates nothing.
int strcasecmp(const char* a, const char* b) noexcept;

}  // namespace kohport

#endif
