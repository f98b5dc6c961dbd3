// Reads every tag of the input as the network reader walks a file: keyword
// tags (but the one-line statements All and Attributes) and the value tags
// Layer and Dimensions open blocks, end tags close them. Checks what the tag
// reader hands out, and that every word parses as "%f" / "%ld" and strtod
// say. Refusals must be FileTools::Error naming the input stream.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "FileHandler/ParseTools.h"

namespace {

using kohport::FileTools;
using kohport::TTag;

bool IsSeparator(unsigned char c) {
  return c < '!' || c > '~' || c == ',';
}
bool IsSpecial(char c) {
  return std::string_view("[]/*=<>").find(c) != std::string_view::npos;
}

void Require(bool condition) {
  if (!condition) std::abort();
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto up = [](char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; };
    if (up(a[i]) != up(b[i])) return false;
  }
  return true;
}

void CheckWord(const std::string& word, bool mayBeSpecial) {
  Require(!word.empty() && word.size() <= FileTools::kMaxWordLength);
  for (char c : word) Require(!IsSeparator(static_cast<unsigned char>(c)));
  if (mayBeSpecial && word.size() == 1) return;
  for (char c : word) Require(!IsSpecial(c));
}

// ParseNumber and ParseInteger agree with the C library on `word`.
void CheckNumbers(const std::string& word) {
  std::istringstream none;
  float f;
  const bool numberValid = std::sscanf(word.c_str(), "%f", &f) == 1;
  try {
    const double got = FileTools::ParseNumber(none, word);
    const double expected = std::strtod(word.c_str(), nullptr);
    Require(numberValid);
    Require(std::isnan(expected) ? std::isnan(got) : got == expected);
    Require(std::signbit(got) == std::signbit(expected));
  } catch (const FileTools::Error& e) {
    Require(!numberValid && e.message == "number-expected");
  }
  long l;
  const bool integerValid = std::sscanf(word.c_str(), "%ld", &l) == 1;
  try {
    const std::int32_t got = FileTools::ParseInteger(none, word);
    Require(integerValid && got == l);
  } catch (const FileTools::Error& e) {
    Require(integerValid ? e.message == "integer out of range" : e.message == "integer-expected");
    if (integerValid) Require(l < INT32_MIN || l > INT32_MAX);
  }
}

void CheckTag(const TTag& tag) {
  switch (tag.type) {
    case TTag::EndTag:
      Require(tag.name.empty() && tag.value.empty() && !tag.more);
      break;
    case TTag::PlainToken:
      CheckWord(tag.name, true);
      Require(tag.name != "[" && tag.name != "]" && tag.value.empty() && !tag.more);
      CheckNumbers(tag.name);
      break;
    case TTag::KeywordTag:
      CheckWord(tag.name, false);
      Require(tag.value.empty());
      break;
    case TTag::ValueTag:
      CheckWord(tag.name, false);
      CheckWord(tag.value, false);
      CheckNumbers(tag.value);
      break;
    default:
      Require(false);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  FileTools tools;
  std::vector<std::string> blocks;
  try {
    for (;;) {
      const std::optional<std::string_view> open =
          blocks.empty() ? std::nullopt : std::optional<std::string_view>(blocks.back());
      TTag tag = tools.ReadTag(open, in, false);
      CheckTag(tag);
      if (tag.type == TTag::EndTag) {
        if (blocks.empty()) break;
        blocks.pop_back();
        continue;
      }
      const TTag first = tag;
      while (tag.more) {
        tag = tools.ReadTag(open, in, true);
        Require(tag.type == TTag::KeywordTag || tag.type == TTag::ValueTag);
        CheckTag(tag);
      }
      const bool opens =
          first.type == TTag::KeywordTag
              ? !EqualNoCase(first.name, "All") && !EqualNoCase(first.name, "Attributes")
              : first.type == TTag::ValueTag &&
                    (EqualNoCase(first.name, "Layer") || EqualNoCase(first.name, "Dimensions"));
      if (opens && blocks.size() < 64) blocks.push_back(first.name);
    }
  } catch (const FileTools::Error& e) {
    Require(e.input == &in && e.output == nullptr && !e.message.empty());
    Require(e.message.find('\n') == std::string::npos);
  }
  return 0;
}
