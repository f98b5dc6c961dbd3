// Loading legacy map files into Kohonen maps and saving maps back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "NeuralNets/TConnectedConnections.h"
#include "TestUtil.h"
#include "common/Numbers.h"
#include "common/TException.h"
#include "legacy/OndKohonenFiler.h"

namespace kohport {
namespace {

const std::string kData = std::string(KOHPORT_TEST_DATA) + "/legacy/";
const std::string kExamples = std::string(KOHPORT_EXAMPLES) + "/";

// A fixture with verbs: write a file, load it, save a map, read what was saved.
class OndKohonenFilerTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return testing::TempDir() + "filer_" + name; }

  void Load(const std::string& path) { TOndKohonenFiler::LoadKohonen(path.c_str(), map, info); }

  void LoadText(const std::string& text) {
    test::WriteFile(Path("in.kmap"), text);
    Load(Path("in.kmap"));
  }

  // The TException that `action` raises, its category and location checked.
  template <typename F>
  std::string RefusalOf(F action, const char* category, const char* location) {
    try {
      action();
    } catch (const TException& e) {
      EXPECT_EQ(e.category.value_or(""), category);
      EXPECT_EQ(e.location.value_or(""), location);
      return e.Message();
    }
    return "no exception";
  }

  std::string SaveRefusal(const TKohonenNetwork& m, const std::string& path) {
    const TOndKohFileInfo record("x");
    return RefusalOf([&] { TOndKohonenFiler::SaveKohonen(path.c_str(), m, record); },
                     "Bad Network Type", "TOndKohonenFiler::SaveKohonen");
  }

  // Unit u's weight from input i in the loaded map.
  double Weight(int u, int i) const {
    auto* block = static_cast<TConnectedConnections*>(map->priv_conns_index[2][1].get());
    return block->index_weights[u][i];
  }
  std::vector<double> UnitRow(int u) const {
    std::vector<double> row;
    for (int i = 0; i < map->layers[1]->numNeurons; ++i) row.push_back(Weight(u, i));
    return row;
  }

  void ExpectSquareMap(int n, int m) const {
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->GetNumDimensions(), 2);
    int sizes[2] = {-1, -1};
    map->GetDimensions(sizes);
    EXPECT_EQ(sizes[0], m);
    EXPECT_EQ(sizes[1], m);
    EXPECT_EQ(map->layers[1]->numNeurons, n);
    EXPECT_EQ(map->layers[2]->numNeurons, m * m);
    EXPECT_STREQ(map->priv_conns_index[2][1]->GetConnectionsNType(), "FullyConnected");
  }

  std::unique_ptr<TKohonenNetwork> map;
  std::unique_ptr<TOndKohFileInfo> info;
};

TEST_F(OndKohonenFilerTest, ShuffledRowsGoToTheirUnits) {
  LoadText(
      "TITLE:  Map one\nDESCRIPTION: two by two\nINPUTS: 3\nMAPSIZE: 2\n\nX Y     Input Weights\n"
      "1 1 3 3.5 -3 .\n0 0 0 0.5 1e-3\n1 0 2 2.5 -2 .\n0 1 1 1.5 -1 .\n");
  ExpectSquareMap(3, 2);
  EXPECT_EQ(UnitRow(3), (std::vector<double>{3, 3.5, -3}));
  EXPECT_EQ(UnitRow(0), (std::vector<double>{0, 0.5, 1e-3}));
  EXPECT_EQ(UnitRow(2), (std::vector<double>{2, 2.5, -2}));
  EXPECT_EQ(UnitRow(1), (std::vector<double>{1, 1.5, -1}));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->fileName, Path("in.kmap"));
  EXPECT_EQ(info->fileType, "Ondrafel Kohonen File");
  EXPECT_EQ(info->title, "  Map one");
  EXPECT_EQ(info->description, " two by two");
}

TEST_F(OndKohonenFilerTest, DuplicatedUnitKeepsTheLastRowAndAMissingOneKeepsZero) {
  LoadText("INPUTS: 2\nMAPSIZE: 2\nX Y Input Weights\n1 1 3 3\n0 0 7 7\n1 0 2 2\n1 1 9 9\n");
  ExpectSquareMap(2, 2);
  EXPECT_EQ(UnitRow(0), (std::vector<double>{7, 7}));
  EXPECT_EQ(UnitRow(1), (std::vector<double>{0, 0}));
  EXPECT_EQ(UnitRow(2), (std::vector<double>{2, 2}));
  EXPECT_EQ(UnitRow(3), (std::vector<double>{9, 9}));
  EXPECT_EQ(info->title, std::nullopt);
  EXPECT_EQ(info->description, std::nullopt);
}

