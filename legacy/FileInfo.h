// File-info records: what a loader tells its caller about the file it read.
//
// Each record owns its texts. `fileName` and `fileType` are always set; the
// title and description of a legacy map file are null when the file has none.
// Records are handed out by loaders and belong to the caller; they are
// polymorphic (destroy them through any base) and not copyable.
#ifndef KOHPORT_LEGACY_FILEINFO_H
#define KOHPORT_LEGACY_FILEINFO_H

#include <optional>
#include <string>

namespace kohport {

class TFileInfo {
 public:
  // Copies both texts.
  TFileInfo(const char* fileName, const char* fileType);
  TFileInfo(const TFileInfo&) = delete;
  TFileInfo& operator=(const TFileInfo&) = delete;
  virtual ~TFileInfo() = default;

  std::string fileName;  // the path the record describes
  std::string fileType;  // the kind of file
};

// A file of the older tool family: adds the title and description it carries.
// Assigning either replaces the earlier text.
class TOndFileInfo : public TFileInfo {
 public:
  TOndFileInfo(const char* fileName, const char* fileType);

  std::optional<std::string> title;        // the text after "TITLE:", or null
  std::optional<std::string> description;  // the text after "DESCRIPTION:", or null
};

// The record of a legacy Kohonen map file: type "Ondrafel Kohonen File",
// title and description null until the loader sets them.
class TOndKohFileInfo : public TOndFileInfo {
 public:
  explicit TOndKohFileInfo(const char* path);
};

}  // namespace kohport

#endif
