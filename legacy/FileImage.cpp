#include "legacy/FileImage.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "common/Assert.h"
#include "common/TException.h"
#include "legacy/LegacyFormat.h"

namespace kohport::legacy {

namespace {

[[noreturn]] void Refuse(const std::string& message, const char* location) {
  throw TException(message.c_str(), kFileError, location, nullptr);
}

}  // namespace

TInputFile::TInputFile(const char* path, const char* location)
    : file_(std::fopen(path, "rb")), location_(location) {
  if (!file_) Refuse("Unable to open file", location_);
  struct stat info;
  if (fstat(fileno(file_.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
    Refuse("Unable to open file", location_);
  }
  regular_ = S_ISREG(info.st_mode);
  if (regular_) size_ = static_cast<std::size_t>(info.st_size);
}

std::string TInputFile::ReadAll(std::size_t streamCap) {
  KOH_ASSERT(file_ != nullptr && streamCap < streamCap + 1);
  constexpr std::size_t kChunk = 64 * 1024;
  // One byte more than a regular file's size, so its end is seen in one read.
  std::size_t capacity = regular_ ? size_ + 1 : std::min(kChunk, streamCap + 1);
  std::string bytes;
  std::size_t size = 0;
  for (;;) {
    if (size == capacity) {
      capacity =
          regular_ ? capacity + capacity / 2 + kChunk : std::min(2 * capacity, streamCap + 1);
    }
    bytes.resize(capacity);
    const std::size_t got = std::fread(&bytes[size], 1, capacity - size, file_.get());
    size += got;
    if (!regular_ && size > streamCap) {
      Refuse("Input longer than " + std::to_string(streamCap) + " bytes", location_);
    }
    if (size < capacity) {
      if (std::ferror(file_.get())) Refuse("Unable to read file", location_);
      if (std::feof(file_.get())) break;
    }
  }
  file_.reset();
  bytes.resize(size);
  return bytes;
}

std::string ReadFileImage(const char* path, const char* location, std::size_t streamCap) {
  return TInputFile(path, location).ReadAll(streamCap);
}

}  // namespace kohport::legacy
