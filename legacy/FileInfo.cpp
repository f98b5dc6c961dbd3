#include "legacy/FileInfo.h"

#include "common/Assert.h"
#include "legacy/LegacyFormat.h"

namespace kohport {

TFileInfo::TFileInfo(const char* fileName_, const char* fileType_) {
  KOH_ASSERT(fileName_ != nullptr && fileType_ != nullptr);
  fileName = fileName_;
  fileType = fileType_;
}

TOndFileInfo::TOndFileInfo(const char* fileName_, const char* fileType_)
    : TFileInfo(fileName_, fileType_) {}

TOndKohFileInfo::TOndKohFileInfo(const char* path)
    : TOndFileInfo(path, legacy::kOndKohonenFileType) {}

}  // namespace kohport