TEST_F(OndKohonenFilerTest, MapSizeZeroGivesAMapWithoutUnits) {
  LoadText("TITLE:\nINPUTS: 4\nMAPSIZE: 0\n\nX Y     Input Weights\n\n");
  ExpectSquareMap(4, 0);
  EXPECT_EQ(info->title, "");
}

TEST_F(OndKohonenFilerTest, BundledIrisMapsAgreeAtSixSignificantDigits) {
  Load(kExamples + "iris_6x6_full.kmap");
  ExpectSquareMap(4, 6);
  const std::unique_ptr<TKohonenNetwork> full = std::move(map);
  Load(kExamples + "iris_6x6.kmap");
  ExpectSquareMap(4, 6);
  EXPECT_EQ(info->title, "  iris 6x6 trained by kohonen");
  EXPECT_EQ(info->description, std::nullopt);
  auto* fullBlock = static_cast<TConnectedConnections*>(full->priv_conns_index[2][1].get());
  for (int u = 0; u < 36; ++u) {
    for (int i = 0; i < 4; ++i) {
      SCOPED_TRACE(std::to_string(u) + "," + std::to_string(i));
      EXPECT_EQ(GeneralText(Weight(u, i), 6), GeneralText(fullBlock->index_weights[u][i], 6));
      EXPECT_NE(Weight(u, i), 0.0);
    }
  }
  EXPECT_EQ(Weight(0, 0), 2.11255);  // "0 0       2.11255 ..."
  EXPECT_EQ(fullBlock->index_weights[0][0], 2.1125524418456862);
}

TEST_F(OndKohonenFilerTest, UnopenableFileLeavesBothOutParametersUntouched) {
  const int sizes[2] = {1, 1};
  map = std::make_unique<TKohonenNetwork>(1, 2, sizes);
  info = std::make_unique<TOndKohFileInfo>("earlier");
  TKohonenNetwork* const oldMap = map.get();
  TOndKohFileInfo* const oldInfo = info.get();
  for (const std::string& path : {Path("missing/none.kmap"), testing::TempDir()}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(RefusalOf([&] { Load(path); }, "File Error", "TOndKohonenFiler::LoadKohonen"),
              "Unable to open file");
    EXPECT_EQ(map.get(), oldMap);
    EXPECT_EQ(info.get(), oldInfo);
  }
}

TEST_F(OndKohonenFilerTest, MalformedFileLeavesAFreshRecordAndNoMap) {
  const std::string text = "TITLE: t\nINPUTS: 2\nMAPSIZE: 2\nX Y Input Weights\n0 0 1 2 .\n0 1 1";
  EXPECT_EQ(RefusalOf([&] { LoadText(text); }, "File Error", "TOndKohonenFiler::LoadKohonen"),
            "line 6: end of file in map row 2");
  EXPECT_EQ(map, nullptr);
  ASSERT_NE(info, nullptr);  // stored once the file was open; the caller owns it
  EXPECT_EQ(info->fileName, Path("in.kmap"));
  EXPECT_EQ(info->title, std::nullopt);
}

TEST_F(OndKohonenFilerTest, SaveWritesTheTwoByTwoExampleByteForByte) {
  const int sizes[2] = {2, 2};
  TKohonenNetwork m(3, 2, sizes);
  auto* block = static_cast<TConnectedConnections*>(m.priv_conns_index[2][1].get());
  const double rows[4][3] = {{0.1, 0.2, 0.3},
                             {0.5, -1.25, 3},
                             {1e-05, 123456, 1234567},
                             {-0.000123456789, std::numeric_limits<double>::infinity(), 2.5e-310}};
  for (int u = 0; u < 4; ++u) {
    for (int i = 0; i < 3; ++i) block->index_weights[u][i] = rows[u][i];
  }
  TOndKohFileInfo record("x");
  record.title = "T";
  TOndKohonenFiler::SaveKohonen(Path("2x2.kmap").c_str(), m, record);
  EXPECT_EQ(test::ReadFile(Path("2x2.kmap")), test::ReadFile(kData + "map_2x2.kmap"));
}

TEST_F(OndKohonenFilerTest, SaveRefusesMapsThatAreNotTwoDimensionalSquaresAndLeavesTheFileEmpty) {
  const int rect[2] = {3, 4};
  const int line[1] = {9};
  const int cube[3] = {2, 2, 2};
  const TKohonenNetwork maps[] = {TKohonenNetwork(2, 2, rect), TKohonenNetwork(2, 1, line),
                                  TKohonenNetwork(2, 3, cube)};
  for (const TKohonenNetwork& m : maps) {
    SCOPED_TRACE(m.GetNumDimensions());
    const std::string path = Path("refused.kmap");
    test::WriteFile(path, "earlier content");
    EXPECT_EQ(SaveRefusal(m, path), "Only 2D square maps can be saved by this handler");
    EXPECT_EQ(test::ReadFile(path), "");
  }
}

