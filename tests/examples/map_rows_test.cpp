// Runs the example program map_rows as a user would: on the bundled iris map
// (converted by kohport first), on a small map of three dimensions, and on
// files it must refuse.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "FileHandler/ParseTools.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "TestUtil.h"

namespace kohport {
namespace {

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

const std::string kExamples = KOHPORT_EXAMPLES;
const std::string kGolden = std::string(KOHPORT_TEST_DATA) + "/examples/map_rows_iris.txt";

// The lines of `text`, without their line ends.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A scratch directory per test, holding the iris map converted by kohport.
class MapRowsTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "map_rowsXXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    iris = Path("iris_6x6.net");
    const std::string convert =
        Quote(KOHPORT_EXE) + " " + Quote(kExamples + "/iris_6x6.kmap") + " " + Quote(iris);
    ASSERT_EQ(std::system(convert.c_str()), 0);
  }
  void TearDown() override { std::system(("rm -rf " + Quote(dir)).c_str()); }

  std::string Path(const std::string& name) const { return dir + "/" + name; }

  // Writes `bytes` to a file of the scratch directory and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    test::WriteFile(Path(name), bytes);
    return Path(name);
  }

  RunResult Run(const std::vector<std::string>& args) const {
    std::string cmd = Quote(MAP_ROWS_EXE);
    for (const std::string& a : args) cmd += " " + Quote(a);
    cmd += " >" + Quote(Path("stdout")) + " 2>" + Quote(Path("stderr"));
    const int raw = std::system(cmd.c_str());
    return RunResult{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::ReadFile(Path("stdout")),
                     test::ReadFile(Path("stderr"))};
  }

  std::string dir;
  std::string iris;
};

