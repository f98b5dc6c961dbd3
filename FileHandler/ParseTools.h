// FileTools: the token reader, the tag primitives and the writing primitives
// of the network description format. The network reader and writer are
// further operations of this class built only from these primitives.
//
// Lexical layer (ReadToken): bytes outside "!".."~" and the comma separate
// tokens; each of the seven characters "[]/*=<>" is a token of its own, except
// that "/*" opens a (nesting) comment and "[~" opens an end tag; any other run
// of bytes is a word of at most kMaxWordLength characters.
//
// Tag layer (ReadTag): "[keyword]", "[keyword = value]", a bracket of several
// such items, "[~name]" end tags and plain words outside brackets. A
// "[FormatVersion = x]" tag met outside a bracket is checked and skipped.
//
// Ownership: every text is a std::string value. The name of an open block is
// kept by the caller (usually on a stack) and passed as `blockdef` to every
// ReadTag inside that block; the ReadTag that returns the block's EndTag
// closes it, and the caller then drops the name.
//
// Errors: every refusal is a FileTools::Error thrown by value whose `message`
// is one line, whose `input` is the stream being read and whose `output` is
// null. The writing primitives throw nothing: a failed write leaves the
// stream in a failed state, which the output sink (OutputFile.h) reports.
// A violated caller invariant (a wrong item kind) is an assertion report.
#ifndef KOHPORT_FILEHANDLER_PARSETOOLS_H
#define KOHPORT_FILEHANDLER_PARSETOOLS_H

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "FileHandler/ReaderLimits.h"
#include "KQmessage/KQML.h"

namespace kohport {

class TBasicNetwork;

// One item read by FileTools::ReadTag, passed by value.
struct TTag {
  // Tag types; the writing primitives use the same numbers for their item kinds.
  enum Type : std::int32_t {
    EndTag = 0,             // an end tag, or the end of the input with no block open
    PlainToken = 1,         // a word outside brackets
    KeywordTag = 2,         // a keyword item without a value
    ValueTag = 3,           // a keyword item with "=" and a value
    FormatVersionItem = 5,  // writing only: the "[FormatVersion = 1.0]" header
  };

  Type type = EndTag;
  // The keyword of a KeywordTag or ValueTag, or the word of a PlainToken;
  // empty (not set) for an EndTag.
  std::string name;
  // The value of a ValueTag; empty (not set) otherwise.
  std::string value;
  // True when the bracket holding this item is still open: further items
  // follow and are read with ReadTag(..., inside = true).
  bool more = false;

  bool HasName() const noexcept { return type != EndTag; }
  bool HasValue() const noexcept { return type == ValueTag; }
};

class FileTools {
 public:
  // The exception of the network description file tools: a plain value.
  // `input` is the stream being read when a reading error arose (null for
  // writing errors), `output` the stream being written (null for reading
  // errors); neither is owned, and they are valid only while the caller's
  // streams live.
  struct Error {
    std::string message;
    std::istream* input = nullptr;
    std::ostream* output = nullptr;
  };

  // The longest word the format allows; a longer one is refused.
  static constexpr std::size_t kMaxWordLength = 1024;

  // ---- Reading. A FileTools object serves one thread at a time; one object
  // may read any number of streams one after the other. The reading
  // operations take bytes straight from `in.rdbuf()` (which must not be null)
  // and set eofbit on `in` when they meet the end of the input.

  // The next token: a word, one special character, "[~", or "" at the end of
  // the input. Comments are skipped. A separator that ends a word is
  // consumed, a special character that ends it is left for the next call.
  // Throws "Word longer than 1024 characters" for a longer word, and
  // SkipComment's error for an unclosed comment.
  std::string ReadToken(std::istream& in);

  // Skips the rest of a comment whose "/*" was just read, inner comments
  // included. Works with a nesting counter, so the depth is limited by
  // nothing but the input. As these files have always been read, a "/"
  // directly after the "*/" that closes an inner comment also closes the
  // comment around it ("/* /* x *//" is one whole comment).
  // Throws "Unexpected end of file during comment".
  void SkipComment(std::istream& in);

