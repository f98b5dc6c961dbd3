// The network reader: FileTools::ReadNetwork and FileTools::LoadNetwork.
//
// One NetworkReader reads one file, front to back, through the tag
// primitives. It holds the network under construction in a unique_ptr, so a
// refusal at any point destroys whatever was built; the network's destructor
// skips the layer slots that were never filled. Every declared count is
// compared with the ReaderLimits before anything is allocated for it, and
// every model operation that would assert on bad input (an index out of
// range, a pruned arc in a fully connected block, an unknown function name)
// is preceded by a check that refuses the file instead.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "FileHandler/ParseTools.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TConnectedNetwork.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "NeuralNets/TPrunedConnections.h"
#include "common/Assert.h"
#include "common/StrCase.h"

namespace kohport {

namespace {

// Short enough to need no allocation, so it can be made when memory is out.
constexpr const char* kOutOfMemory = "Out of memory";

// At most nine cell entries per Matrix section.
constexpr std::size_t kMaxMatrixEntries = 9;

bool Is(const std::string& text, const char* keyword) {
  return strcasecmp(text.c_str(), keyword) == 0;
}

std::string Num(std::int64_t n) {
  return std::to_string(n);
}

class NetworkReader {
 public:
  NetworkReader(FileTools& tools, std::istream& in, const ReaderLimits& limits)
      : tools(tools), in(in), limits(limits) {}

  std::unique_ptr<TBasicNetwork> Read();

 private:
  enum class Entry { Weights, TrainableInfo };

  // What one Layer block has given so far.
  struct LayerState {
    int layerNum = -1;
    int numNeurons = -1;
    std::optional<std::string> layerType;
    TBasicLayer* layer = nullptr;  // owned by the network once made
    TActFunction layerFn = nullptr;
    int numParameters = 0;
    std::vector<double> values;  // one per parameter
    std::vector<char> given;     // parameters given at layer level
  };

  // What one ConnectionLayer block is filling.
  struct BlockState {
    TBasicConnections* conn = nullptr;  // owned by the network
    bool pruneable = false;
    int nFrom = 0;
    int nTo = 0;
  };

  [[noreturn]] void Fail(const std::string& message) const {
    throw FileTools::Error{message, &in, nullptr};
  }

  // A tag in the innermost open block; the end tag that closes that block
  // also closes it here.
  TTag Tag() {
    std::optional<std::string_view> open;
    if (!blocks.empty()) open = blocks.back();
    TTag tag = tools.ReadTag(open, in, false);
    if (tag.type == TTag::EndTag && !blocks.empty()) blocks.pop_back();
    return tag;
  }
  TTag TagWithNoBlockOpen() { return tools.ReadTag(std::nullopt, in, false); }
  // The next item of the bracket whose last item came with `more` set.
  TTag Item() {
    std::optional<std::string_view> open;
    if (!blocks.empty()) open = blocks.back();
    return tools.ReadTag(open, in, true);
  }
  void Open(std::string name) { blocks.push_back(std::move(name)); }

  std::int32_t Integer(const std::string& text) const { return FileTools::ParseInteger(in, text); }
  double Number(const std::string& text) const { return FileTools::ParseNumber(in, text); }

  void ReadHeader();
  void MakeNetwork();
  void ReadDimensions();
  void ReadLayer(TTag& tag);
  void RequireAllLayers() const;
  void MakeLayer(LayerState& st);
  bool ReadNeurons(TTag& tag, LayerState& st);
  TActFunction Function(const std::string& name, int layerNum) const;
  static int FindParameter(TBasicNeuron* neuron, int count, const std::string& name);
  void ReadConnections(TTag& tag);
  void ReadMatrix(TTag& tag, const BlockState& block);
  void ReadWeightList(TTag& tag, const BlockState& block);

  FileTools& tools;
  std::istream& in;
  const ReaderLimits& limits;
  std::vector<std::string> blocks;  // names of the open blocks, innermost last

  std::string networkType;
  int numLayers = -1;
  int inLayer = 1;
  int outLayer = -1;
  int numInputs = -1;
  int numOutputs = -1;

