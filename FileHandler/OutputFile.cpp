#include "FileHandler/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <streambuf>
#include <vector>

#include "FileHandler/ParseTools.h"
#include "common/Assert.h"

namespace kohport {

// A stream buffer over a file descriptor that remembers the first failed
// write. After a failure it drops every further byte and reports failure to
// the stream, so a full disk stops the writer's output at once.
class SafeOutputFile::Buffer : public std::streambuf {
 public:
  explicit Buffer(int fd) : fd(fd), area(kSize) { setp(area.data(), area.data() + area.size()); }

  // 0, or the errno of the first failed write.
  int Failure() const noexcept { return failure; }

  // Writes out what is buffered; false on failure.
  bool Flush() {
    const bool ok = WriteAll(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(area.data(), area.data() + area.size());
    return ok;
  }

 protected:
  int_type overflow(int_type c) override {
    if (!Flush()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
  }

  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (failure != 0) return 0;
    const std::streamsize room = epptr() - pptr();
    if (n <= room) {
      std::memcpy(pptr(), s, static_cast<std::size_t>(n));
      pbump(static_cast<int>(n));
      return n;
    }
    if (!Flush()) return 0;
    if (n >= static_cast<std::streamsize>(area.size())) {
      return WriteAll(s, static_cast<std::size_t>(n)) ? n : 0;
    }
    std::memcpy(pptr(), s, static_cast<std::size_t>(n));
    pbump(static_cast<int>(n));
    return n;
  }

  int sync() override { return Flush() ? 0 : -1; }

 private:
  static constexpr std::size_t kSize = 1 << 18;

  bool WriteAll(const char* p, std::size_t n) {
    if (failure != 0) return false;
    while (n > 0) {
      const ssize_t w = ::write(fd, p, n);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        failure = w < 0 ? errno : EIO;
        return false;
      }
      p += w;
      n -= static_cast<std::size_t>(w);
    }
    return true;
  }

  int fd;
  int failure = 0;
  std::vector<char> area;
};

namespace {

[[noreturn]] void Fail(std::ostream* out, std::string message) {
  throw FileTools::Error{std::move(message), nullptr, out};
}

std::string Reason(int error) {
  return std::strerror(error);
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links from `path` to the path of the final target (which
// may not exist). Returns false when a link cannot be read or the chain is
// too long.
bool ResolveLinks(std::string path, std::string& resolved) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      resolved = path;
      return true;
    }
    // st_size is the target's length, except for the links of /proc, which say 0.
    std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return false;
    const std::string next(target.data(), static_cast<std::size_t>(n));
    path = next[0] == '/' ? next : DirectoryOf(path) + "/" + next;
  }
  return false;
}

int OpenDirect(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

SafeOutputFile::SafeOutputFile(const std::string& path) : destination(path), stream(nullptr) {
  const auto openFailure = [this] { Fail(&stream, "Error on File Open"); };
  if (path.empty()) openFailure();

  struct stat target;  // what opening `path` would reach, links followed
  const bool exists = ::stat(path.c_str(), &target) == 0;
  if (!exists && errno != ENOENT) openFailure();

  bool direct = exists && !S_ISREG(target.st_mode);
  if (!direct) {
    if (!ResolveLinks(path, finalPath)) openFailure();
    struct stat resolved;
    if (exists && (::stat(finalPath.c_str(), &resolved) != 0 || resolved.st_dev != target.st_dev ||
                   resolved.st_ino != target.st_ino)) {
      direct = true;  // the link does not lead to a path naming its file
    }
  }

  if (direct) {
    fd = OpenDirect(path);
    if (fd < 0) openFailure();
  } else {
    const std::string stem = DirectoryOf(finalPath) + "/." + BaseOf(finalPath) + ".tmp" +
                             std::to_string(::getpid()) + "-";
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
      tempPath = stem + std::to_string(attempt);
      fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST && errno != EINTR) break;
    }
    if (fd < 0) {
      tempPath.clear();
      openFailure();
    }
  }
  // From here on the destructor would not run: undo the open on any failure.
  try {
    if (!tempPath.empty() && exists && ::fchmod(fd, target.st_mode & 0777) != 0) openFailure();
    buffer = std::make_unique<Buffer>(fd);
  } catch (...) {
    Discard();
    throw;
  }
  stream.rdbuf(buffer.get());
}

SafeOutputFile::~SafeOutputFile() {
  if (!finished) Discard();
}

void SafeOutputFile::Discard() noexcept {
  if (fd >= 0) ::close(fd);
  fd = -1;
  if (!tempPath.empty()) ::unlink(tempPath.c_str());
  tempPath.clear();
  finished = true;
}

void SafeOutputFile::Commit() {
  KOH_ASSERT(!finished, "SafeOutputFile committed twice");
  const bool flushed = buffer->Flush();
  const int writeError = buffer->Failure();
  if (!flushed || writeError != 0 || !stream.good()) {
    Discard();
    Fail(&stream,
         "Error writing file " + destination + ": " + Reason(writeError ? writeError : EIO));
  }
  const int closing = fd;
  fd = -1;
  if (::close(closing) != 0 && errno != EINTR) {
    const int error = errno;
    Discard();
    Fail(&stream, "Error closing file " + destination + ": " + Reason(error));
  }
  if (!tempPath.empty() && ::rename(tempPath.c_str(), finalPath.c_str()) != 0) {
    const int error = errno;
    Discard();
    Fail(&stream, "Error replacing file " + destination + ": " + Reason(error));
  }
  tempPath.clear();
  finished = true;
}

}  // namespace kohport
