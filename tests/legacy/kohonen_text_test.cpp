// The legacy map text: header, heading and table as the parser reads them,
// its refusals, and the writer as the parser's inverse.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "common/Numbers.h"
#include "common/TException.h"
#include "legacy/KohonenText.h"

namespace kohport::legacy {
namespace {

const std::string kGolden2x2 = std::string(KOHPORT_TEST_DATA) + "/legacy/map_2x2.kmap";

// The message of the TException that parsing `text` raises, after checking
// its category and location; "accepted" when the text parses.
std::string RefusalOf(const std::string& text) {
  try {
    ParseKohonenText(text);
  } catch (const TException& e) {
    EXPECT_EQ(e.category.value_or(""), "File Error");
    EXPECT_EQ(e.location.value_or(""), "TOndKohonenFiler::LoadKohonen");
    return e.Message();
  }
  return "accepted";
}

// A file whose header is `header`, followed by a 0 x 0 map of one input.
std::string WithHeader(const std::string& header) {
  return header + "\nINPUTS: 1\nMAPSIZE: 0\n\nX Y     Input Weights\n\n";
}

// A 2 x 2 map of `inputs` inputs whose table is `table`.
std::string WithTable(const std::string& table, int inputs = 2) {
  return "TITLE:  t\nDESCRIPTION  \n\nINPUTS: " + std::to_string(inputs) +
         "\nMAPSIZE: 2\n\nX Y     Input Weights\n" + table;
}

std::string Written(const TOndKohonenImage& image) {
  std::string text;
  WriteKohonenText(
      image,
      [&image](int unit) {
        // The image's rows are in grid order here: unit u is row u.
        return image.weights.data() + static_cast<std::size_t>(unit) * image.numInputs;
      },
      [&text](std::string_view piece) { text.append(piece); });
  return text;
}

// The weights of each unit after applying the rows in file order (last row wins).
std::vector<double> UnitWeights(const TOndKohonenImage& image) {
  const std::size_t n = static_cast<std::size_t>(image.numInputs);
  std::vector<double> units(static_cast<std::size_t>(image.mapSize) * image.mapSize * n, 0.0);
  for (std::size_t r = 0; r < image.places.size(); ++r) {
    const std::size_t u = static_cast<std::size_t>(image.places[r].x) * image.mapSize +
                          static_cast<std::size_t>(image.places[r].y);
    for (std::size_t i = 0; i < n; ++i) units[u * n + i] = image.weights[r * n + i];
  }
  return units;
}

TEST(KohonenTextHeaderTest, TitleAndDescriptionTakeTheRestOfTheirLine) {
  struct Case {
    const char* name;
    std::string header;
    std::optional<std::string> title;
    std::optional<std::string> description;
  };
  const std::string longLine =
      std::string(300, 'a') + " MAPSIZE: 9 INPUTS: 4 " + std::string(100, 'b');
  const Case cases[] = {
      {"two blanks kept", "TITLE:  Map one", "  Map one", std::nullopt},
      {"tag at line end gives empty", "TITLE:\nfree words", "", std::nullopt},
      {"no tags", "just some words", std::nullopt, std::nullopt},
      {"description without colon is free text", "DESCRIPTION  about the map", std::nullopt,
       std::nullopt},
      {"description", "DESCRIPTION: about\tit ", std::nullopt, " about\tit "},
      {"later tag counts", "TITLE: a\nDESCRIPTION: b\nTITLE: c\nDESCRIPTION: d", " c", " d"},
      {"carriage return belongs to the line end", "TITLE: crlf\r\nDESCRIPTION: x\r\r", " crlf",
       " x\r"},
      {"long line kept whole, its words not read as tags", "TITLE: " + longLine, " " + longLine,
       std::nullopt},
      {"tag must stand alone", "TITLE:x DESCRIPTION:\tTITLE:", std::nullopt, "\tTITLE:"},
      {"tags are case sensitive", "title: x Description: y", std::nullopt, std::nullopt},
      {"header word of 255 characters", std::string(255, 'w'), std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TOndKohonenImage image = ParseKohonenText(WithHeader(c.header));
    EXPECT_EQ(image.title, c.title);
    EXPECT_EQ(image.description, c.description);
    EXPECT_EQ(image.numInputs, 1);
    EXPECT_EQ(image.mapSize, 0);
  }
}

TEST(KohonenTextHeaderTest, CountsComeFromTagsAnywhereInTheHeader) {
  // A free-text word that is exactly a tag is that tag; the later value counts.
  const TOndKohonenImage image = ParseKohonenText(
      "DESCRIPTION  uses INPUTS: 7 words\nINPUTS: 010\nMAPSIZE: +1 trailing X a b c 0 0 "
      "1 2 3 4 5 6 7 8 9 10");
  EXPECT_EQ(image.numInputs, 10);  // decimal: a leading 0 is not octal
  EXPECT_EQ(image.mapSize, 1);
  ASSERT_EQ(image.weights.size(), 10u);
  EXPECT_EQ(image.weights[9], 10.0);
}

TEST(KohonenTextTableTest, RowsWithAndWithoutEndMarkInFileOrder) {
  const TOndKohonenImage image = ParseKohonenText(
      WithTable("1 1 0.5 -1 .\n"
                "0 0 +2 3e2\n"      // no end mark: the next X follows at once
                "1 0\n 4\t5 \f.\v"  // a row need not be one line
                "0 1 inf -nan . ."  // a "." after the last row is taken, anything later ignored
                ));
  EXPECT_EQ(image.title, "  t");
  EXPECT_EQ(image.description, std::nullopt);
  ASSERT_EQ(image.places.size(), 4u);
  const int expected[4][2] = {{1, 1}, {0, 0}, {1, 0}, {0, 1}};
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(image.places[r].x, expected[r][0]);
    EXPECT_EQ(image.places[r].y, expected[r][1]);
  }
  ASSERT_EQ(image.weights.size(), 8u);
  EXPECT_EQ(image.weights[0], 0.5);
  EXPECT_EQ(image.weights[1], -1.0);
  EXPECT_EQ(image.weights[2], 2.0);
  EXPECT_EQ(image.weights[3], 300.0);
  EXPECT_EQ(image.weights[4], 4.0);
  EXPECT_EQ(image.weights[5], 5.0);
  EXPECT_EQ(image.weights[6], std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(image.weights[7]) && std::signbit(image.weights[7]));
}

TEST(KohonenTextTableTest, ShuffledAndDuplicatedRowsLastOneWins) {
  const TOndKohonenImage image =
      ParseKohonenText(WithTable("1 1 3 3 .\n0 0 0 0 .\n1 0 2 2 .\n1 1 9 9 .\n", 2));
  // Unit (0, 1) has no row and keeps 0.0; unit (1, 1) has two, the later counts.
  EXPECT_EQ(UnitWeights(image), (std::vector<double>{0, 0, 0, 0, 2, 2, 9, 9}));
}

TEST(KohonenTextTableTest, EmptyMapStillSkipsToTheHeading) {
  const TOndKohonenImage image =
      ParseKohonenText("INPUTS: 3\nMAPSIZE: 0 anything 12 here\nlower x then X Y Input Weights");
  EXPECT_EQ(image.numInputs, 3);
  EXPECT_EQ(image.mapSize, 0);
  EXPECT_TRUE(image.places.empty());
  EXPECT_TRUE(image.weights.empty());
}

TEST(KohonenTextRefusalTest, MalformedFilesAreRefusedWithWhatAndWhere) {
  struct Case {
    std::string text;
    std::string message;
  };
  const std::string heading = "\nX Y     Input Weights\n";
  const Case cases[] = {
      {"", "line 1: end of file before MAPSIZE:"},
      {"TITLE: t\nINPUTS: 2\n", "line 3: end of file before MAPSIZE:"},
      {"TITLE: t\nMAPSIZE: 2\n", "line 2: MAPSIZE: without INPUTS: before it"},
      {"INPUTS: 2\nMAPSIZE:", "line 2: integer expected after MAPSIZE:"},
      {"INPUTS: two\nMAPSIZE: 2", "line 1: integer expected after INPUTS:"},
      {"INPUTS: 0x2\nMAPSIZE: 2", "line 2: end of file before the table heading"},
      {"INPUTS: -1\nMAPSIZE: 2", "line 1: negative INPUTS: value -1"},
      {"INPUTS: 1\nMAPSIZE: -2", "line 2: negative MAPSIZE: value -2"},
      {"INPUTS: 2147483648\nMAPSIZE: 2", "line 1: INPUTS: value out of range"},
      {"INPUTS: 1\nMAPSIZE: 46341" + heading, "line 2: map of 46341 x 46341 units is too large"},
      {"INPUTS: 2\nMAPSIZE: 32768" + heading,
       "line 2: map of 32768 x 32768 units with 2 inputs has too many weights"},
      {"INPUTS: 100\nMAPSIZE: 0" + heading,
       "line 1: INPUTS: 100 is more than a file of 45 bytes can hold"},
      {"free " + std::string(256, 'w') + " INPUTS: 1",
       "line 1: header word longer than 255 characters"},
      {"INPUTS: 1\nMAPSIZE: 0\n\nno capital here", "line 4: end of file before the table heading"},
      {"INPUTS: 1\nMAPSIZE: 0\nX Y Input", "line 3: end of file in the table heading"},
      {WithTable(""), "line 8: end of file after 0 of 4 map rows"},
      {WithTable("0 0 1 2 .\n0 1 1 2 .\n1 0 1 2 .\n"),
       "line 11: end of file after 3 of 4 map rows"},
      {WithTable("0 0 1 2 .\n0 1 1"), "line 9: end of file in map row 2"},
      {WithTable("0 0 1 2 .\n0"), "line 9: end of file in map row 2"},
      {WithTable("0 0 1 2 .\nx 1 1 2"), "line 9: integer X expected in map row 2"},
      {WithTable("0 0 1 2 .\n0 y 1 2"), "line 9: integer Y expected in map row 2"},
      // A stream reads "1.5" as Y 1 and the weight .5; the row then runs into the next.
      {WithTable("0 0 1 2 .\n0 1.5 1 2"), "line 9: X 2 outside 0 to 1 in map row 3"},
      {WithTable("0 0 1 2 .\n2 1 1 2"), "line 9: X 2 outside 0 to 1 in map row 2"},
      {WithTable("0 0 1 2 .\n0 -1 1 2"), "line 9: Y -1 outside 0 to 1 in map row 2"},
      {WithTable("0 99999999999 1 2"), "line 8: Y outside 0 to 1 in map row 1"},
      {WithTable("0 0 1 2 .\n0 1 1 two"), "line 9: number expected for weight 2 in map row 2"},
      {WithTable("0 0 1 1e\n"), "line 8: number expected for weight 2 in map row 1"},
      {WithTable("0 0 1 0x1p3\n"), "line 8: integer X expected in map row 2"},
      {WithTable("0 0 1\n..5\n"), "line 9: number expected for weight 2 in map row 1"},
      {WithTable("0 0 1\n\n1e309\n"), "line 10: number too large for weight 2 in map row 1"},
      {WithTable("0 0 1 2 . .\n"), "line 8: integer X expected in map row 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(RefusalOf(c.text), c.message);
  }
}

TEST(KohonenTextRefusalTest, EveryTruncatedPrefixIsRefusedOrComplete) {
  const std::string text = test::ReadFile(kGolden2x2);
  ASSERT_FALSE(text.empty());
  // The text is complete once the last row's last weight has begun, except
  // while it ends inside an exponent ("2.5e", "2.5e-").
  const std::size_t lastWeight = text.rfind("2.5e-310");
  for (std::size_t len = 0; len < text.size(); ++len) {
    SCOPED_TRACE(len);
    const std::string message = RefusalOf(text.substr(0, len));
    const std::string cut = text.substr(0, len);
    if (len > lastWeight && cut.back() != 'e' && cut.back() != '-') {
      EXPECT_EQ(message, "accepted");
    } else {
      EXPECT_NE(message, "accepted");
    }
  }
}

TEST(KohonenTextWriterTest, TwoByTwoExampleByteForByte) {
  TOndKohonenImage image;
  image.numInputs = 3;
  image.mapSize = 2;
  image.title = "T";
  image.weights = {0.1,
                   0.2,
                   0.3,
                   0.5,
                   -1.25,
                   3.0,
                   1e-05,
                   123456.,
                   1234567.,
                   -0.000123456789,
                   std::numeric_limits<double>::infinity(),
                   2.5e-310};
  EXPECT_EQ(Written(image), test::ReadFile(kGolden2x2));
}

TEST(KohonenTextWriterTest, EmptyMapGivesHeaderHeadingAndEmptyLastLine) {
  TOndKohonenImage image;
  image.numInputs = 4;
  image.description = "kept";
  const std::string text = Written(image);
  EXPECT_EQ(text,
            "TITLE:  \nDESCRIPTION  kept\n\nINPUTS: 4\nMAPSIZE: 0\n\nX Y     Input Weights\n\n");
  const TOndKohonenImage back = ParseKohonenText(text);
  EXPECT_EQ(back.title, "  ");
  EXPECT_EQ(back.description, std::nullopt);
  EXPECT_EQ(back.numInputs, 4);
  EXPECT_EQ(back.mapSize, 0);
}

TEST(KohonenTextWriterTest, ReadWriteReadKeepsSixSignificantDigits) {
  // Weights over the whole range of doubles, with the values that are not
  // finite and signed zeros; a map large enough to reach the sink in pieces.
  std::mt19937_64 random(12345);
  TOndKohonenImage image;
  image.numInputs = 7;
  image.mapSize = 60;
  image.title = "round trip";
  const std::size_t count = 60 * 60 * 7;
  for (std::size_t k = 0; k < count; ++k) {
    double v;
    switch (k % 16) {
      case 0:
        v = std::numeric_limits<double>::infinity();
        break;
      case 1:
        v = -std::numeric_limits<double>::quiet_NaN();
        break;
      case 2:
        v = std::numeric_limits<double>::quiet_NaN();
        break;
      case 3:
        v = -0.0;
        break;
      case 4:
        v = std::numeric_limits<double>::denorm_min() * static_cast<double>(random() % 1000);
        break;
      case 5:
        v = -std::numeric_limits<double>::max();
        break;
      default: {
        const std::uint64_t bits = random();
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v)) v = 1.0 / 3.0;
      }
    }
    image.weights.push_back(v);
  }
  int pieces = 0;
  std::string first;
  WriteKohonenText(
      image, [&image](int u) { return image.weights.data() + static_cast<std::size_t>(u) * 7; },
      [&](std::string_view piece) {
        ++pieces;
        first.append(piece);
      });
  EXPECT_GT(pieces, 1);
  const TOndKohonenImage back = ParseKohonenText(first);
  EXPECT_EQ(back.title, "  round trip");
  EXPECT_EQ(back.numInputs, 7);
  EXPECT_EQ(back.mapSize, 60);
  const std::vector<double> units = UnitWeights(back);
  ASSERT_EQ(units.size(), count);
  for (std::size_t k = 0; k < count; ++k) {
    ASSERT_EQ(GeneralText(units[k], 6), GeneralText(image.weights[k], 6)) << k;
  }
  // Written again, the text is the same apart from the title's two new blanks.
  TOndKohonenImage again = back;
  again.weights = units;
  std::string second = Written(again);
  ASSERT_EQ(second.compare(0, 10, "TITLE:    "), 0);
  second.erase(8, 2);
  EXPECT_EQ(second, first);
}

}  // namespace
}  // namespace kohport::legacy
