// The network writer: lays a network out as a network description file in
// the canonical layout, line by line through the writing primitives. Only
// the matrix sections, which hold nearly all of a large file, are formatted
// here directly: cell by cell into a large buffer handed to the stream in
// big pieces, since they decide the cost of a conversion.
#include "FileHandler/NetworkWriter.h"

#include <charconv>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "FileHandler/OutputFile.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "common/Assert.h"
#include "common/Numbers.h"
#include "common/StrCase.h"

namespace kohport {

namespace {

// Digits of every number written: after the point in tags, significant
// digits in matrix cells. The matrix field widths derive from it.
constexpr int kPrecision = 15;
// A block with fewer existing arcs than this share of its possible arcs is
// written as a weight list, otherwise as a matrix.
constexpr double kListDensity = 0.35;

constexpr int kCellWidth = kPrecision + 5;

// Text of the matrix sections, gathered in a large buffer and handed to the
// stream in big pieces.
class MatrixText {
 public:
  // The buffer holds `capacity` characters, at most kChunk: a small
  // section gets no more room than it needs.
  MatrixText(std::ostream& out, std::size_t capacity)
      : out(out), text(capacity < kChunk ? capacity : kChunk) {}
  MatrixText(const MatrixText&) = delete;
  MatrixText& operator=(const MatrixText&) = delete;

  // Whether the stream still takes what it is given.
  bool Good() const { return out.good(); }

  // Right-aligns `s` in a field of `width` characters; longer texts are
  // written whole.
  void Field(const char* s, std::size_t n, std::size_t width) {
    char* p = Room(n > width ? n : width);
    if (n < width) {
      std::memset(p, ' ', width - n);
      p += width - n;
    }
    std::memcpy(p, s, n);
    used = static_cast<std::size_t>(p + n - text.data());
  }

  void Integer(long v, std::size_t width) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    Field(digits, static_cast<std::size_t>(r.ptr - digits), width);
  }

  // A weight as "%.15g" writes it, right-aligned in the cell width.
  void Weight(double v) {
    char digits[kNumberBufferSize];
    Field(digits, FormatGeneral(digits, v, kPrecision), kCellWidth);
  }

  void Text(const char* s) { Field(s, std::strlen(s), 0); }

  // Hands over what is gathered; false once the stream has failed.
  bool Flush() {
    out.write(text.data(), static_cast<std::streamsize>(used));
    used = 0;
    return out.good();
  }

  // Flushes when the buffer is nearly full; false once the stream has failed.
  bool FlushIfFull() { return used < kChunk - kChunk / 4 || Flush(); }

 private:
  static constexpr std::size_t kChunk = std::size_t{1} << 20;

  char* Room(std::size_t n) {
    if (text.size() - used < n) {
      Flush();
      if (text.size() < n) text.resize(n);
    }
    return text.data() + used;
  }

