// File-info records: their texts and their destruction through the base.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "legacy/FileInfo.h"

namespace kohport {
namespace {

TEST(FileInfoTest, KohonenRecordNamesItsFileAndKind) {
  std::string path = "maps/a.kmap";
  TOndKohFileInfo info(path.c_str());
  path[0] = 'X';  // the record keeps its own copy
  EXPECT_EQ(info.fileName, "maps/a.kmap");
  EXPECT_EQ(info.fileType, "Ondrafel Kohonen File");
  EXPECT_EQ(info.title, std::nullopt);
  EXPECT_EQ(info.description, std::nullopt);
  info.title = "first";
  info.title = "second";
  EXPECT_EQ(info.title, "second");
}

TEST(FileInfoTest, DestroyedThroughTheBase) {
  // LeakSanitizer checks that the derived record's texts are released.
  std::unique_ptr<TFileInfo> base = std::make_unique<TOndKohFileInfo>("p");
  static_cast<TOndFileInfo&>(*base).description = std::string(1000, 'd');
  base.reset();
  std::unique_ptr<TOndFileInfo> ond = std::make_unique<TOndFileInfo>("q", "Other");
  EXPECT_EQ(ond->fileType, "Other");
}

}  // namespace
}  // namespace kohport
