// The two visitors of the network writer (FileTools::WriteNetwork), made on
// the stack for one connection block and dropped after it. Both borrow
// everything they point to.
#ifndef KOHPORT_FILEHANDLER_NETWORKWRITER_H
#define KOHPORT_FILEHANDLER_NETWORKWRITER_H

#include <ostream>

#include "FileHandler/ParseTools.h"
#include "NeuralNets/TBasicNetwork.h"

namespace kohport {

// Counts the arcs a block's Iterate visits.
class TIterateObjCount : public TIterateObj {
 public:
  void Process() override { ++count; }

  int count = 0;
};

// Writes one weight-list entry per visited arc:
// "[From=f To=t Weight=w " with w at `precision` digits after the point, then
// "Trainable " or "UnTrainable " when `saveTrainable`, then "]" and a line end.
class TIterateObjSaveWeights : public TIterateObj {
 public:
  TIterateObjSaveWeights(std::ostream& out, FileTools& tools, bool saveTrainable, int precision)
      : out(out), tools(&tools), saveTrainable(saveTrainable), precision(precision) {}

  void Process() override;

  std::ostream& out;
  FileTools* tools;
  bool saveTrainable;
  int precision;
};

}  // namespace kohport

#endif
