// Reading a whole input file into memory, so the parsers work on one buffer.
#ifndef KOHPORT_LEGACY_FILEIMAGE_H
#define KOHPORT_LEGACY_FILEIMAGE_H

#include <cstddef>
#include <string>

namespace kohport::legacy {

// The most a pipe or device is read: its end is unknown in advance, and an
// endless source (/dev/zero) must end with a message, not exhaust memory.
constexpr std::size_t kMaxStreamInput = std::size_t{1} << 30;  // 1 GiB

// Returns every byte of the file at `path`; the file is closed on return. A
// regular file is read in one piece of its size; anything else (a pipe, a
// device) is read in growing chunks up to `streamCap` bytes. Throws
// TException (category "File Error", at `location`): "Unable to open file"
// when the path cannot be opened or is a directory, "Unable to read file"
// when reading fails, and "Input longer than N bytes" when a pipe or device
// goes on past the cap. Allocation failure is left to the caller.
std::string ReadFileImage(const char* path, const char* location,
                          std::size_t streamCap = kMaxStreamInput);

}  // namespace kohport::legacy

#endif