  std::ostream& out;
  std::vector<char> text;
  std::size_t used = 0;
};

// "[" + the items + "]" and a line end, the items written unbracketed.
void AllFunctionLine(std::ostream& out, const char* functionName) {
  FileTools::WriteOpenBracket(out, true);
  FileTools::WriteKeyword(out, "All", false);
  FileTools::WriteStringTag(out, "ActivationFunction", functionName, false);
  FileTools::WriteCloseBracket(out, true, true);
}

void WriteLayer(std::ostream& out, TBasicNetwork& net, int i) {
  TBasicLayer& layer = *net.layers[i];
  const int n = layer.numNeurons;
  FileTools::WriteIntegerTag(out, "Layer", i, true);
  FileTools::WriteStringTag(out, "LayerType", layer.GetLayerType(), true);
  FileTools::WriteIntegerTag(out, "NumberOfNeurons", n, true);

  const TActFunction shared = layer.GetActFunction();
  if (shared != nullptr) AllFunctionLine(out, net.fnRegistry->GetFunctionName(shared));
  if (n == 0) return;

  // A parameter is common when every neuron has the value and the name of
  // neuron 0; common parameters are written once for the whole layer.
  TBasicNeuron* first = layer.GetNeuron(0);
  const int numParams = first->GetNumParameters();
  std::vector<const char*> names(static_cast<std::size_t>(numParams));
  std::vector<double> base(static_cast<std::size_t>(numParams));
  std::vector<double> values(static_cast<std::size_t>(numParams));
  std::vector<bool> common(static_cast<std::size_t>(numParams), true);
  for (int j = 0; j < numParams; ++j) names[j] = first->GetParameterName(j);
  first->GetParameters(base.data());
  for (int k = 1; k < n; ++k) {
    TBasicNeuron* neuron = layer.GetNeuron(k);
    neuron->GetParameters(values.data());
    for (int j = 0; j < numParams; ++j) {
      if (common[j] &&
          (values[j] != base[j] || strcasecmp(neuron->GetParameterName(j), names[j]) != 0)) {
        common[j] = false;
      }
    }
  }
  bool allCommon = true;
  for (int j = 0; j < numParams; ++j) {
    if (!common[j]) {
      allCommon = false;
      continue;
    }
    FileTools::WriteOpenBracket(out, true);
    FileTools::WriteKeyword(out, "All", false);
    FileTools::WriteNumberTag(out, names[j], base[j], kPrecision, false);
    FileTools::WriteCloseBracket(out, true, true);
  }
  if (shared != nullptr && allCommon) return;

  FileTools::WriteKeyword(out, "Neurons", true);
  for (int k = 0; k < n; ++k) {
    TBasicNeuron* neuron = layer.GetNeuron(k);
    FileTools::WriteOpenBracket(out, true);
    FileTools::WriteIntegerTag(out, "Neuron", k, false);
    if (shared == nullptr) {
      FileTools::WriteStringTag(out, "ActivationFunction",
                                net.fnRegistry->GetFunctionName(neuron->GetActFunction()), false);
    }
    if (!allCommon) {
      neuron->GetParameters(values.data());
      for (int j = 0; j < numParams; ++j) {
        if (!common[j])
          FileTools::WriteNumberTag(out, neuron->GetParameterName(j), values[j], kPrecision, false);
      }
    }
    FileTools::WriteCloseBracket(out, true, true);
  }
  FileTools::WriteEndTag(out, "Neurons");
}

// The matrix section: one row per from-neuron, one cell per to-neuron, the
// to-neuron labels in a comment above the cells.
void WriteMatrix(std::ostream& out, TBasicConnections& block, int nFrom, int nTo, bool freezable) {
  FileTools::WriteOpenBracket(out, true);
  FileTools::WriteKeyword(out, "Matrix", false);
  FileTools::WriteKeyword(out, "Weights", false);
  if (freezable) FileTools::WriteKeyword(out, "TrainableInfo", false);
  FileTools::WriteCloseBracket(out, true, true);

  // At most kCellWidth + 3 characters per label or cell, a few more per line.
  const std::size_t lines = static_cast<std::size_t>(nFrom) + 1;
  MatrixText text(out, lines * (static_cast<std::size_t>(nTo) * (kCellWidth + 3) + 32));
  // Each label stands above the last character of its cell, or above the
  // cell's flag in a block with trainable flags.
  text.Text("/* To->");
  for (int c = 0; c < nTo; ++c) {
    const int width = c == 0 ? (freezable ? kPrecision : kPrecision - 2)
                             : (freezable ? kPrecision + 8 : kPrecision + 6);
    text.Integer(c, static_cast<std::size_t>(width));
  }
  text.Text("  From */\n");

  // Weights are stored one row per to-neuron, so a matrix row (one
  // from-neuron) reads one entry of every storage row.
  double* const* rows = block.GetWeightRows();
  for (int r = 0; r < nFrom && text.FlushIfFull(); ++r) {
    for (int c = 0; c < nTo; ++c) {
      if (!freezable) {
        text.Weight(rows != nullptr ? rows[c][r] : *block.GetWeightPtr(r, c));
        text.Text(" ");
      } else if (!block.IsValid(r, c)) {
        text.Field("-", 1, kCellWidth);
        text.Text(" - ");
      } else {
        text.Weight(rows != nullptr ? rows[c][r] : *block.GetWeightPtr(r, c));
        text.Text(block.IsTrainable(r, c) ? " T " : " F ");
      }
    }
    text.Text(" /* ");
    text.Integer(r, 0);
    text.Text(" */\n");
  }
  text.Flush();
  FileTools::WriteEndTag(out, "Matrix");
}

void WriteConnections(std::ostream& out, FileTools& tools, TBasicConnections& block, int from,
                      int to) {
  const int nFrom = block.FromCount();
  const int nTo = block.ToCount();
  const char* type = block.GetConnectionsNType();
  FileTools::WriteKeyword(out, "ConnectionLayer", true);
  FileTools::WriteIntegerTag(out, "LayerFrom", from, true);
  FileTools::WriteIntegerTag(out, "LayerTo", to, true);
  FileTools::WriteStringTag(out, "ConnectionType", type, true);

  const bool pruneable = strcasecmp(type, "FullyConnected") != 0;
  const bool freezable = pruneable;
  FileTools::WriteOpenBracket(out, true);
  FileTools::WriteKeyword(out, "Attributes", false);
  FileTools::WriteKeyword(out, pruneable ? "Pruneable" : "UnPrunable", false);
  FileTools::WriteKeyword(out, freezable ? "Freezable" : "UnFreezable", false);
  FileTools::WriteCloseBracket(out, true, true);

  TIterateObjCount counter;
  block.Iterate(&counter, FMaskExists);
  if (kListDensity * (static_cast<double>(nFrom) * static_cast<double>(nTo)) >
      static_cast<double>(counter.count)) {
    FileTools::WriteKeyword(out, "WeightList", true);
    TIterateObjSaveWeights saver(out, tools, freezable, kPrecision);
    block.Iterate(&saver, FMaskExists);
    FileTools::WriteEndTag(out, "WeightList");
  } else {
    WriteMatrix(out, block, nFrom, nTo, freezable);
  }
  FileTools::WriteEndTag(out, "ConnectionLayer");
}

void WriteNetworkBody(std::ostream& out, FileTools& tools, TBasicNetwork& net) {
  out.precision(kPrecision);
  FileTools::WriteFormatVersion(out);
  FileTools::WriteKeyword(out, "NeuralNetwork", true);
  FileTools::WriteStringTag(out, "NetworkType", net.GetNetworkType(), true);
  FileTools::WriteNewLine(out);

  FileTools::WriteKeyword(out, "NetworkInformation", true);
  FileTools::WriteIntegerTag(out, "NumberOfLayers", net.numLayers, true);
  FileTools::WriteIntegerTag(out, "InputLayer", net.inLayer, true);
  FileTools::WriteIntegerTag(out, "OutputLayer", net.outLayer, true);
  FileTools::WriteIntegerTag(out, "NumberOfInputs", net.layers[net.inLayer]->numNeurons, true);
  FileTools::WriteIntegerTag(out, "NumberOfOutputs", net.layers[net.outLayer]->numNeurons, true);
  for (int i = 0; i < net.numLayers; ++i) {
    TBasicLayer& layer = *net.layers[i];
    if (layer.GetActFunction() != ActBias || layer.numNeurons == 0) continue;
    if (layer.numNeurons > 1) throw FileTools::Error{"Illegal number of bias nodes", nullptr, &out};
    FileTools::WriteIntegerTag(out, "BiasLayer", i, true);
  }
  FileTools::WriteEndTag(out, "NetworkInformation");

  if (strcasecmp(net.GetNetworkType(), "KOHONEN") == 0) {
    auto* map = dynamic_cast<TKohonenNetwork*>(&net);
    KOH_ASSERT(map != nullptr, "a network of type Kohonen is a TKohonenNetwork");
    const int d = map->GetNumDimensions();
    std::vector<int> sizes(static_cast<std::size_t>(d));
    map->GetDimensions(sizes.data());
    FileTools::WriteNewLine(out);
    FileTools::WriteIntegerTag(out, "Dimensions", d, true);
    for (int k = 0; k < d; ++k) {
      FileTools::WriteOpenBracket(out, true);
      FileTools::WriteIntegerTag(out, "Dimension", k, false);
      FileTools::WriteIntegerTag(out, "Size", sizes[k], false);
      FileTools::WriteCloseBracket(out, true, true);
    }
    FileTools::WriteEndTag(out, "Dimensions");
  }

  for (int i = 0; i < net.numLayers; ++i) {
    FileTools::WriteNewLine(out);
    WriteLayer(out, net, i);
    FileTools::WriteEndTag(out, "Layer");
  }

  for (int a = 0; a < net.numLayers; ++a) {
    for (int b = 0; b < net.numLayers; ++b) {
      TBasicConnections& block = *net.priv_conns_index[b][a];
      if (!block.IsConnected()) continue;
      FileTools::WriteNewLine(out);
      WriteConnections(out, tools, block, a, b);
    }
  }

  FileTools::WriteNewLine(out);
  FileTools::WriteEndTag(out, "NeuralNetwork");
}

}  // namespace