TEST_F(OndKohonenFilerTest, SaveRefusesAGridThatIsNotTheMapsUnits) {
  const int sizes[2] = {2, 2};
  TKohonenNetwork m(2, 2, sizes);
  const int wider[2] = {3, 3};
  m.SetDimensions(2, wider);  // layer 2 keeps its 4 units
  EXPECT_EQ(SaveRefusal(m, Path("refused.kmap")),
            "Only 2D square maps can be saved by this handler");
}

TEST_F(OndKohonenFilerTest, SaveRefusesALineEndInTitleOrDescription) {
  const int sizes[2] = {1, 1};
  const TKohonenNetwork m(1, 2, sizes);
  for (int which = 0; which < 2; ++which) {
    TOndKohFileInfo record("x");
    (which == 0 ? record.title : record.description) = "one\nMAPSIZE: 5";
    const std::string path = Path("lineend.kmap");
    EXPECT_EQ(RefusalOf([&] { TOndKohonenFiler::SaveKohonen(path.c_str(), m, record); },
                        "Bad Parameter", "TOndKohonenFiler::SaveKohonen"),
              "Title or description holds a line end");
    EXPECT_EQ(test::ReadFile(path), "");
  }
}

TEST_F(OndKohonenFilerTest, SaveReportsFilesItCannotOpenOrWrite) {
  const int sizes[2] = {3, 3};
  const TKohonenNetwork m(2, 2, sizes);
  const TOndKohFileInfo record("x");
  EXPECT_EQ(RefusalOf([&] { TOndKohonenFiler::SaveKohonen(testing::TempDir().c_str(), m, record); },
                      "File Error", "TOndKohonenFiler::SaveKohonen"),
            "Unable to open file");
  EXPECT_EQ(RefusalOf([&] { TOndKohonenFiler::SaveKohonen("/dev/full", m, record); }, "File Error",
                      "TOndKohonenFiler::SaveKohonen"),
            "Unable to write file");
}

TEST_F(OndKohonenFilerTest, EmptyMapIsSavedAndReadBack) {
  const int sizes[2] = {0, 0};
  const TKohonenNetwork m(5, 2, sizes);
  const TOndKohFileInfo record("x");
  TOndKohonenFiler::SaveKohonen(Path("empty.kmap").c_str(), m, record);
  EXPECT_EQ(test::ReadFile(Path("empty.kmap")),
            "TITLE:  \nDESCRIPTION  \n\nINPUTS: 5\nMAPSIZE: 0\n\nX Y     Input Weights\n\n");
  Load(Path("empty.kmap"));
  ExpectSquareMap(5, 0);
  EXPECT_EQ(info->title, "  ");
}

TEST_F(OndKohonenFilerTest, ReadWriteReadKeepsGridAndSixSignificantDigits) {
  for (const std::string& source : {kExamples + "iris_6x6_full.kmap", kData + "map_2x2.kmap"}) {
    SCOPED_TRACE(source);
    Load(source);
    const std::unique_ptr<TKohonenNetwork> first = std::move(map);
    const int n = first->layers[1]->numNeurons;
    const int units = first->layers[2]->numNeurons;
    const std::string title = *info->title;
    TOndKohonenFiler::SaveKohonen(Path("pass1.kmap").c_str(), *first, *info);
    Load(Path("pass1.kmap"));
    EXPECT_EQ(info->title, "  " + title);  // each pass adds the two blanks after "TITLE:"
    EXPECT_EQ(map->layers[1]->numNeurons, n);
    EXPECT_EQ(map->layers[2]->numNeurons, units);
    auto* before = static_cast<TConnectedConnections*>(first->priv_conns_index[2][1].get());
    for (int u = 0; u < units; ++u) {
      for (int i = 0; i < n; ++i) {
        ASSERT_EQ(GeneralText(Weight(u, i), 6), GeneralText(before->index_weights[u][i], 6));
      }
    }
    // A second pass writes the same rows.
    TOndKohonenFiler::SaveKohonen(Path("pass2.kmap").c_str(), *map, *info);
    std::string pass1 = test::ReadFile(Path("pass1.kmap"));
    std::string pass2 = test::ReadFile(Path("pass2.kmap"));
    pass2.erase(8, 2);
    EXPECT_EQ(pass2, pass1);
  }
}

}  // namespace
}  // namespace kohport

namespace kohport {
namespace {

TEST(OndKohonenFilerDeathTest, BuildingFromRowsOutsideTheGridIsAMisuse) {
  legacy::TOndKohonenImage image;
  image.numInputs = 1;
  image.mapSize = 2;
  image.places = {{0, 0}, {0, 1}, {1, 0}, {2, 0}};
  image.weights = {1, 2, 3, 4};
  EXPECT_EXIT(TOndKohonenFiler::BuildKohonen(image), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("image rows inside the grid"));
}

}  // namespace
}  // namespace kohport