TEST_F(MapRowsTest, IrisRowsAndLabelledMapMatchTheGolden) {
  const RunResult r = Run({iris, kExamples + "/iris_data.txt", kExamples + "/iris_labels.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, test::ReadFile(kGolden));
}

// Without labels the program prints the same rows, units and coordinates,
// without the label columns and without the labelled map.
TEST_F(MapRowsTest, IrisWithoutLabelsPrintsTheSameUnits) {
  const RunResult r = Run({iris, kExamples + "/iris_data.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  std::string expected;
  const std::vector<std::string> golden = Lines(test::ReadFile(kGolden));
  ASSERT_GE(golden.size(), 152u);
  expected += golden[0] + "\nrow unit coordinates\n";
  for (std::size_t i = 2; i < 152; ++i) {
    const std::string& line = golden[i];
    std::size_t end = 0;
    for (int word = 0; word < 4; ++word) end = line.find(' ', end + 1);  // row unit x y
    expected += line.substr(0, end) + "\n";
  }
  EXPECT_EQ(r.out, expected);
}

// Blank lines, tabs and CRLF line ends are layout, not data.
TEST_F(MapRowsTest, BlankLinesTabsAndCarriageReturnsAreSkipped) {
  const std::vector<std::string> data = Lines(test::ReadFile(kExamples + "/iris_data.txt"));
  const std::string messy =
      "\n" + data[0] + "\r\n\t\r\n" + data[1] + "\t\r\n" + "   \n" + data[2] + "\n\n";
  const RunResult r = Run({iris, Write("messy.txt", messy)});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> golden = Lines(test::ReadFile(kGolden));
  const std::vector<std::string> out = Lines(r.out);
  ASSERT_EQ(out.size(), 5u) << r.out;
  EXPECT_EQ(out[0], "# map: 6 x 6 units, inputs: 4, rows: 3");
  for (std::size_t i = 2; i < 5; ++i) EXPECT_EQ(golden[i].rfind(out[i] + " ", 0), 0u) << out[i];
}

// A map of sizes 3 x 1 x 2 and one input whose unit u has weight u: the
// coordinates are printed in all three dimensions, and the labels are looked
// up with the map's own sizes (a middle dimension of size 1 could not be
// measured from the labelled map alone).
TEST_F(MapRowsTest, MapOfThreeDimensions) {
  const int sizes[3] = {3, 1, 2};
  TKohonenNetwork map(1, 3, sizes);
  const double weights[6] = {0, 1, 2, 3, 4, 5};
  ASSERT_EQ(map.SetWeights(weights, FMaskExists), 6);
  FileTools().SaveNetwork(Path("cube.net").c_str(), &map);

  const RunResult r =
      Run({Path("cube.net"), Write("rows.txt", "0\n5\n3.2\n"), Write("labels.txt", "a\nb\na\n")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "# map: 3 x 1 x 2 units, inputs: 1, rows: 3\n"
            "row unit coordinates label unit-labels\n"
            "1 0 0 0 0 a a=1\n"
            "2 5 2 0 1 b b=1\n"
            "3 3 1 0 1 a a=1\n"
            "\n"
            "unit coordinates labels\n"
            "0 0 0 0 a=1\n"
            "1 0 0 1 -\n"
            "2 1 0 0 -\n"
            "3 1 0 1 a=1\n"
            "4 2 0 0 -\n"
            "5 2 0 1 b=1\n");
}

// Every refusal is one line on standard error, exit status 1, and nothing on
// standard output.
TEST_F(MapRowsTest, RefusalsSayWhatAndWhere) {
  const std::string data = kExamples + "/iris_data.txt";
  const std::string basic = Write("basic.net",
                                  "[NeuralNetwork][NetworkType = Basic]\n"
                                  "[NetworkInformation][NumberOfLayers = 1][InputLayer = 0]"
                                  "[~NetworkInformation]\n"
                                  "[Layer = 0][LayerType = Input][NumberOfNeurons = 4]"
                                  "[All ActivationFunction=linear][~Layer]\n"
                                  "[~NeuralNetwork]\n");
  const std::string oneRow = Write("one.txt", "1 2 3 4\n");
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{}, "Usage: map_rows NetworkFile DataFile [LabelFile]\n"},
      {{iris}, "Usage: map_rows NetworkFile DataFile [LabelFile]\n"},
      {{iris, data, data, data}, "Usage: map_rows NetworkFile DataFile [LabelFile]\n"},
      {{Path("absent.net"), data}, "map_rows: " + Path("absent.net") + ": Error on File Open\n"},
      {{kExamples + "/iris_6x6.kmap", data},
       "map_rows: " + kExamples + "/iris_6x6.kmap: [NEURALNETWORK] expected\n"},
      {{basic, data}, "map_rows: " + basic + ": a Basic network, not a Kohonen map\n"},
      {{iris, Path("absent.txt")}, "map_rows: " + Path("absent.txt") + ": cannot open file\n"},
      {{iris, dir}, "map_rows: " + dir + ": cannot read file\n"},
      {{iris, Write("empty.txt", " \n\n")}, "map_rows: " + Path("empty.txt") + ": no data rows\n"},
      {{iris, Write("short.txt", "1 2 3 4\n\n1 2 3\n")},
       "map_rows: " + Path("short.txt") + " line 3: 3 numbers, the map has 4 inputs\n"},
      {{iris, Write("word.txt", "1 2 3 4\n1 2 x 4\n")},
       "map_rows: " + Path("word.txt") + " line 2: number expected, not \"x\"\n"},
      {{iris, Write("comma.txt", "1 2,5 3 4\n")},
       "map_rows: " + Path("comma.txt") + " line 1: number expected, not \"2,5\"\n"},
      {{iris, data, Write("few.txt", "setosa\n")},
       "map_rows: " + Path("few.txt") + ": 1 labels for 150 data rows\n"},
      {{iris, oneRow, Write("two.txt", "\niris setosa\n")},
       "map_rows: " + Path("two.txt") + " line 2: one label word expected\n"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += " " + a;
    SCOPED_TRACE("map_rows" + shown);
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace kohport
