// Writer of the legacy Kohonen map text (see KohonenText.h).
#include <charconv>
#include <cstring>
#include <string>

#include "common/Numbers.h"
#include "legacy/KohonenText.h"
#include "legacy/LegacyFormat.h"

namespace kohport::legacy {

namespace {

// Collects the text and hands it to the sink in pieces of about kPiece bytes,
// so a large map never sits in memory as one text.
class TPieces {
 public:
  explicit TPieces(const TTextSink& sink) : sink_(sink) { text_.reserve(kPiece + 1024); }

  void Add(std::string_view s) {
    text_.append(s.data(), s.size());
    if (text_.size() >= kPiece) Flush();
  }
  void Add(char c) { text_.push_back(c); }
  void AddInteger(int v) {
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    text_.append(buf, r.ptr);
  }
  // "%14g" at precision 6: right-aligned, a longer text is not cut.
  void AddWeight(double v) {
    char buf[kNumberBufferSize];
    const std::size_t len = FormatGeneral(buf, v, kWeightPrecision);
    if (len < kWeightWidth) text_.append(kWeightWidth - len, ' ');
    text_.append(buf, len);
  }
  void Flush() {
    if (!text_.empty()) sink_(text_);
    text_.clear();
  }

 private:
  static constexpr std::size_t kPiece = 64 * 1024;
  const TTextSink& sink_;
  std::string text_;
};

}  // namespace

void WriteKohonenText(const TOndKohonenHeader& header, const TUnitWeights& unit,
                      const TTextSink& sink) {
  TPieces out(sink);
  out.Add(kTitleLead);
  if (header.title) out.Add(*header.title);
  out.Add('\n');
  out.Add(kDescriptionLead);
  if (header.description) out.Add(*header.description);
  out.Add("\n\n");
  out.Add(kInputsLead);
  out.AddInteger(header.numInputs);
  out.Add('\n');
  out.Add(kMapSizeLead);
  out.AddInteger(header.mapSize);
  out.Add("\n\n");
  out.Add(kTableHeading);
  out.Add('\n');
  const int m = header.mapSize;
  for (int x = 0; x < m; ++x) {
    for (int y = 0; y < m; ++y) {
      out.AddInteger(x);
      out.Add(' ');
      out.AddInteger(y);
      const double* w = unit(x * m + y);
      for (int i = 0; i < header.numInputs; ++i) out.AddWeight(w[i]);
      out.Add(kEndMarkField);
      out.Add('\n');
    }
  }
  out.Add('\n');
  out.Flush();
}

}  // namespace kohport::legacy
