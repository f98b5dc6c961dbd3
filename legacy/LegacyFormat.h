// The words and layout that the legacy Kohonen map reader and writer share.
//
// A legacy map file is plain text in three sections:
//  1. the header: white-space separated words, among which the tags below;
//     "TITLE:" and "DESCRIPTION:" take the rest of their line, "INPUTS:" and
//     "MAPSIZE:" an integer; "MAPSIZE:" ends the header, every other word is
//     free text and is skipped;
//  2. the table heading: everything up to the first capital X, then three words;
//  3. the table: m x m rows of X, Y, one weight per input and an optional ".".
#ifndef KOHPORT_LEGACY_LEGACYFORMAT_H
#define KOHPORT_LEGACY_LEGACYFORMAT_H

#include <cstddef>

namespace kohport::legacy {

// Header tags, matched whole and with case significant.
constexpr const char kTitleTag[] = "TITLE:";
constexpr const char kDescriptionTag[] = "DESCRIPTION:";
constexpr const char kInputsTag[] = "INPUTS:";
constexpr const char kMapSizeTag[] = "MAPSIZE:";

// What the writer puts before each header value. The description is written
// without the colon, so a reader does not take it back as a description.
constexpr const char kTitleLead[] = "TITLE:  ";
constexpr const char kDescriptionLead[] = "DESCRIPTION  ";
constexpr const char kInputsLead[] = "INPUTS: ";
constexpr const char kMapSizeLead[] = "MAPSIZE: ";

// The table heading: its X ends the skip, its three further words are dropped.
constexpr char kHeadingMark = 'X';
constexpr int kHeadingWords = 3;
constexpr const char kTableHeading[] = "X Y     Input Weights";

// A weight is written as "%g" at precision 6, right-aligned in 14 characters;
// a row ends with the end mark "." right-aligned in 3 characters.
constexpr int kWeightPrecision = 6;
constexpr std::size_t kWeightWidth = 14;
constexpr const char kEndMark[] = ".";
constexpr const char kEndMarkField[] = "  .";

// The longest header word the reader accepts.
constexpr std::size_t kMaxHeaderWord = 255;

// The kind of file a Kohonen map file-info record describes.
constexpr const char kOndKohonenFileType[] = "Ondrafel Kohonen File";

// Where the reader's and the writer's exceptions come from, and their categories.
constexpr const char kLoadLocation[] = "TOndKohonenFiler::LoadKohonen";
constexpr const char kSaveLocation[] = "TOndKohonenFiler::SaveKohonen";
constexpr const char kFileError[] = "File Error";
constexpr const char kBadNetworkType[] = "Bad Network Type";

}  // namespace kohport::legacy

#endif
