// worked_example: the worked example of docs/library-guide.md. Builds a small
// Kohonen map in code, writes it as a network description file, reads it
// back, and maps, labels and measures a few rows of data with it.
#include <cstdio>
#include <memory>
#include <string>

#include "DataObject/Data.h"
#include "FileHandler/ParseTools.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "common/Numbers.h"
#include "common/TException.h"

int main() {
  using namespace kohport;
  try {
    // 1. A map of 2 inputs on a 2 x 3 grid, unit (x, y) numbered x * 3 + y.
    //    Unit u gets the weights (x, y) of its own coordinates. A fully
    //    connected block's weight vector goes input by input: input 0's
    //    weight for every unit, then input 1's.
    const int sizes[2] = {2, 3};
    TKohonenNetwork map(2, 2, sizes);
    double weights[12];
    for (int u = 0; u < 6; ++u) {
      int xy[2];
      map.IndexToCoordinates(xy, u);
      weights[u] = xy[0];
      weights[6 + u] = xy[1];
    }
    map.SetWeights(weights, FMaskExists);

    // 2. Write it as a network description file and read it back. The
    //    reader returns the network the file describes; the caller owns it.
    FileTools tools;
    tools.SaveNetwork("small_map.net", &map);
    std::unique_ptr<TBasicNetwork> loaded = tools.LoadNetwork("small_map.net");
    auto* copy = dynamic_cast<TKohonenNetwork*>(loaded.get());
    if (copy == nullptr) return 1;

    // 3. A data set of four rows of 2 inputs, no outputs, one label each.
    Data rows(4, 2, 0, true);
    const double points[4][2] = {{0.1, 0.2}, {0.9, 2.1}, {1.2, 1.8}, {0.2, -0.3}};
    const char* names[4] = {"a", "b", "b", "a"};
    for (int r = 0; r < 4; ++r) {
      const TLabelList label(names[r], 1.0);
      rows.AppendRow(points[r], nullptr, &label);
    }

    // 4. Each row's grid coordinates, the labels every unit collected, and
    //    the labels found at each row's coordinates. Results are new data
    //    sets that the caller owns.
    std::unique_ptr<Data> mapped = copy->MapData(&rows, nullptr);
    std::unique_ptr<Data> labelled = copy->LabelMap(&rows, nullptr);
    std::unique_ptr<Data> found = LookupLabels(mapped.get(), labelled.get(), 2, sizes);
    for (int r = 0; r < 4; ++r) {
      const int xy[2] = {static_cast<int>(mapped->GetOutputDatum(r, 0)),
                         static_cast<int>(mapped->GetOutputDatum(r, 1))};
      std::string line = "row " + IntegerText(r) + ": unit " +
                         IntegerText(copy->CoordinatesToIndex(xy)) + " at (" + IntegerText(xy[0]) +
                         ", " + IntegerText(xy[1]) + "), labels there:";
      for (const TLabel& label : found->GetLabels(r)->GetLabels()) {
        line += " " + label.name + "=" + GeneralText(label.value, 6);
      }
      std::puts(line.c_str());
    }

    // 5. The mean squared distance from each row to its unit's weights.
    TMeanSquaredQuantizationError error(2);
    std::printf("quantization error %s\n", GeneralText(copy->TestData(&rows, &error), 6).c_str());
    std::remove("small_map.net");
  } catch (const FileTools::Error& e) {  // writing or reading the file
    std::fprintf(stderr, "%s\n", e.message.c_str());
    return 1;
  } catch (const TException& e) {  // data sets, recall and labelling
    std::fprintf(stderr, "%s\n", e.Message());
    return 1;
  }
  return 0;
}
