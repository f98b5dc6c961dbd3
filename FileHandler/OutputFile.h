// SafeOutputFile: the sink through which whole files are written, so that a
// failure is never reported as success and a destination is never left
// half-written.
//
// Where the bytes go, decided when the sink is opened:
//  - The destination is absent or a regular file: the bytes go to a new
//    temporary file in the same directory, which Commit renames over the
//    destination. An existing file keeps its permission bits (not its owner,
//    and other hard links to it keep the old contents); a new file gets
//    0666 less the umask. Until Commit succeeds the destination is untouched.
//  - The destination exists and is not a regular file (a device such as
//    /dev/full or /dev/stdout, a FIFO): the bytes are written to it directly,
//    since renaming over it would replace the node instead of writing to it.
//  - A symbolic link is followed to its final target, and that target is the
//    destination as above: a regular or absent target is replaced atomically
//    and the link keeps pointing at it; a dangling link's target is created.
//    When the resolved path does not name the file the link opens (links of
//    /proc such as /dev/stdout redirected to a deleted file), the link is
//    written through directly.
//
// The data are not forced to stable storage (no fsync): the rename makes the
// new file appear whole to every other process, not across a power failure.
//
// Errors are FileTools::Error with `output` pointing at the sink's stream:
// "Error on File Open" when the destination or the temporary file cannot be
// created or opened; "Error writing file <path>: <reason>" for a failed write
// or flush, "Error closing file <path>: <reason>", "Error replacing file
// <path>: <reason>" for a failed rename.
#ifndef KOHPORT_FILEHANDLER_OUTPUTFILE_H
#define KOHPORT_FILEHANDLER_OUTPUTFILE_H

#include <memory>
#include <ostream>
#include <string>

namespace kohport {

class SafeOutputFile {
 public:
  // Opens the sink for `path` (the temporary file, or the device itself).
  // Throws FileTools::Error "Error on File Open".
  explicit SafeOutputFile(const std::string& path);
  // Without a successful Commit: closes and removes the temporary file; the
  // destination stays as it was (a device may have received some bytes).
  ~SafeOutputFile();

  SafeOutputFile(const SafeOutputFile&) = delete;
  SafeOutputFile& operator=(const SafeOutputFile&) = delete;

  // The stream to write to; buffered, written to the file in large pieces.
  // Once a write fails, further writes are dropped and the stream is bad.
  std::ostream& Stream() noexcept { return stream; }

  // Flushes, checks every write and the close, and only then renames the
  // temporary file into place. Throws FileTools::Error on any failure, after
  // removing the temporary file. Call at most once.
  void Commit();

 private:
  class Buffer;

  void Discard() noexcept;

  std::string destination;  // the path given by the caller, for messages
  std::string finalPath;    // the path renamed over (links resolved)
  std::string tempPath;     // empty when writing directly
  int fd = -1;
  bool finished = false;
  std::unique_ptr<Buffer> buffer;
  std::ostream stream;
};

}  // namespace kohport

#endif
