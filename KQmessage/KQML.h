// TKQstructure: one KQML-style message or message part. It is either an atom
// (a single word, `head`) or a list: a head word followed by tagged values,
// written as text like (tell :value 3 :sender (agent :name a1)).
//
// Ownership: a structure owns its head, its tags and every value, recursively.
// Structures handed out (Parse, ParseMessage, MakeError, CopyMessage) belong
// to the caller; a value given to Set belongs to the structure from then on.
// Pointers returned by Find, Get and Require stay valid until the entry is
// replaced or removed or the structure is destroyed or assigned to.
//
// Tags are unique within a structure, compared without regard to letter case
// (kohport::strcasecmp); an entry keeps the spelling its tag was first set with.
//
// Text. Tokens are separated by any byte outside '!'..'~' (blanks, control
// bytes, 127 and bytes above 127); a NUL ends the text. The parser's special
// tokens are the single characters "(", ")" and ":"; every other token is a
// word, which runs up to the next separator, "(" or ")". A ':' inside a word
// belongs to it, so a:b is one word. Grammar:
//   expression = word | "(" word { ":" word expression } ")"
// There is no quoting: a text cannot contain blanks or parentheses, or start
// with ':'.
//
// Errors. Input a user can get wrong (message text, values of the wrong kind)
// is refused with TKQstructure::Error, whose structure is itself an error
// message with head "error" and the entry "type" first. Misuse by a
// programmer (a null value for Set, Get of an absent tag, AsLong/AsDouble of
// a text that is not a number) is an assertion report (common/Assert.h).
//
// Every walk over a structure (printing, copying, destruction) is iterative,
// so no nesting depth, however a structure was built, can exhaust the stack.
// Parsing is recursive and refuses texts nested deeper than kMaxNesting.
#ifndef KOHPORT_KQMESSAGE_KQML_H
#define KOHPORT_KQMESSAGE_KQML_H

#include <iosfwd>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kohport {

class TKQstructure {
 public:
  // The exception thrown by parsing and by the checking operations, by value.
  // `error` is never null. Every copy of one exception shares the same
  // message, which is released with the last copy (or with the last holder
  // of `error`), so copying an Error never fails and nothing is freed twice.
  // The catcher owns the message: it may keep `error`, or take a structure
  // of its own with CopyMessage (for instance to Set it into a reply).
  class Error {
   public:
    // Takes over `message`, which must not be null.
    explicit Error(std::unique_ptr<TKQstructure> message);

    // A deep copy of the message, owned by the caller.
    std::unique_ptr<TKQstructure> CopyMessage() const;
    // The message as Print writes it, e.g. "(error :type type-error :expected boolean)".
    std::string Text() const;

    std::shared_ptr<TKQstructure> error;
  };

  // One tagged value of a list. `value` is never null.
  struct Entry {
    std::string tag;
    std::unique_ptr<TKQstructure> value;
  };

  // Deepest list nesting Parse accepts: a text with more than this many
  // lists open at once is refused.
  static constexpr int kMaxNesting = 256;

  // An atom "unknown" with room for 16 entries.
  TKQstructure();
  // An atom whose head is a copy of `text` (not null), room for 16 entries.
  explicit TKQstructure(const char* text);
  // Deep copy; the copy has room for exactly the source's entries (capacity
  // = source count, possibly 0).
  TKQstructure(const TKQstructure& other);
  // Replaces this structure by a deep copy of `other` (capacity = other's
  // count). Safe when `other` is this structure or lies inside it.
  TKQstructure& operator=(const TKQstructure& other);
  // Frees the head, every tag and every value.
  ~TKQstructure();

  // --- Reading and writing text ---------------------------------------------

  // Reads one expression from the NUL-terminated text at *cursor and advances
  // *cursor just past it (past the word of an atom, past the ")" of a list).
  // A tag that appears twice in one list keeps its first place and spelling
  // and the last value. Returns a new structure owned by the caller.
  // Throws Error, leaving *cursor unchanged, with one of these messages
  // (N = byte offset from the start of the text given, of the offending
  // token or of the end of the text):
  //   (error :type invalid-message :expected word :position N)
  //       where a head, a tag or an atom is needed but the text ends or has
  //       "(", ")" or ":" ("", "()", "(a :)", ":x");
  //   (error :type invalid-message :expected end-of-list :position N)
  //       inside a list, a token that is neither ":" nor ")" ("(a b)", "(a :b 1");
  //   (error :type invalid-message :nesting-limit 256 :position N)
  //       a "(" that would open more than kMaxNesting lists at once;
  //   (error :type out-of-memory :position N) when memory runs out.
  static std::unique_ptr<TKQstructure> Parse(const char** cursor);
  static std::unique_ptr<TKQstructure> Parse(char** cursor);

