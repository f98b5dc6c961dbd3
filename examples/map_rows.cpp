// map_rows: puts rows of data on a trained Kohonen map and prints where each
// row lands, using the library as any program would.
//
//   map_rows NetworkFile DataFile [LabelFile]
//
// NetworkFile is a network description file holding a Kohonen map (kohport
// makes one from a legacy map file). DataFile holds one row per line: as many
// numbers as the map has inputs, separated by blanks or tabs. LabelFile, when
// given, holds one label word per line, the label of the data row of the
// same rank. Lines holding only white space are skipped in both files.
//
// Output, on standard output:
//   "# map: <s0> x <s1> ... units, inputs: <n>, rows: <rows>"
//   "row unit coordinates"                  then one line per row:
//   "<row> <unit> <c0> <c1> ..."            row numbered from 1
// With labels, every row line adds the row's own label and the labels the
// labelled map holds at the row's unit ("name=count" words, "-" for none),
// and a second table lists the labelled map, one line per unit:
//   "unit coordinates labels"
//   "<unit> <c0> <c1> ... <name=count> ..."
//
// Exit status 0 on success; 1 with the usage line, or with one line
// "map_rows: <message>" on standard error when a file or the map is refused.
#include <charconv>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "DataObject/Data.h"
#include "FileHandler/ParseTools.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "common/Numbers.h"
#include "common/TException.h"

namespace {

using kohport::Data;
using kohport::TKohonenNetwork;
using kohport::TLabelList;

// A failure of this program's own work: reading the data and label files,
// writing the output.
struct InputError {
  std::string message;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The blank-separated words of one line.
std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// A line that holds more than white space: its number and its words.
struct Line {
  int number;
  std::vector<std::string_view> words;
};

struct Closer {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

// The lines of a text file that hold more than white space. The words point
// into the file's text, which the object keeps, so it is not copied.
class TextFile {
 public:
  explicit TextFile(const char* path) : path(path) {
    const std::unique_ptr<std::FILE, Closer> file(std::fopen(path, "rb"));
    if (!file) throw InputError{this->path + ": cannot open file"};
    char chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) text.append(chunk, got);
    if (std::ferror(file.get())) throw InputError{this->path + ": cannot read file"};
    std::string_view rest = text;
    int number = 0;
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      const std::string_view line = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      ++number;
      std::vector<std::string_view> words = Words(line);
      if (!words.empty()) lines.push_back(Line{number, std::move(words)});
    }
  }

  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Refuses the file's content at `line`.
  [[noreturn]] void Refuse(const Line& line, const std::string& what) const {
    throw InputError{path + " line " + kohport::IntegerText(line.number) + ": " + what};
  }

  std::string path;
  std::vector<Line> lines;

 private:
  std::string text;  // the words point into it
};

// Loads the network description file and checks that it holds a Kohonen map.
std::unique_ptr<TKohonenNetwork> LoadMap(const char* path) {
  kohport::FileTools tools;
  std::unique_ptr<kohport::TBasicNetwork> network = tools.LoadNetwork(path);
  auto* map = dynamic_cast<TKohonenNetwork*>(network.get());
  if (map == nullptr) {
    throw InputError{std::string(path) + ": a " + network->GetNetworkType() +
                     " network, not a Kohonen map"};
  }
  network.release();
  return std::unique_ptr<TKohonenNetwork>(map);
}

// A data set of the rows of `data` (n numbers each), labelled with the words
// of `labels` when given: each row carries one label of value 1, so the
// labelled map counts the rows of each label that every unit won.
std::unique_ptr<Data> ReadRows(const TextFile& data, const TextFile* labels, int n) {
  const int rows = static_cast<int>(data.lines.size());
  if (rows == 0) throw InputError{data.path + ": no data rows"};
  if (labels != nullptr && labels->lines.size() != data.lines.size()) {
    throw InputError{labels->path + ": " +
                     kohport::IntegerText(static_cast<long>(labels->lines.size())) +
                     " labels for " + kohport::IntegerText(rows) + " data rows"};
  }
  auto set = std::make_unique<Data>(rows, n, 0, labels != nullptr);
  std::vector<double> inputs(static_cast<std::size_t>(n));
  for (int r = 0; r < rows; ++r) {
    const Line& line = data.lines[static_cast<std::size_t>(r)];
    if (line.words.size() != inputs.size()) {
      data.Refuse(line, kohport::IntegerText(static_cast<long>(line.words.size())) +
                            " numbers, the map has " + kohport::IntegerText(n) + " inputs");
    }
    for (int i = 0; i < n; ++i) {
      const std::string_view word = line.words[static_cast<std::size_t>(i)];
      const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), inputs[i]);
      if (ec != std::errc() || end != word.data() + word.size()) {
        data.Refuse(line, "number expected, not \"" + std::string(word) + "\"");
      }
    }
    if (labels == nullptr) {
      set->AppendRow(inputs.data(), nullptr, nullptr);
      continue;
    }
    const Line& label = labels->lines[static_cast<std::size_t>(r)];
    if (label.words.size() != 1) labels->Refuse(label, "one label word expected");
    const TLabelList list(std::string(label.words[0]).c_str(), 1.0);
    set->AppendRow(inputs.data(), nullptr, &list);
  }
  return set;
}