  // Reads the next tag. `blockdef` is the name of the innermost open block
  // (nullopt when none is open); `inside` is true to read the next item of a
  // bracket whose earlier item came back with `more` set.
  //  - At the end of the input: an EndTag when no block is open and not
  //    inside a bracket, otherwise "Unexpected end of file".
  //  - "[" (or inside): a KeywordTag or ValueTag item, `more` telling whether
  //    the bracket goes on. Outside a bracket, FormatVersion tags are checked
  //    ("Illegal Format of FormatVersion", "Illegal Format Version",
  //    "number-expected") and skipped, any number of them.
  //  - "[~name]": an EndTag when `name` equals `blockdef` ignoring case;
  //    "End Tag with no block open", "Unexpected End Tag", "Expected ']'".
  //  - A word: a PlainToken. Special characters other than "[" and "]" stand
  //    as one-character PlainTokens (a lone "/"); a stray "]" is refused with
  //    "Unexpected ']' outside a tag".
  // Keywords and values beginning with a special character are refused with
  // "Unexpected special character".
  TTag ReadTag(std::optional<std::string_view> blockdef, std::istream& in, bool inside);
  TTag ReadTag(std::nullptr_t, std::istream& in, bool inside) = delete;  // use std::nullopt

  // ---- Checking tags. Each throws with `input` = &in.

  // The block name of a KeywordTag: with `keyword`, only that keyword
  // (ignoring case), else "[" keyword "] expected"; without, any keyword
  // tag, else "start of block expected". `more` is not looked at.
  static std::string ExpectBlockStart(const TTag& tag, std::istream& in,
                                      std::optional<std::string_view> keyword = std::nullopt);
  static std::string ExpectBlockStart(const TTag&, std::istream&, std::nullptr_t) = delete;

  // Throws "End Tag expected" unless `tag` is an EndTag.
  static void ExpectEndTag(const TTag& tag, std::istream& in);

  // The value of the ValueTag `keyword` (ignoring case). Otherwise throws
  // "[" keyword " = <string>] expected" followed directly by the tag's name
  // when it has one. With `expected`, the value must equal it ignoring case
  // ("[" keyword " = " expected "] expected"); the value is returned as written.
  static std::string ReadStringTag(const TTag& tag, std::istream& in, std::string_view keyword,
                                   std::optional<std::string_view> expected = std::nullopt);
  static std::string ReadStringTag(const TTag&, std::istream&, std::string_view,
                                   std::nullptr_t) = delete;

  // The value of the ValueTag `keyword` through ParseInteger / ParseNumber;
  // otherwise "[" keyword " = <integer>] expected" / " = <number>] expected".
  static std::int32_t ReadIntegerTag(const TTag& tag, std::istream& in, std::string_view keyword);
  static double ReadNumberTag(const TTag& tag, std::istream& in, std::string_view keyword);

  // The number of a PlainToken; otherwise "Token (number) expected".
  static double ReadNumberToken(const TTag& tag, std::istream& in);

  // ---- Values. `in` only fills the error's `input`.

  // The integer that begins `text`, as the C "%ld" scan reads it: leading
  // white space skipped, an optional sign, decimal digits, anything after
  // ignored ("12abc" is 12, "2.9" is 2). Throws "integer-expected" when no
  // integer begins the text, and "integer out of range" when it lies outside
  // the signed 32-bit range (never wrapped).
  static std::int32_t ParseInteger(std::istream& in, std::string_view text);

  // The number that begins `text`. Accepted exactly when glibc's "%f" scan
  // accepts it: leading white space, an optional sign, then a decimal number
  // with at least one digit (point and exponent optional; an incomplete
  // exponent as in "1e" or "1e+" is ignored), "inf"/"infinity", "nan", or a
  // hexadecimal number "0x..." with at least one hexadecimal digit or point
  // after the prefix; letter case is ignored. The value is the one strtod
  // gives in the C locale (too large: infinity; too small: zero or a
  // subnormal), computed without any locale. Throws "number-expected".
  static double ParseNumber(std::istream& in, std::string_view text);

  // A copy of `text` (kept for the names of the format's primitives).
  static std::string CopyString(std::string_view text) { return std::string(text); }

  // ---- Writing. `bracket` true writes an item as a bracketed line of its
  // own; false writes it as one item of a bracket the caller opens with
  // WriteOpenBracket and closes with WriteCloseBracket(out, true, true).
  // Nothing is thrown; write failures show in the stream's state.

