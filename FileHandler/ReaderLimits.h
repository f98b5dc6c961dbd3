// ReaderLimits: the sizes a network description file may declare before the
// network reader (FileTools::LoadNetwork / ReadNetwork) refuses it.
//
// A file of a few lines can declare a network of any size, and a huge
// zero-filled allocation is not refused by the system but killed later, so
// the reader compares every declared count with these limits before it
// allocates anything for it. Whatever the limits say, every count must also
// fit the library's signed 32-bit counts (layers x layers blocks, the
// neurons of the network, |from| x |to| arcs of a block, the arcs of the
// network). Tools and fuzzers pass lower limits.
#ifndef KOHPORT_FILEHANDLER_READERLIMITS_H
#define KOHPORT_FILEHANDLER_READERLIMITS_H

#include <cstdint>

namespace kohport {

struct ReaderLimits {
  // NumberOfLayers; the network holds layers x layers connection blocks.
  std::int64_t maxLayers = 1024;
  // NumberOfNeurons of one layer.
  std::int64_t maxLayerNeurons = std::int64_t{1} << 24;
  // Neurons of all layers together.
  std::int64_t maxNeurons = std::int64_t{1} << 26;
  // Arcs of all connection blocks together, |from| x |to| for each block
  // (a pruneable block stores its absent arcs too).
  std::int64_t maxArcs = std::int64_t{1} << 28;
  // The number of map dimensions of a Kohonen network.
  std::int64_t maxDimensions = 1024;
};

}  // namespace kohport

#endif