// " name=count" for every label of the list, or " -" when it is empty.
std::string LabelText(const TLabelList* list) {
  if (list == nullptr || list->GetCount() == 0) return " -";
  std::string text;
  for (const kohport::TLabel& label : list->GetLabels()) {
    text += ' ' + label.name + '=' + kohport::GeneralText(label.value, 15);
  }
  return text;
}

// " c0 c1 ..." from the first `d` values of a row.
std::string CoordinateText(const double* values, int d) {
  std::string text;
  for (int k = 0; k < d; ++k) text += ' ' + kohport::IntegerText(static_cast<long>(values[k]));
  return text;
}

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

int Run(int argc, char** argv) {
  std::unique_ptr<TKohonenNetwork> map = LoadMap(argv[1]);
  const int n = map->layers[1]->numNeurons;  // layer 1 holds the map's inputs
  const int d = map->GetNumDimensions();
  if (d == 0) throw InputError{std::string(argv[1]) + ": the map has no grid dimensions"};

  const TextFile data(argv[2]);
  std::unique_ptr<TextFile> labels;
  if (argc == 4) labels = std::make_unique<TextFile>(argv[3]);
  std::unique_ptr<Data> rows = ReadRows(data, labels.get(), n);

  // Each row's inputs, and as outputs the grid coordinates of its unit.
  std::unique_ptr<Data> mapped = map->MapData(rows.get(), nullptr);
  // With labels: one row per unit, holding the labels of the rows it won,
  // and for every mapped row the labels found at its coordinates.
  std::unique_ptr<Data> labelled;
  std::unique_ptr<Data> found;
  if (labels) {
    labelled = map->LabelMap(rows.get(), nullptr);
    found = kohport::LookupLabels(mapped.get(), labelled.get(), d, map->dimensions.data());
  }

  std::string sizes;
  for (int k = 0; k < d; ++k) sizes += (k ? " x " : "") + kohport::IntegerText(map->dimensions[k]);
  Print("# map: " + sizes + " units, inputs: " + kohport::IntegerText(n) +
        ", rows: " + kohport::IntegerText(mapped->GetNumRows()));
  Print(labels ? "row unit coordinates label unit-labels" : "row unit coordinates");
  std::vector<double> coordinates(static_cast<std::size_t>(d));
  std::vector<int> grid(static_cast<std::size_t>(d));
  for (int r = 0; r < mapped->GetNumRows(); ++r) {
    mapped->GetOutputRow(r, coordinates.data());
    for (int k = 0; k < d; ++k) grid[k] = static_cast<int>(coordinates[k]);
    std::string line = kohport::IntegerText(r + 1) + ' ' +
                       kohport::IntegerText(map->CoordinatesToIndex(grid.data())) +
                       CoordinateText(coordinates.data(), d);
    if (labels) {
      line += ' ' + rows->GetLabels(r)->GetLabel(0).name + LabelText(found->GetLabels(r));
    }
    Print(line);
  }
  if (labelled) {
    Print("");
    Print("unit coordinates labels");
    for (int u = 0; u < labelled->GetNumRows(); ++u) {
      labelled->GetInputRow(u, coordinates.data());
      Print(kohport::IntegerText(u) + CoordinateText(coordinates.data(), d) +
            LabelText(labelled->GetLabels(u)));
    }
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) throw InputError{"cannot write the output"};
  return 0;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "map_rows: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fputs("Usage: map_rows NetworkFile DataFile [LabelFile]\n", stderr);
    return 1;
  }
  // Each subsystem refuses bad input with its own exception type.
  try {
    return Run(argc, argv);
  } catch (const InputError& e) {
    return Fail(e.message);
  } catch (const kohport::FileTools::Error& e) {  // the network file
    return Fail(std::string(argv[1]) + ": " + e.message);
  } catch (const kohport::TException& e) {  // data sets, recall and labelling
    return Fail(e.Message());
  } catch (const std::bad_alloc&) {
    return Fail("out of memory");
  }
}
