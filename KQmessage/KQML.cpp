#include "KQmessage/KQML.h"

#include <charconv>
#include <climits>
#include <cstring>
#include <iostream>
#include <limits>
#include <new>
#include <string_view>
#include <utility>

#include "common/Assert.h"
#include "common/Numbers.h"
#include "common/StrCase.h"

namespace kohport {

namespace {

// Lists with more entries than this keep a hash index of their tags.
constexpr std::size_t kIndexFrom = 16;
// Capacity of a new structure, and the least capacity a growing one gets.
constexpr int kInitialCapacity = 16;

[[noreturn]] void Throw(std::unique_ptr<TKQstructure> message) {
  throw TKQstructure::Error(std::move(message));
}

// The index key of a tag: the tag upper-cased as strcasecmp compares it.
std::string TagKey(const char* tag) {
  std::string key(tag);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

// --- Tokens -------------------------------------------------------------------

constexpr const char* kParserSpecials = "():";

inline bool IsTokenByte(unsigned char c) {
  return c >= '!' && c <= '~';
}

inline bool IsSpecial(unsigned char c, const char* specials) {
  return c != '\0' && std::strchr(specials, c) != nullptr;
}

struct Token {
  std::string_view text;  // empty at the end of the text
  const char* at;         // first byte of the token, or the end of the text
};

// Reads one token at *cursor and advances *cursor past it.
Token NextToken(const char** cursor, const char* specials) {
  const char* s = *cursor;
  while (*s != '\0' && !IsTokenByte(static_cast<unsigned char>(*s))) ++s;
  const char* begin = s;
  if (*s == '\0') {
    *cursor = s;
    return {std::string_view(), begin};
  }
  if (IsSpecial(static_cast<unsigned char>(*s), specials)) {
    *cursor = s + 1;
    return {std::string_view(s, 1), begin};
  }
  ++s;
  while (IsTokenByte(static_cast<unsigned char>(*s)) &&
         (*s == ':' || !IsSpecial(static_cast<unsigned char>(*s), specials))) {
    ++s;
  }
  *cursor = s;
  return {std::string_view(begin, static_cast<std::size_t>(s - begin)), begin};
}

// --- Parser -------------------------------------------------------------------

// Reads expressions from one text; every refusal is composed in Fail.
class Parser {
 public:
  explicit Parser(const char* text) : start_(text), cursor_(text) {}

  const char* Cursor() const { return cursor_; }

  std::unique_ptr<TKQstructure> Expression(int openLists) {
    const Token first = NextToken(&cursor_, kParserSpecials);
    if (first.text != "(") {
      CheckWord(first);
      auto atom = std::make_unique<TKQstructure>();
      atom->head.assign(first.text);
      return atom;
    }
    if (openLists >= TKQstructure::kMaxNesting) {
      Fail("nesting-limit", static_cast<long>(TKQstructure::kMaxNesting), first.at);
    }
    const Token headWord = NextToken(&cursor_, kParserSpecials);
    CheckWord(headWord);
    auto list = std::make_unique<TKQstructure>();
    list->head.assign(headWord.text);
    std::string tag;
    for (Token t = NextToken(&cursor_, kParserSpecials); t.text != ")";
         t = NextToken(&cursor_, kParserSpecials)) {
      if (t.text != ":") Fail("expected", "end-of-list", t.at);
      const Token tagWord = NextToken(&cursor_, kParserSpecials);
      CheckWord(tagWord);
      tag.assign(tagWord.text);
      list->Set(tag.c_str(), Expression(openLists + 1));
    }
    return list;
  }

  // Requires that only separators follow; `cursor_` ends at the end of the text.
  void ExpectEnd() {
    const Token rest = NextToken(&cursor_, "");
    if (!rest.text.empty()) Fail("expected", "end-of-message", rest.at);
  }

  long Offset(const char* at) const { return static_cast<long>(at - start_); }

 private:
  void CheckWord(const Token& t) const {
    if (t.text.empty() || IsSpecial(static_cast<unsigned char>(t.text[0]), kParserSpecials)) {
      Fail("expected", "word", t.at);
    }
  }

  template <typename Value>
  [[noreturn]] void Fail(const char* tag, Value value, const char* at) const {
    auto message = MakeError("invalid-message");
    message->Set(tag, value);
    message->Set("position", Offset(at));
    Throw(std::move(message));
  }

  const char* start_;
  const char* cursor_;
};

template <typename Read>
std::unique_ptr<TKQstructure> ParseGuarded(const char** cursor, Read read) {
  KOH_ASSERT(cursor != nullptr && *cursor != nullptr);
  Parser parser(*cursor);
  try {
    auto result = read(parser);
    *cursor = parser.Cursor();
    return result;
  } catch (const std::bad_alloc&) {
    auto message = MakeError("out-of-memory");
    message->Set("position", parser.Offset(parser.Cursor()));
    Throw(std::move(message));
  }
}

// --- Numbers ------------------------------------------------------------------

inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
inline bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
inline bool IsCSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
inline char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

const char* SkipSpace(const char* s) {
  while (IsCSpace(*s)) ++s;
  return s;
}

// The integer at the start of `text`, as "%ld" reads it. False when there is
// none or it does not fit in a long.
bool ScanLong(const char* text, long* value) {
  const char* s = SkipSpace(text);
  const char* digits = (*s == '+' || *s == '-') ? s + 1 : s;
  if (!IsDigit(*digits)) return false;
  const char* end = digits;
  while (IsDigit(*end)) ++end;
  // from_chars takes a '-' but no '+'.
  const auto r = std::from_chars(*s == '-' ? s : digits, end, *value);
  return r.ec == std::errc();
}

// Whether a number that from_chars found out of range is large (true) or
// tiny (false): the sign of its order of magnitude, digits before the point
// plus exponent. `hex` numbers count digits in four bits and a binary exponent.
bool IsHugeMagnitude(const char* s, const char* end, bool hex) {
  auto isDigit = [hex](char c) { return hex ? IsHexDigit(c) : IsDigit(c); };
  long order = 0;
  bool significant = false;
  for (; s < end && isDigit(*s); ++s) {
    if (*s != '0') significant = true;
    if (significant && order < LONG_MAX / 8) ++order;
  }
  if (s < end && *s == '.') {
    for (++s; s < end && isDigit(*s); ++s) {
      if (significant) continue;
      if (*s != '0')
        significant = true;
      else if (order > -LONG_MAX / 8)
        --order;
    }
  }
  if (hex) order *= 4;
  if (s < end && (Lower(*s) == 'e' || Lower(*s) == 'p')) {
    ++s;
    const bool negative = s < end && *s == '-';
    if (s < end && (*s == '+' || *s == '-')) ++s;
    long exponent = 0;
    for (; s < end && IsDigit(*s); ++s) {
      if (exponent < 1000000000L) exponent = exponent * 10 + (*s - '0');
    }
    order += negative ? -exponent : exponent;
  }
  return order > 0;
}

// The number at the start of `text`, as "%lf" reads it in the C locale.
bool ScanDouble(const char* text, double* value) {
  const char* s = SkipSpace(text);
  const bool negative = *s == '-';
  if (*s == '+' || *s == '-') ++s;
  const char* end = s + std::strlen(s);
  const bool hex = s[0] == '0' && Lower(s[1]) == 'x';
  const char* digits = hex ? s + 2 : s;
  double v = 0;
  std::from_chars_result r{};
  if (hex) {
    // "0x" needs a hexadecimal digit after it, as the C library reads it.
    if (!IsHexDigit(digits[0]) && !(digits[0] == '.' && IsHexDigit(digits[1]))) return false;
    r = std::from_chars(digits, end, v, std::chars_format::hex);
  } else {
    const char c = Lower(*s);
    if (!IsDigit(c) && !(c == '.' && IsDigit(s[1])) && c != 'i' && c != 'n') return false;
    r = std::from_chars(s, end, v, std::chars_format::general);
    if (r.ec == std::errc() && c == 'i' && r.ptr - s == 3) {
      // "inf" followed by part of "inity" is no number to the C library.
      const char* rest = "inity";
      const char* p = r.ptr;
      while (*rest != '\0' && Lower(*p) == *rest) ++p, ++rest;
      if (p != r.ptr) return false;
    }
  }
  if (r.ec == std::errc::result_out_of_range) {
    v = IsHugeMagnitude(digits, r.ptr, hex) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (r.ec != std::errc()) {
    return false;
  }
  *value = negative ? -v : v;
  return true;
}

}  // namespace

// --- Error ----------------------------------------------------------------------

TKQstructure::Error::Error(std::unique_ptr<TKQstructure> message) : error(std::move(message)) {
  KOH_ASSERT(error != nullptr);
}

std::unique_ptr<TKQstructure> TKQstructure::Error::CopyMessage() const {
  return std::make_unique<TKQstructure>(*error);
}

std::string TKQstructure::Error::Text() const {
  return error->ToString();
}

// --- Construction, copying, destruction ---------------------------------------

TKQstructure::TKQstructure() : head("unknown"), capacity(kInitialCapacity) {}

TKQstructure::TKQstructure(const char* text) : capacity(kInitialCapacity) {
  KOH_ASSERT(text != nullptr);
  head = text;
}

TKQstructure::TKQstructure(NoReserve, std::string text) : head(std::move(text)), capacity(0) {}

TKQstructure::TKQstructure(const TKQstructure& other) : head(other.head), capacity(0) {
  CopyEntriesFrom(other);
}

TKQstructure& TKQstructure::operator=(const TKQstructure& other) {
  if (this == &other) return *this;
  // Copy first: `other` may be a part of this structure.
  TKQstructure copy(other);
  head.swap(copy.head);
  entries.swap(copy.entries);
  std::swap(capacity, copy.capacity);
  index.swap(copy.index);
  return *this;
}

// Copies the entries of `source` into this structure, which has none, level
// by level with a work list rather than by recursion.
void TKQstructure::CopyEntriesFrom(const TKQstructure& source) {
  std::vector<std::pair<const TKQstructure*, TKQstructure*>> pending{{&source, this}};
  while (!pending.empty()) {
    const auto [from, to] = pending.back();
    pending.pop_back();
    to->capacity = from->GetCount();
    to->entries.reserve(from->entries.size());
    for (const Entry& e : from->entries) {
      std::unique_ptr<TKQstructure> value(new TKQstructure(NoReserve{}, e.value->head));
      to->entries.push_back(Entry{e.tag, std::move(value)});
      if (!e.value->entries.empty())
        pending.emplace_back(e.value.get(), to->entries.back().value.get());
    }
    if (from->index)
      to->index = std::make_unique<std::unordered_map<std::string, int>>(*from->index);
  }
}

// Takes the tree apart without recursion and without allocating. The node
// being emptied is `cur`; the nodes above it form a chain from `up`, each
// linked to the next through the value slot of its last entry.
TKQstructure::~TKQstructure() {
  std::unique_ptr<TKQstructure> up;
  std::unique_ptr<TKQstructure> cur;
  for (;;) {
    std::vector<Entry>& list = cur ? cur->entries : entries;
    if (list.empty()) {
      if (!cur) break;
      cur = std::move(up);  // frees the emptied node
      if (cur) {
        up = std::move(cur->entries.back().value);
        cur->entries.pop_back();
      }
      continue;
    }
    Entry& last = list.back();
    if (last.value == nullptr || last.value->entries.empty()) {
      list.pop_back();
      continue;
    }
    std::unique_ptr<TKQstructure> child = std::move(last.value);
    if (cur) {
      last.value = std::move(up);
      up = std::move(cur);
    } else {
      list.pop_back();
    }
    cur = std::move(child);
  }
}

// --- Text -------------------------------------------------------------------------

std::unique_ptr<TKQstructure> TKQstructure::Parse(const char** cursor) {
  return ParseGuarded(cursor, [](Parser& p) { return p.Expression(0); });
}

std::unique_ptr<TKQstructure> TKQstructure::Parse(char** cursor) {
  return Parse(const_cast<const char**>(cursor));
}

std::unique_ptr<TKQstructure> TKQstructure::ParseMessage(const char** cursor) {
  return ParseGuarded(cursor, [](Parser& p) {
    auto result = p.Expression(0);
    p.ExpectEnd();
    return result;
  });
}

std::unique_ptr<TKQstructure> TKQstructure::ParseMessage(char** cursor) {
  return ParseMessage(const_cast<const char**>(cursor));
}

std::string TKQstructure::ToString() const {
  if (entries.empty()) return head;
  std::string out;
  // Open lists with the position of their next entry to write.
  std::vector<std::pair<const TKQstructure*, std::size_t>> open{{this, 0}};
  out += '(';
  out += head;
  while (!open.empty()) {
    const TKQstructure* node = open.back().first;
    const std::size_t next = open.back().second++;
    if (next == node->entries.size()) {
      out += ')';
      open.pop_back();
      continue;
    }
    const Entry& e = node->entries[next];
    out += " :";
    out += e.tag;
    out += ' ';
    if (e.value->entries.empty()) {
      out += e.value->head;
    } else {
      out += '(';
      out += e.value->head;
      open.emplace_back(e.value.get(), 0);
    }
  }
  return out;
}

void TKQstructure::Print(std::ostream& out) const {
  out << ToString();
}

void TKQstructure::Print() const {
  Print(std::cout);
}

void TKQstructure::PrintLine() const {
  Print(std::cout);
  std::cout << std::endl;
}

std::string TKQstructure::JoinArguments(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    KOH_ASSERT(argv != nullptr && argv[i] != nullptr);
    text += argv[i];
    text += ' ';
  }
  return text;
}

// --- Access by tag ----------------------------------------------------------------

int TKQstructure::IndexOf(const char* tag) const {
  KOH_ASSERT(tag != nullptr);
  if (index) {
    const auto it = index->find(TagKey(tag));
    return it == index->end() ? -1 : it->second;
  }
  for (int i = GetCount() - 1; i >= 0; --i) {
    if (strcasecmp(entries[static_cast<std::size_t>(i)].tag.c_str(), tag) == 0) return i;
  }
  return -1;
}

void TKQstructure::RebuildIndex() {
  auto table = std::make_unique<std::unordered_map<std::string, int>>();
  table->reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    table->emplace(TagKey(entries[i].tag.c_str()), static_cast<int>(i));
  }
  index = std::move(table);
}

void TKQstructure::Append(const char* tag, std::unique_ptr<TKQstructure> value) {
  Entry entry{tag, std::move(value)};
  if (GetCount() == capacity) {
    int grown = capacity > INT_MAX / 2 ? INT_MAX : capacity * 2;
    if (grown < kInitialCapacity) grown = kInitialCapacity;
    entries.reserve(static_cast<std::size_t>(grown));
    capacity = grown;
  } else if (entries.capacity() < static_cast<std::size_t>(capacity)) {
    entries.reserve(static_cast<std::size_t>(capacity));  // first entry of a new structure
  }
  if (index) {
    index->emplace(TagKey(tag), GetCount());
  } else if (entries.size() + 1 > kIndexFrom) {
    entries.push_back(std::move(entry));
    try {
      RebuildIndex();
    } catch (...) {
      entries.pop_back();
      throw;
    }
    return;
  }
  entries.push_back(std::move(entry));  // room reserved above: cannot throw
}

void TKQstructure::Set(const char* tag, std::unique_ptr<TKQstructure> value) {
  KOH_ASSERT(value != nullptr, "newval != NULL");
  const int i = IndexOf(tag);
  if (i >= 0) {
    entries[static_cast<std::size_t>(i)].value = std::move(value);
  } else {
    Append(tag, std::move(value));
  }
}

void TKQstructure::Set(const char* tag, const char* text) {
  Set(tag, std::make_unique<TKQstructure>(text));
}

void TKQstructure::Set(const char* tag, long n) {
  Set(tag, IntegerText(n).c_str());
}

void TKQstructure::Set(const char* tag, double x) {
  Set(tag, FixedText(x, 6).c_str());
}

void TKQstructure::Set(const char* tag, bool b) {
  Set(tag, b ? "true" : "false");
}

TKQstructure* TKQstructure::Find(const char* tag) {
  const int i = IndexOf(tag);
  return i < 0 ? nullptr : entries[static_cast<std::size_t>(i)].value.get();
}

const TKQstructure* TKQstructure::Find(const char* tag) const {
  return const_cast<TKQstructure*>(this)->Find(tag);
}

TKQstructure* TKQstructure::Get(const char* tag) {
  TKQstructure* value = Find(tag);
  KOH_ASSERT(value != nullptr, "0");
  return value;
}

const TKQstructure* TKQstructure::Get(const char* tag) const {
  return const_cast<TKQstructure*>(this)->Get(tag);
}

TKQstructure* TKQstructure::Require(const char* tag) {
  TKQstructure* value = Find(tag);
  if (value == nullptr) {
    auto message = MakeError("invalid-message");
    message->Set("expected", tag);
    Throw(std::move(message));
  }
  return value;
}

const TKQstructure* TKQstructure::Require(const char* tag) const {
  return const_cast<TKQstructure*>(this)->Require(tag);
}

void TKQstructure::Expect(const char* tag, const char* value) const {
  const TKQstructure* found = Require(tag);
  if (value == nullptr || *value == '\0') return;
  if (strcasecmp(found->head.c_str(), value) != 0) {
    auto message = MakeError("invalid-message");
    message->Set("tag", tag);
    message->Set("expected-value", value);
    Throw(std::move(message));
  }
}

void TKQstructure::Remove(const char* tag) {
  KOH_ASSERT(tag != nullptr);
  int i = -1;
  if (index) {
    i = IndexOf(tag);
  } else {
    for (int k = 0; k < GetCount() && i < 0; ++k) {
      if (strcasecmp(entries[static_cast<std::size_t>(k)].tag.c_str(), tag) == 0) i = k;
    }
  }
  if (i < 0) return;
  const std::size_t gap = static_cast<std::size_t>(i);
  if (index) {
    // Both keys are made before anything changes, so a failure leaves all as it was.
    std::string removedKey = TagKey(entries[gap].tag.c_str());
    std::string movedKey = TagKey(entries.back().tag.c_str());
    index->erase(removedKey);
    if (gap + 1 != entries.size()) index->find(movedKey)->second = i;
  }
  if (gap + 1 != entries.size()) entries[gap] = std::move(entries.back());
  entries.pop_back();
}

bool TKQstructure::ToBoolean(const char* text) {
  KOH_ASSERT(text != nullptr);
  if (strcasecmp(text, "TRUE") == 0) return true;
  if (strcasecmp(text, "FALSE") == 0) return false;
  auto message = MakeError("type-error");
  message->Set("expected", "boolean");
  Throw(std::move(message));
}

// --- Text conversions -------------------------------------------------------------

std::unique_ptr<TKQstructure> MakeError(const char* type) {
  auto message = std::make_unique<TKQstructure>("error");
  message->Set("type", type);
  return message;
}

long AsLong(const char* text) {
  KOH_ASSERT(text != nullptr);
  long value = 0;
  KOH_ASSERT(ScanLong(text, &value), "err == 1");
  return value;
}

long ToInteger(const char* text) {
  KOH_ASSERT(text != nullptr);
  long value = 0;
  if (!ScanLong(text, &value)) {
    auto message = MakeError("invalid-message");
    message->Set("integer-expected", text);
    Throw(std::move(message));
  }
  return value;
}

double AsDouble(const char* text) {
  KOH_ASSERT(text != nullptr);
  double value = 0;
  KOH_ASSERT(ScanDouble(text, &value), "err == 1");
  return value;
}

double ToNumber(const char* text) {
  KOH_ASSERT(text != nullptr);
  double value = 0;
  if (!ScanDouble(text, &value)) {
    auto message = MakeError("invalid-message");
    message->Set("number-expected", text);
    Throw(std::move(message));
  }
  return value;
}

}  // namespace kohport