  // Parse, then requires that only separators remain; *cursor ends at the
  // end of the text. Throws what Parse throws, and, when more text follows,
  //   (error :type invalid-message :expected end-of-message :position N)
  // with N the offset of the first byte of that text.
  static std::unique_ptr<TKQstructure> ParseMessage(const char** cursor);
  static std::unique_ptr<TKQstructure> ParseMessage(char** cursor);

  // Writes the structure without a line end: an atom, or a list without
  // entries, as its head alone; a list as "(" head, then " :" tag " " value
  // for each entry in order, then ")". Parsing the text gives the structure back.
  void Print(std::ostream& out) const;
  std::string ToString() const;
  // Print to standard output.
  void Print() const;
  // Print to standard output, then a line end, and flush it.
  void PrintLine() const;

  // argv[1] to argv[argc-1], each followed by one blank; "" for argc <= 1.
  static std::string JoinArguments(int argc, char** argv);

  // --- Access by tag -----------------------------------------------------------

  // Gives `value` (must not be null: assertion "newval != NULL") the tag
  // `tag`. An existing entry with that tag keeps its place and its spelling
  // and gets the new value (the old one is destroyed); otherwise the entry is
  // appended. Appending to a full structure doubles its capacity, to 16 at least.
  void Set(const char* tag, std::unique_ptr<TKQstructure> value);
  // Set with a new atom whose head is a copy of `text`.
  void Set(const char* tag, const char* text);
  // Set with the decimal text of n, as "%ld" writes it.
  void Set(const char* tag, long n);
  void Set(const char* tag, int n) { Set(tag, static_cast<long>(n)); }
  // Set with the text "%f" gives for x: six decimals (2.500000), any magnitude.
  void Set(const char* tag, double x);
  // Set with "true" or "false".
  void Set(const char* tag, bool b);

  // The value tagged `tag`, or null. Not owned by the caller.
  TKQstructure* Find(const char* tag);
  const TKQstructure* Find(const char* tag) const;
  // As Find; the tag must be present (assertion "0").
  TKQstructure* Get(const char* tag);
  const TKQstructure* Get(const char* tag) const;
  // As Find; an absent tag throws (error :type invalid-message :expected tag).
  TKQstructure* Require(const char* tag);
  const TKQstructure* Require(const char* tag) const;
  // Throws (error :type invalid-message :expected tag) when the tag is absent.
  // With a non-empty `value` (null counts as empty), the value's head must
  // equal it without regard to case, else throws
  // (error :type invalid-message :tag tag :expected-value value).
  void Expect(const char* tag, const char* value) const;
  // Removes the entry tagged `tag`, if any: the last entry moves into its
  // place. Capacity is unchanged.
  void Remove(const char* tag);

  // True for "TRUE", false for "FALSE", without regard to case; any other
  // text throws (error :type type-error :expected boolean).
  static bool ToBoolean(const char* text);

  // Number of entries (0 for an atom) and of entries room is kept for.
  int GetCount() const { return static_cast<int>(entries.size()); }
  int GetCapacity() const { return capacity; }
  // The entries in order. Values are never null.
  const std::vector<Entry>& GetEntries() const { return entries; }

  // The word of an atom, or the first word of a list.
  std::string head;

 private:
  struct NoReserve {};
  TKQstructure(NoReserve, std::string text);

  int IndexOf(const char* tag) const;
  void Append(const char* tag, std::unique_ptr<TKQstructure> value);
  void RebuildIndex();
  void CopyEntriesFrom(const TKQstructure& source);

  std::vector<Entry> entries;
  // Room for entries, as the growth rule defines it; `entries` reserves it
  // when the first entry is appended.
  int capacity;
  // Upper-cased tag -> position in `entries`, kept for large lists only so
  // that lookups stay constant-time (a message of many tags parses in linear
  // time) while atoms and small lists carry no table.
  std::unique_ptr<std::unordered_map<std::string, int>> index;
};

// A new list with head "error" and the entry "type" = atom `type`.
std::unique_ptr<TKQstructure> MakeError(const char* type);

// The conversions below read a number as sscanf's "%ld" and "%lf" do in the
// C locale: leading white space is skipped and text after the number is
// ignored ("12abc" gives 12). "%lf" accepts decimal and hexadecimal
// ("0x1p3") numbers, "inf", "infinity" and "nan"; a decimal magnitude too
// large for a double gives an infinity, one too small gives zero or the
// nearest subnormal. An integer outside the range of long is not a number.

// The integer at the start of `text`; must be one (assertion "err == 1").
long AsLong(const char* text);
// As AsLong; otherwise throws (error :type invalid-message :integer-expected text).
long ToInteger(const char* text);
// The number at the start of `text`; must be one (assertion "err == 1").
double AsDouble(const char* text);
// As AsDouble; otherwise throws (error :type invalid-message :number-expected text).
double ToNumber(const char* text);

}  // namespace kohport

#endif