  std::unique_ptr<TBasicNetwork> network;
  TKohonenNetwork* kohonen = nullptr;  // the network, when it is a Kohonen map
  std::vector<int> dimensionSizes;     // -1 until a dimension's Size is read

  std::int64_t totalNeurons = 0;
  std::int64_t totalArcs = 0;
};

std::unique_ptr<TBasicNetwork> NetworkReader::Read() {
  ReadHeader();
  MakeNetwork();
  if (kohonen != nullptr) ReadDimensions();

  TTag tag = Tag();
  while (tag.type == TTag::ValueTag && Is(tag.name, "LAYER")) {
    ReadLayer(tag);
    tag = Tag();
  }
  if (kohonen != nullptr) {
    kohonen->SetDimensions(static_cast<int>(dimensionSizes.size()), dimensionSizes.data());
  }

  // The blocks read their sizes from the layers.
  if (tag.type == TTag::KeywordTag && Is(tag.name, "CONNECTIONLAYER")) RequireAllLayers();
  while (tag.type == TTag::KeywordTag && Is(tag.name, "CONNECTIONLAYER")) {
    ReadConnections(tag);
    tag = Tag();
  }
  FileTools::ExpectEndTag(tag, in);
  // A network is handed out only with every layer made.
  RequireAllLayers();
  // Only separators and comments may follow the network.
  FileTools::ExpectEndTag(TagWithNoBlockOpen(), in);
  return std::move(network);
}

void NetworkReader::RequireAllLayers() const {
  for (int i = 0; i < numLayers; ++i) {
    if (network->layers[i] == nullptr) Fail("Layer " + Num(i) + " not defined");
  }
}

void NetworkReader::ReadHeader() {
  Open(FileTools::ExpectBlockStart(TagWithNoBlockOpen(), in, "NEURALNETWORK"));
  networkType = FileTools::ReadStringTag(TagWithNoBlockOpen(), in, "NETWORKTYPE");
  Open(FileTools::ExpectBlockStart(TagWithNoBlockOpen(), in, "NETWORKINFORMATION"));

  TTag tag = Tag();
  while (tag.type == TTag::ValueTag) {
    if (tag.more) Fail("Too complicated statement");
    // The value is an integer whatever the keyword, and is checked first.
    const std::int32_t value = Integer(tag.value);
    if (Is(tag.name, "NUMBEROFLAYERS")) {
      numLayers = value;
    } else if (Is(tag.name, "INPUTLAYER")) {
      inLayer = value;
    } else if (Is(tag.name, "OUTPUTLAYER")) {
      outLayer = value;
    } else if (Is(tag.name, "NUMBEROFINPUTS")) {
      numInputs = value;
    } else if (Is(tag.name, "NUMBEROFOUTPUTS")) {
      numOutputs = value;
    } else if (!Is(tag.name, "BIASLAYER")) {  // a bias layer needs no action
      Fail("Unknown keyword");
    }
    tag = Tag();
  }
  FileTools::ExpectEndTag(tag, in);

  if (numLayers < 0) Fail("Must specify number of layers");
  if (outLayer < 0) outLayer = numLayers - 1;
  const std::string ofLayers = " out of range (NumberOfLayers = " + Num(numLayers) + ")";
  if (inLayer < 0 || inLayer >= numLayers) Fail("InputLayer " + Num(inLayer) + ofLayers);
  if (outLayer >= numLayers) Fail("OutputLayer " + Num(outLayer) + ofLayers);
}

void NetworkReader::MakeNetwork() {
  enum class Kind { Basic, Connected, Kohonen } kind;
  if (Is(networkType, "BASIC")) {
    kind = Kind::Basic;
  } else if (Is(networkType, "CONNECTED")) {
    kind = Kind::Connected;
  } else if (Is(networkType, "KOHONEN")) {
    kind = Kind::Kohonen;
  } else {
    Fail("Unknown network type");
  }
  // A Kohonen map always has its three layers: the empty layer 0, the
  // inputs and the map units.
  if (kind == Kind::Kohonen && numLayers != 3) {
    Fail("Kohonen network needs NumberOfLayers = 3, not " + Num(numLayers));
  }
  // The network holds numLayers x numLayers blocks from the start.
  if (numLayers > limits.maxLayers) {
    Fail("NumberOfLayers = " + Num(numLayers) + " exceeds the reader's limit of " +
         Num(limits.maxLayers));
  }
  if (!TBasicConnections::SizeFits(numLayers, numLayers)) {
    Fail("NumberOfLayers = " + Num(numLayers) + " too large");
  }

  switch (kind) {
    case Kind::Basic:
      network = std::make_unique<TBasicNetwork>(numLayers);
      break;
    case Kind::Connected:
      network = std::make_unique<TConnectedNetwork>(numLayers);
      break;
    case Kind::Kohonen: {
      auto map = std::make_unique<TKohonenNetwork>();
      kohonen = map.get();
      network = std::move(map);
      break;
    }
  }
  network->inLayer = inLayer;
  network->outLayer = outLayer;
}

void NetworkReader::ReadDimensions() {
  TTag tag = Tag();
  if (tag.type != TTag::ValueTag || !Is(tag.name, "DIMENSIONS")) {
    Fail("Missing dimensions in Kohonen");
  }
  const std::int32_t count = Integer(tag.value);
  if (count < 0) Fail("Dimensions = " + Num(count) + " below 0");
  if (count > limits.maxDimensions) {
    Fail("Dimensions = " + Num(count) + " exceeds the reader's limit of " +
         Num(limits.maxDimensions));
  }
  Open(tag.name);
  dimensionSizes.assign(static_cast<std::size_t>(count), -1);

  tag = Tag();
  while (tag.type == TTag::ValueTag && tag.more) {
    if (!Is(tag.name, "DIMENSION")) Fail("invalid dimension tag");
    const std::int32_t k = Integer(tag.value);
    if (k < 0 || k >= count) {
      Fail("Dimension " + Num(k) + " out of range (Dimensions = " + Num(count) + ")");
    }
    const TTag size = Item();
    if (size.type != TTag::ValueTag || !Is(size.name, "SIZE") || size.more) {
      Fail("'Size' tag required for dimension data");
    }
    const std::int32_t s = Integer(size.value);
    if (dimensionSizes[k] >= 0) Fail("Dimension " + Num(k) + " given twice");
    if (s < 0) Fail("Size = " + Num(s) + " of dimension " + Num(k) + " below 0");
    dimensionSizes[k] = s;
    tag = Tag();
  }
  FileTools::ExpectEndTag(tag, in);
  for (std::size_t k = 0; k < dimensionSizes.size(); ++k) {
    if (dimensionSizes[k] < 0) Fail("Dimension " + Num(static_cast<int>(k)) + " without Size");
  }
}

// On entry `tag` is the Layer tag; on return it is the end tag of the block.
void NetworkReader::ReadLayer(TTag& tag) {
  LayerState st;
  st.layerNum = Integer(tag.value);
  const std::string where = " in layer " + Num(st.layerNum);
  if (st.layerNum < 0 || st.layerNum >= numLayers) {
    Fail("Layer " + Num(st.layerNum) + " out of range (NumberOfLayers = " + Num(numLayers) + ")");
  }
  if (network->layers[st.layerNum] != nullptr) Fail("Layer " + Num(st.layerNum) + " defined twice");
  Open(tag.name);

  tag = Tag();
  while (tag.type == TTag::ValueTag || (tag.type == TTag::KeywordTag && Is(tag.name, "ALL"))) {
    if (tag.type == TTag::KeywordTag) {
      if (!tag.more) Fail("[ALL] is incomplete statment");
      tag = Item();
      if (tag.type != TTag::ValueTag) Fail("Required syntax is [ALL <keyword>=<val>]");
    }
    if (tag.more) Fail("Too complicated statement");

    if (Is(tag.name, "LAYERTYPE")) {
      if (st.layer != nullptr && !Is(tag.value, st.layerType->c_str())) {
        Fail("LayerType changed after the layer was made" + where);
      }
      st.layerType = tag.value;
    } else if (Is(tag.name, "NUMBEROFNEURONS")) {
      const std::int32_t n = Integer(tag.value);
      if (n < 0) Fail("NumberOfNeurons = " + Num(n) + " below 0" + where);
      if (st.layer != nullptr && n != st.numNeurons) {
        Fail("NumberOfNeurons changed after the layer was made" + where);
      }
      st.numNeurons = n;
    } else if (Is(tag.name, "ACTIVATIONFUNCTION")) {
      st.layerFn = Function(tag.value, st.layerNum);
    } else {
      if (st.layer == nullptr) {
        Fail("Parameter " + tag.name + " before LayerType and NumberOfNeurons" + where);
      }
      const int j = st.numNeurons > 0
                        ? FindParameter(st.layer->GetNeuron(0), st.numParameters, tag.name)
                        : -1;
      if (j < 0) Fail("Unknown parameter " + tag.name + where);
      st.values[j] = Number(tag.value);
      st.given[j] = 1;
    }
    if (st.layer == nullptr && st.numNeurons >= 0 && st.layerType) MakeLayer(st);
    tag = Tag();
  }
  if (st.layer == nullptr)
    Fail("Layer " + Num(st.layerNum) + " without LayerType or NumberOfNeurons");

  if (st.layerFn != nullptr) {
    // Every neuron of a layer is of one kind, and the layer's kind decides
    // it for a layer without neurons.
    const bool hasGain = st.numNeurons > 0 ? st.layer->GetNeuron(0)->AsGainNeuron() != nullptr
                                           : dynamic_cast<TGainLayer*>(st.layer) != nullptr;
    if (IsGainFunction(st.layerFn) && !hasGain) {
      Fail(std::string("Gain function ") + network->fnRegistry->GetFunctionName(st.layerFn) +
           " for neurons without a gain" + where);
    }
    st.layer->SetActFunction(st.layerFn);
  }

  if (tag.type == TTag::KeywordTag && Is(tag.name, "NEURONS")) {
    const bool complete = ReadNeurons(tag, st);
    tag = Tag();
    if (!complete) Fail("Neuron not defined");
  } else {
    for (int j = 0; j < st.numParameters; ++j) {
      if (!st.given[j]) Fail("Incomplete Layer information");
    }
    if (st.numParameters > 0) {
      for (int i = 0; i < st.numNeurons; ++i)
        st.layer->GetNeuron(i)->SetParameters(st.values.data());
    }
  }
  FileTools::ExpectEndTag(tag, in);
}

void NetworkReader::MakeLayer(LayerState& st) {
  if (st.layerNum == inLayer && numInputs >= 0 && numInputs != st.numNeurons) {
    Fail("wrong number inputs in header");
  }
  if (st.layerNum == outLayer && numOutputs >= 0 && numOutputs != st.numNeurons) {
    Fail("wrong number outputs in header");
  }
  enum class Kind { Simple, Input, Gain } kind;
  if (Is(*st.layerType, "SIMPLE")) {
    kind = Kind::Simple;
  } else if (Is(*st.layerType, "INPUT")) {
    kind = Kind::Input;
  } else if (Is(*st.layerType, "GAIN")) {
    kind = Kind::Gain;
  } else {
    Fail("Unknown layer type");
  }
  const std::string where = " in layer " + Num(st.layerNum);
  if (st.numNeurons > limits.maxLayerNeurons) {
    Fail("NumberOfNeurons = " + Num(st.numNeurons) + where + " exceeds the reader's limit of " +
         Num(limits.maxLayerNeurons));
  }
  const std::int64_t total = totalNeurons + st.numNeurons;
  if (total > limits.maxNeurons || total > INT_MAX) {
    Fail("NumberOfNeurons = " + Num(st.numNeurons) + where +
         ": the network's neurons exceed the reader's limit of " +
         Num(std::min<std::int64_t>(limits.maxNeurons, INT_MAX)));
  }

  LayerPtr layer;
  switch (kind) {
    case Kind::Simple:
      layer.reset(new TSimpleLayer(network.get(), st.layerNum, st.numNeurons));
      break;
    case Kind::Input:
      layer.reset(new TSimpleInputLayer(network.get(), st.layerNum, st.numNeurons));
      break;
    case Kind::Gain:
      layer.reset(new TGainLayer(network.get(), st.layerNum, st.numNeurons, 1.0));
      break;
  }
  int parameters = 0;
  for (int i = 0; i < st.numNeurons; ++i) {
    parameters = std::max(parameters, layer->GetNeuron(i)->GetNumParameters());
  }
  st.values.assign(static_cast<std::size_t>(parameters), 0.0);
  st.given.assign(static_cast<std::size_t>(parameters), 0);
  st.numParameters = parameters;
  st.layer = layer.get();
  network->layers[st.layerNum] = std::move(layer);
  totalNeurons = total;
}

// On entry `tag` is the Neurons tag; on return the Neurons block is closed.
// Returns whether every neuron of the layer was defined.
bool NetworkReader::ReadNeurons(TTag& tag, LayerState& st) {
  const std::string where = " in layer " + Num(st.layerNum);
  Open(tag.name);
  std::vector<char> defined(static_cast<std::size_t>(st.numNeurons), 0);
  int definedCount = 0;

  tag = Tag();
  while (tag.type == TTag::ValueTag && Is(tag.name, "NEURON")) {
    const std::int32_t n = Integer(tag.value);
    if (n < 0 || n >= st.numNeurons) {
      Fail("Neuron " + Num(n) + " out of range" + where +
           " (NumberOfNeurons = " + Num(st.numNeurons) + ")");
    }
    if (defined[n]) Fail("repeated neuron");
    TBasicNeuron* neuron = st.layer->GetNeuron(n);
    TActFunction own = nullptr;
    // Parameters keep the values last given, at layer level or for an
    // earlier neuron.
    for (bool more = tag.more; more;) {
      const TTag item = Item();
      if (item.type != TTag::ValueTag) Fail("Equals clause expected in neuron parameter");
      if (Is(item.name, "ACTIVATIONFUNCTION")) {
        own = Function(item.value, st.layerNum);
      } else {
        const int j = FindParameter(neuron, st.numParameters, item.name);
        if (j < 0) Fail("Unknown parameter " + item.name + where);
        st.values[j] = Number(item.value);
      }
      more = item.more;
    }
    neuron->SetParameters(st.values.data());
    // A function given at layer level overrides the neuron's own.
    if (st.layerFn == nullptr) {
      if (own == nullptr) Fail("No activation function defined");
      if (IsGainFunction(own) && neuron->AsGainNeuron() == nullptr) {
        Fail(std::string("Gain function ") + network->fnRegistry->GetFunctionName(own) +
             " for neurons without a gain" + where);
      }
      neuron->SetActFunction(own);
    }
    defined[n] = 1;
    ++definedCount;
    tag = Tag();
  }
  FileTools::ExpectEndTag(tag, in);
  return definedCount == st.numNeurons;
}

TActFunction NetworkReader::Function(const std::string& name, int layerNum) const {
  const TFnRegistryEntry* entry = network->fnRegistry->FindEntry(name.c_str());
  if (entry == nullptr || entry->fn == nullptr) {
    Fail("Unknown activation function " + name + " in layer " + Num(layerNum));
  }
  return entry->fn;
}

// The first parameter of `neuron` below `count` named `name`, or -1.
int NetworkReader::FindParameter(TBasicNeuron* neuron, int count, const std::string& name) {
  const int n = std::min(count, neuron->GetNumParameters());
  for (int j = 0; j < n; ++j) {
    if (strcasecmp(neuron->GetParameterName(j), name.c_str()) == 0) return j;
  }
  return -1;
}

// On entry `tag` is the ConnectionLayer tag; on return it is the end tag.
void NetworkReader::ReadConnections(TTag& tag) {
  Open(tag.name);
  int from = -1;
  int to = -1;
  std::optional<std::string> type;

  tag = Tag();
  while (tag.type == TTag::ValueTag ||
         (tag.type == TTag::KeywordTag && Is(tag.name, "ATTRIBUTES"))) {
    if (tag.type == TTag::KeywordTag) {
      for (bool more = tag.more; more;) more = Item().more;  // descriptive words only
    } else {
      if (tag.more) Fail("Too complicated statement");
      if (Is(tag.name, "LAYERFROM")) {
        from = Integer(tag.value);
      } else if (Is(tag.name, "LAYERTO")) {
        to = Integer(tag.value);
      } else if (Is(tag.name, "CONNECTIONTYPE")) {
        type = tag.value;
      } else {
        Fail("Unknown keyword in connections");
      }
    }
    tag = Tag();
  }

  if (from < 0 || to < 0 || !type) Fail("Insufficient information to construct layer");
  const bool full = Is(*type, "FULLYCONNECTED");
  if (!full && !Is(*type, "PRUNEABLE")) Fail("Insufficient information to construct layer");
  const std::string ofLayers = " out of range (NumberOfLayers = " + Num(numLayers) + ")";
  if (from >= numLayers) Fail("LayerFrom " + Num(from) + ofLayers);
  if (to >= numLayers) Fail("LayerTo " + Num(to) + ofLayers);
  BlockPtr& slot = network->priv_conns_index[to][from];
  if (slot->IsConnected()) Fail("Connections already defined");

  BlockState block;
  block.nFrom = network->layers[from]->numNeurons;
  block.nTo = network->layers[to]->numNeurons;
  const std::string which = "Connection block from layer " + Num(from) + " to layer " + Num(to);
  if (!TBasicConnections::SizeFits(block.nFrom, block.nTo)) {
    Fail(which + " too large (" + Num(block.nFrom) + " x " + Num(block.nTo) + " arcs)");
  }
  const std::int64_t total = totalArcs + std::int64_t{block.nFrom} * block.nTo;
  if (total > limits.maxArcs || total > INT_MAX) {
    Fail(which + ": the network's arcs exceed the reader's limit of " +
         Num(std::min<std::int64_t>(limits.maxArcs, INT_MAX)));
  }
  BlockPtr made(
      full ? static_cast<TBasicConnections*>(new TConnectedConnections(network.get(), from, to))
           : new TPrunedConnections(network.get(), from, to));
  slot = std::move(made);
  totalArcs = total;

  block.conn = slot.get();
  block.pruneable = strcasecmp(block.conn->GetConnectionsNType(), "FullyConnected") != 0;
  // Only the arcs that the weight sections name exist in a pruneable block.
  if (block.pruneable) {
    for (int r = 0; r < block.nFrom; ++r) {
      for (int c = 0; c < block.nTo; ++c) block.conn->Prune(r, c);
    }
  }

  while (tag.type == TTag::KeywordTag && (Is(tag.name, "MATRIX") || Is(tag.name, "WEIGHTLIST"))) {
    if (Is(tag.name, "MATRIX")) {
      ReadMatrix(tag, block);
    } else {
      ReadWeightList(tag, block);
    }
    FileTools::ExpectEndTag(tag, in);
    tag = Tag();
  }
  FileTools::ExpectEndTag(tag, in);
}

// On entry `tag` is the Matrix tag; on return it is the tag after the cells.
void NetworkReader::ReadMatrix(TTag& tag, const BlockState& block) {
  std::vector<Entry> entries;
  for (bool more = tag.more; more;) {
    const TTag item = Item();
    if (item.type != TTag::KeywordTag) Fail("Keyword expected in matrix parameter");
    Entry entry;
    if (Is(item.name, "WEIGHTS")) {
      entry = Entry::Weights;
    } else if (Is(item.name, "TRAINABLEINFO")) {
      entry = Entry::TrainableInfo;
    } else {
      Fail("Unknown matrix attribute");
    }
    if (entries.size() == kMaxMatrixEntries) Fail("More than nine Matrix entries");
    entries.push_back(entry);
    more = item.more;
  }
  Open(tag.name);

  TBasicConnections* conn = block.conn;
  tag = Tag();
  // A section without entries has no cells.
  if (entries.empty()) return;
  for (int r = 0; r < block.nFrom; ++r) {
    for (int c = 0; c < block.nTo; ++c) {
      for (const Entry entry : entries) {
        if (tag.type != TTag::PlainToken) Fail("Token Expected");
        const std::string arc = " (from-neuron " + Num(r) + ", to-neuron " + Num(c) + ")";
        if (entry == Entry::Weights) {
          if (tag.name == "-") {
            if (!block.pruneable) Fail("Weight - in a FullyConnected block" + arc);
            conn->Prune(r, c);
          } else {
            const double weight = Number(tag.name);
            conn->Unprune(r, c);
            *conn->GetWeightPtr(r, c) = weight;
          }
        } else if (Is(tag.name, "T")) {
          conn->SetTrainable(r, c);
        } else if (Is(tag.name, "F")) {
          if (!block.pruneable) Fail("TrainableInfo F in a FullyConnected block" + arc);
          conn->SetUntrainable(r, c);
        } else if (conn->IsValid(r, c)) {
          // Only an absent arc may carry another word ("-").
          Fail("TrainableInfo " + tag.name + " for an existing arc" + arc + ": T or F expected");
        }
        tag = Tag();
      }
    }
  }
}

// On entry `tag` is the WeightList tag; on return it is the tag that ended
// the entries.
void NetworkReader::ReadWeightList(TTag& tag, const BlockState& block) {
  Open(tag.name);
  TBasicConnections* conn = block.conn;
  tag = Tag();
  while (tag.type == TTag::KeywordTag || tag.type == TTag::ValueTag) {
    int from = -1;
    int to = -1;
    double weight = 0.0;
    bool trainable = true;
    for (TTag item = std::move(tag);;) {
      if (item.type == TTag::ValueTag) {
        if (Is(item.name, "FROM")) {
          from = Integer(item.value);
        } else if (Is(item.name, "TO")) {
          to = Integer(item.value);
        } else if (Is(item.name, "WEIGHT")) {
          weight = Number(item.value);
        } else {
          Fail("Unknown keyword in weights list");
        }
      } else if (Is(item.name, "TRAINABLE")) {
        trainable = true;
      } else if (Is(item.name, "UNTRAINABLE")) {
        trainable = false;
      } else {
        // The keyword is shown on standard output before the refusal.
        std::fputs(item.name.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        Fail("Unknown keyword in weights list");
      }
      if (!item.more) break;
      item = Item();
    }
    if (from < 0 || to < 0) Fail("Insufficient information in weights list");
    if (from >= block.nFrom) {
      Fail("WeightList From " + Num(from) + " out of range (layer " + Num(conn->fromLayer) +
           " has " + Num(block.nFrom) + " neurons)");
    }
    if (to >= block.nTo) {
      Fail("WeightList To " + Num(to) + " out of range (layer " + Num(conn->toLayer) + " has " +
           Num(block.nTo) + " neurons)");
    }
    if (!trainable && !block.pruneable) {
      Fail("UnTrainable in a FullyConnected block (from-neuron " + Num(from) + ", to-neuron " +
           Num(to) + ")");
    }
    conn->Unprune(from, to);
    if (trainable) {
      conn->SetTrainable(from, to);
    } else {
      conn->SetUntrainable(from, to);
    }
    *conn->GetWeightPtr(from, to) = weight;
    tag = Tag();
  }
}

}  // namespace

std::unique_ptr<TBasicNetwork> FileTools::ReadNetwork(std::istream& in,
                                                      std::unique_ptr<TKQstructure> reply,
                                                      const ReaderLimits& limits) {
  reply.reset();
  try {
    NetworkReader reader(*this, in, limits);
    return reader.Read();
  } catch (const std::bad_alloc&) {
    throw Error{kOutOfMemory, &in, nullptr};
  }
}

std::unique_ptr<TBasicNetwork> FileTools::LoadNetwork(const char* fileName,
                                                      std::unique_ptr<TKQstructure> reply,
                                                      const ReaderLimits& limits) {
  KOH_ASSERT(fileName != nullptr);
  reply.reset();
  try {
    // A directory opens as a stream that reads as empty; it is no file either.
    std::error_code ec;
    if (std::filesystem::is_directory(fileName, ec))
      throw Error{"Error on File Open", nullptr, nullptr};
    std::ifstream file(fileName);
    if (!file.is_open()) throw Error{"Error on File Open", nullptr, nullptr};
    return ReadNetwork(file, nullptr, limits);
  } catch (Error& e) {
    e.input = nullptr;  // the stream is closed by now
    throw;
  } catch (const std::bad_alloc&) {
    throw Error{kOutOfMemory, nullptr, nullptr};
  }
}

}  // namespace kohport
