// Fuzzes the message parser: any text either parses, or is refused with an
// error message. What parsed prints to a text that parses back to the same
// printed form, and a copy prints the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "KQmessage/KQML.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// A refusal is an error message: head "error" with "type" as its first entry.
void CheckRefusal(const kohport::TKQstructure::Error& e) {
  Check(e.error != nullptr);
  Check(e.error->head == "error");
  Check(e.error->GetCount() >= 1);
  Check(e.error->GetEntries()[0].tag == "type");
}

// The typed readers refuse or convert any word; none may misbehave.
void ConvertWord(const std::string& word) {
  using kohport::TKQstructure;
  try {
    (void)kohport::ToInteger(word.c_str());
  } catch (const TKQstructure::Error& e) {
    CheckRefusal(e);
  }
  try {
    (void)kohport::ToNumber(word.c_str());
  } catch (const TKQstructure::Error& e) {
    CheckRefusal(e);
  }
  try {
    (void)TKQstructure::ToBoolean(word.c_str());
  } catch (const TKQstructure::Error& e) {
    CheckRefusal(e);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using kohport::TKQstructure;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const char* cursor = text.c_str();
  std::unique_ptr<TKQstructure> message;
  try {
    message = TKQstructure::ParseMessage(&cursor);
  } catch (const TKQstructure::Error& e) {
    CheckRefusal(e);
    Check(cursor == text.c_str());
    return 0;
  }
  Check(*cursor == '\0');

  const std::string printed = message->ToString();
  const char* again = printed.c_str();
  const auto reparsed = TKQstructure::ParseMessage(&again);
  Check(reparsed->ToString() == printed);

  const TKQstructure copy(*message);
  Check(copy.ToString() == printed);
  Check(copy.GetCapacity() == message->GetCount());
  for (const auto& entry : message->GetEntries()) {
    Check(copy.Find(entry.tag.c_str()) == copy.Get(entry.tag.c_str()));
  }
  // A few words are enough for the readers; refusals (exceptions) are costly.
  ConvertWord(message->head);
  const auto& entries = message->GetEntries();
  for (std::size_t i = 0; i < entries.size() && i < 4; ++i) ConvertWord(entries[i].value->head);
  return 0;
}
