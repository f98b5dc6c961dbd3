#include "legacy/FileImage.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "common/TException.h"
#include "legacy/LegacyFormat.h"

namespace kohport::legacy {

namespace {

struct TCloser {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

[[noreturn]] void Refuse(const std::string& message, const char* location) {
  throw TException(message.c_str(), kFileError, location, nullptr);
}

}  // namespace

std::string ReadFileImage(const char* path, const char* location, std::size_t streamCap) {
  std::unique_ptr<std::FILE, TCloser> file(std::fopen(path, "rb"));
  if (!file) Refuse("Unable to open file", location);
  struct stat info;
  if (fstat(fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
    Refuse("Unable to open file", location);
  }
  const bool regular = S_ISREG(info.st_mode);
  constexpr std::size_t kChunk = 64 * 1024;
  // One byte more than a regular file's size, so its end is seen in one read.
  std::size_t capacity =
      regular ? static_cast<std::size_t>(info.st_size) + 1 : std::min(kChunk, streamCap + 1);
  std::string bytes;
  std::size_t size = 0;
  for (;;) {
    if (size == capacity) {
      capacity = regular ? capacity + capacity / 2 + kChunk : std::min(2 * capacity, streamCap + 1);
    }
    bytes.resize(capacity);
    const std::size_t got = std::fread(&bytes[size], 1, capacity - size, file.get());
    size += got;
    if (!regular && size > streamCap) {
      Refuse("Input longer than " + std::to_string(streamCap) + " bytes", location);
    }
    if (got == 0 || size < capacity) {
      if (std::ferror(file.get())) Refuse("Unable to read file", location);
      if (std::feof(file.get())) break;
    }
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace kohport::legacy
