// Internal helpers of the blocks that keep a weight matrix with one row per
// to-neuron (TConnectedConnections, TPrunedConnections): building the row
// table, and reshaping the matrix when a neuron is inserted or removed.
//
// Reshaping rule for a block whose from and to layer are the same layer: that
// block receives a from-side and a to-side call after one change of the
// layer's count. Whichever call comes first inserts (or removes) both the row
// and the column of the neuron in one step; the second call finds the storage
// already at the layer's count and does nothing.
#ifndef KOHPORT_NEURALNETS_BLOCKSTORAGE_H
#define KOHPORT_NEURALNETS_BLOCKSTORAGE_H

#include <cstddef>
#include <vector>

#include "NeuralNets/TBasicNetwork.h"
#include "common/Assert.h"

namespace kohport::detail {

// Row r of `index` points at array[r * cols]. Allocates before it changes
// anything, so a failed allocation leaves both vectors as they were.
template <class T>
void SetRows(std::vector<T>& array, std::vector<T*>& index, int rows, int cols) {
  std::vector<T*> fresh(static_cast<std::size_t>(rows));
  for (int r = 0; r < rows; ++r) fresh[r] = array.data() + static_cast<std::size_t>(r) * cols;
  index.swap(fresh);
}

// The block of another network between the same layers as `self`, visited in
// step with it: it must be of the same kind and of the same shape.
template <class Block>
Block* Twin(TBasicConnections* block, const Block& self) {
  auto* twin = dynamic_cast<Block*>(block);
  KOH_ASSERT(twin != nullptr, "conn1 -> GetConnectionsNType() == conn2 -> GetConnectionsNType()");
  KOH_ASSERT(
      twin->GetStoredFrom() == self.GetStoredFrom() && twin->GetStoredTo() == self.GetStoredTo(),
      "blocks visited in step have the same shape");
  return twin;
}

// One dimension's change: none, or a neuron inserted / removed at pos.
struct Edit {
  int pos = 0;
  int delta = 0;  // +1 inserted, -1 removed, 0 unchanged
};

// The old position that new position i comes from, or -1 for the new one.
inline int OldPosition(int i, Edit e) {
  if (e.delta > 0) return i < e.pos ? i : (i == e.pos ? -1 : i - 1);
  if (e.delta < 0) return i < e.pos ? i : i + 1;
  return i;
}

// Rebuilds the matrix at newRows x newCols: every cell that maps to an old
// cell keeps its value, the cells of an inserted row or column get `fill`.
template <class T>
void Reshape(std::vector<T>& array, std::vector<T*>& index, int oldCols, int newRows, int newCols,
             Edit rows, Edit cols, T fill) {
  std::vector<T> fresh(static_cast<std::size_t>(newRows) * static_cast<std::size_t>(newCols), fill);
  std::vector<T*> freshIndex(static_cast<std::size_t>(newRows));
  for (int r = 0; r < newRows; ++r) {
    T* row = fresh.data() + static_cast<std::size_t>(r) * newCols;
    freshIndex[r] = row;
    const int oldRow = OldPosition(r, rows);
    if (oldRow < 0) continue;
    const T* old = array.data() + static_cast<std::size_t>(oldRow) * oldCols;
    for (int c = 0; c < newCols; ++c) {
      const int oldCol = OldPosition(c, cols);
      if (oldCol >= 0) row[c] = old[oldCol];
    }
  }
  array.swap(fresh);
  index.swap(freshIndex);
}

// What a block with storage numFrom x numTo must do for one insert (delta +1)
// or remove (delta -1) call after its layers changed.
enum class Plan { kNothing, kColumns, kRows, kBoth };

// fromSide: the call is InsertFromNeuron / RemoveFromNeuron.
inline Plan PlanReshape(const TBasicConnections& block, int numFrom, int numTo, bool fromSide,
                        int pos, int delta) {
  const int count = fromSide ? block.FromCount() : block.ToCount();
  const int stored = fromSide ? numFrom : numTo;
  if (block.fromLayer == block.toLayer) {
    KOH_ASSERT(numFrom == numTo, "self-connected block is square");
    if (stored == count) return Plan::kNothing;  // the other side's call did both
  }
  KOH_ASSERT(stored + delta == count, "layer count changed by one before the block follows");
  KOH_ASSERT(pos >= 0 && pos < (delta > 0 ? count : stored), "neuron position inside the layer");
  if (block.fromLayer == block.toLayer) return Plan::kBoth;
  return fromSide ? Plan::kColumns : Plan::kRows;
}

}  // namespace kohport::detail

#endif
