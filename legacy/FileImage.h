// Reading a whole input file into memory, so the parsers work on one buffer.
#ifndef KOHPORT_LEGACY_FILEIMAGE_H
#define KOHPORT_LEGACY_FILEIMAGE_H

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace kohport::legacy {

// The most a pipe or device is read: its end is unknown in advance, and an
// endless source (/dev/zero) must end with a message, not exhaust memory.
constexpr std::size_t kMaxStreamInput = std::size_t{1} << 30;  // 1 GiB

// An input file opened for reading whole. Refusals are TException with
// category "File Error" and the location given at opening.
class TInputFile {
 public:
  // Opens `path`. Throws "Unable to open file" when it cannot be opened or
  // is a directory.
  TInputFile(const char* path, const char* location);

  // Returns every byte of the file and closes it. A regular file is read in
  // one piece of its size; anything else (a pipe, a device) in growing chunks
  // up to `streamCap` bytes. Throws "Unable to read file" when reading fails
  // and "Input longer than N bytes" when a pipe or device goes on past the
  // cap. Allocation failure is left to the caller (std::bad_alloc).
  std::string ReadAll(std::size_t streamCap = kMaxStreamInput);

 private:
  struct TCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, TCloser> file_;
  const char* location_;
  bool regular_ = false;
  std::size_t size_ = 0;  // of a regular file when opened
};

// TInputFile(path, location).ReadAll(streamCap).
std::string ReadFileImage(const char* path, const char* location,
                          std::size_t streamCap = kMaxStreamInput);

}  // namespace kohport::legacy

#endif
