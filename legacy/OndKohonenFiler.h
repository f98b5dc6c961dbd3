// TOndKohonenFiler: loads and saves Kohonen maps in the legacy map file
// format of the older tool family (format: legacy/LegacyFormat.h).
//
// A loaded map is a two-dimensional square TKohonenNetwork of n inputs and
// m x m units; each table row's weights go to unit X * m + Y. Both objects
// handed out belong to the caller. Refusals are TException with a one-line
// message; no path leaks anything.
#ifndef KOHPORT_LEGACY_ONDKOHONENFILER_H
#define KOHPORT_LEGACY_ONDKOHONENFILER_H

#include <memory>
#include <string>

#include "NeuralNets/TKohonenNetwork.h"
#include "legacy/FileInfo.h"
#include "legacy/KohonenText.h"

namespace kohport {

class TOndKohonenFiler {
 public:
  TOndKohonenFiler() = delete;

  // Loads the legacy map file at `path` into a new map and a new file-info
  // record (title and description as the file gives them, null when absent).
  // The file is read whole and closed before the map is built.
  //
  // Throws TException (category "File Error", location
  // "TOndKohonenFiler::LoadKohonen"):
  //  - "Unable to open file" when the path cannot be opened (or is a
  //    directory); `map` and `info` are then untouched;
  //  - a one-line message naming the line for malformed content (see
  //    ParseKohonenText), a read failure, a pipe longer than 1 GiB, or a lack
  //    of memory. The record is stored in `info` as soon as the file is open,
  //    before anything is read, so after these refusals `info` holds a fresh
  //    record of the path with title and description null, and `map` is
  //    untouched.
  static void LoadKohonen(const char* path, std::unique_ptr<TKohonenNetwork>& map,
                          std::unique_ptr<TOndKohFileInfo>& info);

  // Writes `map` to `path` in the legacy format (an existing file is
  // replaced), with the title and description of `info`. Neither is changed.
  //
  // Throws TException with location "TOndKohonenFiler::SaveKohonen":
  //  - "Unable to open file" ("File Error") when the file cannot be created;
  //    nothing is written;
  //  - "Only 2D square maps can be saved by this handler" ("Bad Network
  //    Type") unless the map has exactly two grid dimensions of one size m,
  //    m x m units and, when it has inputs, a weight block from its inputs to
  //    its units; the file is left empty;
  //  - "Title or description holds a line end" ("Bad Parameter"): such a
  //    text would read back as further header words; the file is left empty;
  //  - "Unable to write file" ("File Error") when writing or closing fails
  //    (a full disk); what was written stays.
  // Everything written reads back. The one exception is a 0 x 0 map with more
  // inputs than its short file has bytes, which the reader refuses as a count
  // no file of that size can back.
  static void SaveKohonen(const char* path, const TKohonenNetwork& map,
                          const TOndKohFileInfo& info);

  // The steps of LoadKohonen and SaveKohonen without the file, for tests and
  // the fuzzer. BuildKohonen makes the map of a parsed file, applying the rows
  // in file order; it requires an image as ParseKohonenText returns it
  // (assertion "image rows inside the grid"). WriteKohonen hands SaveKohonen's
  // text to `sink` in pieces, after the same checks of the map and the texts.
  static std::unique_ptr<TKohonenNetwork> BuildKohonen(const legacy::TOndKohonenImage& image);
  static void WriteKohonen(const TKohonenNetwork& map, const TOndKohFileInfo& info,
                           const legacy::TTextSink& sink);
};

}  // namespace kohport

#endif