void TIterateObjSaveWeights::Process() {
  FileTools::WriteOpenBracket(out, true);
  FileTools::WriteIntegerTag(out, "From", fromNeuron, false);
  FileTools::WriteIntegerTag(out, "To", toNeuron, false);
  FileTools::WriteNumberTag(out, "Weight", *weight, precision, false);
  if (saveTrainable) FileTools::WriteKeyword(out, trainable ? "Trainable" : "UnTrainable", false);
  FileTools::WriteCloseBracket(out, true, true);
}

void FileTools::WriteNetwork(std::ostream& out, TBasicNetwork* net,
                             std::unique_ptr<TKQstructure> reply) {
  reply.reset();
  KOH_ASSERT(net != nullptr, "net != NULL");
  try {
    WriteNetworkBody(out, *this, *net);
  } catch (const std::bad_alloc&) {
    throw Error{"Out of memory writing the network description", nullptr, &out};
  }
}

void FileTools::SaveNetwork(const char* fileName, TBasicNetwork* net,
                            std::unique_ptr<TKQstructure> reply) {
  reply.reset();
  KOH_ASSERT(fileName != nullptr, "fileName != NULL");
  KOH_ASSERT(net != nullptr, "net != NULL");
  try {
    SafeOutputFile file(fileName);
    WriteNetwork(file.Stream(), net);
    file.Commit();
  } catch (Error& e) {
    e.output = nullptr;  // the sink's stream is gone
    throw;
  } catch (const std::bad_alloc&) {
    throw Error{std::string("Out of memory writing file ") + fileName, nullptr, nullptr};
  } catch (const std::exception& e) {
    throw Error{std::string("Error writing file ") + fileName + ": " + e.what(), nullptr, nullptr};
  }
}

}  // namespace kohport