  // One item of kind `kind`:
  //  EndTag (bracketed only): "[~" name "]" and a line end; nothing for a null name.
  //  PlainToken: name and one blank.
  //  KeywordTag: "[" name "]" and a line end; unbracketed: name and one blank.
  //  ValueTag: "[" name " = " value "]" and a line end; unbracketed:
  //   name "=" value and one blank.
  //  FormatVersionItem (bracketed only): "[FormatVersion = 1.0]" and two line ends.
  // Requires a name for PlainToken, KeywordTag and ValueTag and a value for
  // ValueTag (assertion report otherwise).
  static void WriteItem(TTag::Type kind, std::optional<std::string_view> name,
                        std::optional<std::string_view> value, std::ostream& out, bool bracket);

  static void WriteOpenBracket(std::ostream& out, bool bracket);
  static void WriteCloseBracket(std::ostream& out, bool bracket, bool newline);
  static void WriteFormatVersion(std::ostream& out);
  static void WriteNewLine(std::ostream& out);
  static void WriteKeyword(std::ostream& out, std::string_view name, bool bracket);
  // Nothing for a null name.
  static void WriteEndTag(std::ostream& out, std::optional<std::string_view> name);
  static void WriteEndTag(std::ostream&, std::nullptr_t) = delete;  // use std::nullopt
  static void WriteStringTag(std::ostream& out, std::string_view name, std::string_view text,
                             bool bracket);
  // The value as "%ld" writes it.
  static void WriteIntegerTag(std::ostream& out, std::string_view name, std::int32_t value,
                              bool bracket);
  // The value as "%.*f" writes it at `precision` (0 to kMaxPrecision of
  // common/Numbers.h), whole whatever its size.
  static void WriteNumberTag(std::ostream& out, std::string_view name, double value, int precision,
                             bool bracket);

  // ---- Network writer (NetworkWriter.cpp). The layout is the canonical one:
  // every network type, layer kind and block kind, numbers in tags at 15
  // digits after the point, matrix cells at 15 significant digits.

  // Writes `net` to the file `fileName` through a SafeOutputFile: an absent
  // or regular destination is replaced only once the whole file is written
  // and closed, a device or FIFO is written directly. `reply` is taken over
  // and destroyed on entry. Throws FileTools::Error: "Error on File Open",
  // "Illegal number of bias nodes", a write, close or rename failure,
  // "Out of memory writing file <path>", and any other standard exception
  // as "Error writing file <path>: <what>"; `output` is null (the sink's
  // stream is gone). On every failure an existing regular destination is
  // left as it was and no temporary file remains.
  void SaveNetwork(const char* fileName, TBasicNetwork* net,
                   std::unique_ptr<TKQstructure> reply = nullptr);

  // Writes `net` to `out`. `reply` is taken over and destroyed on entry.
  // Throws FileTools::Error "Illegal number of bias nodes" (with `output` =
  // &out; the lines before stay written) and "Out of memory writing the
  // network description" for std::bad_alloc. Write failures are left in the
  // stream's state; once the stream has failed the weights are not formatted.
  void WriteNetwork(std::ostream& out, TBasicNetwork* net,
                    std::unique_ptr<TKQstructure> reply = nullptr);

  // ---- Network reader (NetworkReader.cpp). Reads one network description
  // and returns the new network, which the caller owns: a TBasicNetwork,
  // TConnectedNetwork or TKohonenNetwork as the file's NetworkType says,
  // every layer made. `reply` is taken over and destroyed on entry; nothing
  // is reported through it. Every declared size is checked against `limits`
  // (and the library's 32-bit counts) before anything is allocated for it.
  // Any refusal, running out of memory included, is a FileTools::Error;
  // the network built so far is destroyed and nothing else is left behind.

  // Reads from `in` (whose rdbuf() must not be null) up to the end of the
  // input, which may hold only separators and comments after the network.
  // Errors carry `input` = &in.
  std::unique_ptr<TBasicNetwork> ReadNetwork(std::istream& in,
                                             std::unique_ptr<TKQstructure> reply = nullptr,
                                             const ReaderLimits& limits = {});
  // Opens the file `fileName` and reads it as ReadNetwork does; the file is
  // closed in every case. Throws "Error on File Open" when it cannot be
  // opened. As the stream is gone when an error reaches the caller, errors
  // from here carry a null `input`.
  std::unique_ptr<TBasicNetwork> LoadNetwork(const char* fileName,
                                             std::unique_ptr<TKQstructure> reply = nullptr,
                                             const ReaderLimits& limits = {});

 private:
  // The word area of ReadToken, kept between calls so gathering a word does
  // not allocate.
  std::string buffer;
};

}  // namespace kohport

#endif
