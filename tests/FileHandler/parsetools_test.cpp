// Token reader, tag reader, value parsing and writing primitives of the
// network description format.
#include "FileHandler/ParseTools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace kohport {
namespace {

using Blockdef = std::optional<std::string>;

// "K:name", "V:name=value", "P:word" or "E", with "+" when more items follow.
std::string Describe(const TTag& tag) {
  std::string s;
  switch (tag.type) {
    case TTag::EndTag:
      s = "E";
      break;
    case TTag::PlainToken:
      s = "P:" + tag.name;
      break;
    case TTag::KeywordTag:
      s = "K:" + tag.name;
      break;
    case TTag::ValueTag:
      s = "V:" + tag.name + "=" + tag.value;
      break;
    default:
      s = "?";
  }
  return tag.more ? s + "+" : s;
}

// Tokens of `text` up to the end of the input, joined by "|"; a failure
// appends "!" and its message.
std::string Tokens(const std::string& text) {
  std::istringstream in(text);
  FileTools tools;
  std::string out;
  try {
    for (std::string t = tools.ReadToken(in); !t.empty(); t = tools.ReadToken(in)) {
      out += (out.empty() ? "" : "|") + t;
    }
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.input, &in);
    EXPECT_EQ(e.output, nullptr);
    out += "!" + e.message;
  }
  return out;
}

// Tags of `text` read with a fixed `blockdef` (the next item read inside
// while `more` is set), up to and including the first EndTag; joined by "|".
std::string Tags(const std::string& text, const Blockdef& blockdef = std::nullopt) {
  std::istringstream in(text);
  FileTools tools;
  std::string out;
  bool inside = false;
  try {
    for (;;) {
      const TTag tag = tools.ReadTag(
          blockdef ? std::optional<std::string_view>(*blockdef) : std::nullopt, in, inside);
      out += (out.empty() ? "" : "|") + Describe(tag);
      if (tag.type == TTag::EndTag) break;
      inside = tag.more;
    }
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.input, &in);
    out += "!" + e.message;
  }
  return out;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Reads a whole file as the network reader walks it: a keyword tag opens a
// block (except the one-line statements All and Attributes), and so do the
// value tags Layer and Dimensions; end tags close the innermost block. One
// line per tag; names are upper-cased so that spellings compare equal.
std::string Walk(const std::string& text) {
  std::istringstream in(text);
  FileTools tools;
  std::vector<std::string> blocks;
  std::string out;
  for (;;) {
    const std::optional<std::string_view> open =
        blocks.empty() ? std::nullopt : std::optional<std::string_view>(blocks.back());
    TTag tag = tools.ReadTag(open, in, false);
    if (tag.type == TTag::EndTag) {
      if (blocks.empty()) return out;
      out += "E\n";
      blocks.pop_back();
      continue;
    }
    const TTag first = tag;
    for (;;) {
      for (char& c : tag.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      out += Describe(tag) + "\n";
      if (!tag.more) break;
      tag = tools.ReadTag(open, in, true);
    }
    const bool opens =
        first.type == TTag::KeywordTag
            ? !EqualNoCase(first.name, "All") && !EqualNoCase(first.name, "Attributes")
            : first.type == TTag::ValueTag &&
                  (EqualNoCase(first.name, "Layer") || EqualNoCase(first.name, "Dimensions"));
    if (opens) blocks.push_back(first.name);
  }
}

struct Row {
  const char* input;
  const char* expected;
};

TEST(ReadTokenTest, SplitsWordsSpecialsAndComments) {
  const Row rows[] = {
      {"", ""},
      {" \t\r\n,,", ""},
      {"a=b", "a|=|b"},
      {"  alpha,beta\t,gamma\n", "alpha|beta|gamma"},
      {"a\x80"
       "b\xff"
       "c\x7f"
       "d\x01"
       "e",
       "a|b|c|d|e"},
      {"-1.5e+3 ~x _y", "-1.5e+3|~x|_y"},
      {"[~Layer]", "[~|Layer|]"},
      {"ab[~cd", "ab|[~|cd"},
      {"ab[cd", "ab|[|cd"},
      {"[ ~x", "[|~x"},
      {"[[~", "[|[~"},
      {"<>=]*", "<|>|=|]|*"},
      {"/", "/"},
      {"a /", "a|/"},
      {"/ *", "/|*"},
      {"a*/b", "a|*|/|b"},
      {"x]", "x|]"},
      {"/*c*/x", "x"},
      {"a/*c*/b", "a|b"},
      {"/* a /* b */ c */ x", "x"},
      {"/**/y", "y"},
      {"/*/*/ */ */z", "z"},
      // The "/" right after an inner comment's "*/" closes the outer comment too.
      {"/* /* x *//y", "y"},
      {"/*/**//y", "y"},
      {"/* [~Layer] = */ [", "["},
      {"/* unclosed", "!Unexpected end of file during comment"},
      {"/* /* */", "!Unexpected end of file during comment"},
      {"x /*/", "x!Unexpected end of file during comment"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    EXPECT_EQ(Tokens(row.input), row.expected);
  }
}

TEST(ReadTokenTest, SpecialCharacterEndingAWordIsLeftForTheNextRead) {
  std::istringstream in("ab[cd efg");
  FileTools tools;
  EXPECT_EQ(tools.ReadToken(in), "ab");
  EXPECT_EQ(in.peek(), '[');
  EXPECT_EQ(tools.ReadToken(in), "[");
  EXPECT_EQ(tools.ReadToken(in), "cd");
  EXPECT_EQ(in.peek(), 'e');  // the blank after the word was consumed
  EXPECT_EQ(tools.ReadToken(in), "efg");
  EXPECT_EQ(tools.ReadToken(in), "");
  EXPECT_TRUE(in.eof());
}

TEST(ReadTokenTest, WordsUpTo1024CharactersAreWholeLongerOnesAreRefused) {
  FileTools tools;
  const std::string longest(FileTools::kMaxWordLength, 'w');
  std::istringstream ok(longest + "]" + longest);
  EXPECT_EQ(tools.ReadToken(ok), longest);
  EXPECT_EQ(tools.ReadToken(ok), "]");
  EXPECT_EQ(tools.ReadToken(ok), longest);
  EXPECT_EQ(tools.ReadToken(ok), "");

  for (const std::string& text :
       {longest + "x", longest + "xyz ", std::string(100000, '7') + "\n"}) {
    std::istringstream in(text);
    try {
      tools.ReadToken(in);
      ADD_FAILURE() << "a word of " << text.size() << " characters was accepted";
    } catch (const FileTools::Error& e) {
      EXPECT_EQ(e.message, "Word longer than 1024 characters");
      EXPECT_EQ(e.input, &in);
    }
  }
}

TEST(ReadTokenTest, DeeplyNestedCommentsNeedNoStack) {
  const std::size_t depth = 1000000;
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += "/*";
  const std::string open = text;
  for (std::size_t i = 0; i < depth; ++i) text += " */";
  EXPECT_EQ(Tokens(text + " word"), "word");
  EXPECT_EQ(Tokens(open), "!Unexpected end of file during comment");
  EXPECT_EQ(Tokens(open + " */"), "!Unexpected end of file during comment");
}

TEST(ReadTagTest, TagsTokensAndTheirMessages) {
  const struct {
    const char* input;
    Blockdef blockdef;
    const char* expected;
  } rows[] = {
      // Items and brackets; separators and commas anywhere between tokens.
      {"[Layer = 0]", std::nullopt, "V:Layer=0|E"},
      {"[Layer=0]", std::nullopt, "V:Layer=0|E"},
      {"[ \t Layer \n=\r 0 ,]", std::nullopt, "V:Layer=0|E"},
      {"[,Layer,=,0,]", std::nullopt, "V:Layer=0|E"},
      {"[NeuralNetwork]", std::nullopt, "K:NeuralNetwork|E"},
      {"[Matrix Weights ]", std::nullopt, "K:Matrix+|K:Weights|E"},
      {"[Neuron=3 Gain=0.5 ]", std::nullopt, "V:Neuron=3+|V:Gain=0.5|E"},
      {"[From=0 To=2 Weight=-2.500000000000000 UnTrainable ]", std::nullopt,
       "V:From=0+|V:To=2+|V:Weight=-2.500000000000000+|K:UnTrainable|E"},
      {"[a=/*c*/b]", std::nullopt, "V:a=b|E"},
      {"/*c*/[a]/*d*/[b=1]", std::nullopt, "K:a|V:b=1|E"},
      {"[a/*c*/]", std::nullopt, "K:a+!Unexpected special character"},
      {"[a /* c */ ]", std::nullopt, "K:a+!Unexpected special character"},
      // Plain tokens outside brackets; lone special characters but "]".
      {"0.25 -0.5 /* 0 */", std::nullopt, "P:0.25|P:-0.5|E"},
      {"/ x", std::nullopt, "P:/|P:x|E"},
      {"a=b", std::nullopt, "P:a|P:=|P:b|E"},
      {"< > * =", std::nullopt, "P:<|P:>|P:*|P:=|E"},
      {"- T F", std::nullopt, "P:-|P:T|P:F|E"},
      {"]", std::nullopt, "!Unexpected ']' outside a tag"},
      {"[a] ]", std::nullopt, "K:a!Unexpected ']' outside a tag"},
      // The format version is transparent outside brackets.
      {"[FormatVersion = 1.0]\n\n[NeuralNetwork]", std::nullopt, "K:NeuralNetwork|E"},
      {"[formatversion=0.5][FORMATVERSION = 1]x", std::nullopt, "P:x|E"},
      {"[FormatVersion = 1.0]", std::nullopt, "E"},
      {"[FormatVersion = 1.0]", Blockdef("Layer"), "!Unexpected end of file"},
      {"[FormatVersion = 1.1]", std::nullopt, "!Illegal Format Version"},
      {"[FormatVersion = inf]", std::nullopt, "!Illegal Format Version"},
      {"[FormatVersion = abc]", std::nullopt, "!number-expected"},
      {"[FormatVersion = 1.0 x]", std::nullopt, "!Illegal Format of FormatVersion"},
      {"[FormatVersion = 1.0 x=1]", std::nullopt, "!Illegal Format of FormatVersion"},
      {"[FormatVersion = 1.0", std::nullopt, "!Illegal Format of FormatVersion"},
      {"[FormatVersion]", std::nullopt, "K:FormatVersion|E"},
      {"[A FormatVersion=2 ]", std::nullopt, "K:A+|V:FormatVersion=2|E"},
      // End tags.
      {"[~Layer]", Blockdef("Layer"), "E"},
      {"[~ layer ]", Blockdef("LAYER"), "E"},
      {"[~Layer]", Blockdef("Neurons"), "!Unexpected End Tag"},
      {"[~]", Blockdef("Layer"), "!Unexpected End Tag"},
      {"[~", Blockdef("Layer"), "!Unexpected End Tag"},
      {"[~Layer x]", Blockdef("Layer"), "!Expected ']'"},
      {"[~Layer", Blockdef("Layer"), "!Expected ']'"},
      {"[~Layer]", std::nullopt, "!End Tag with no block open"},
      // The end of the input.
      {"", std::nullopt, "E"},
      {" /* c */ ", std::nullopt, "E"},
      {"", Blockdef("Layer"), "!Unexpected end of file"},
      {"[", std::nullopt, "!Unexpected end of file"},
      {"[a", std::nullopt, "K:a+!Unexpected end of file"},
      {"[a =", std::nullopt, "!Unexpected end of file"},
      {"[a = /* c */", std::nullopt, "!Unexpected end of file"},
      {"[a = 1", std::nullopt, "V:a=1+!Unexpected end of file"},
      // Keywords and values that begin with a special character.
      {"[]", std::nullopt, "!Unexpected special character"},
      {"[= a]", std::nullopt, "!Unexpected special character"},
      {"[[a]", std::nullopt, "!Unexpected special character"},
      {"[[~a]", std::nullopt, "!Unexpected special character"},
      {"[a = ]", std::nullopt, "!Unexpected special character"},
      {"[a = <b>]", std::nullopt, "!Unexpected special character"},
      {"[a = [~b]", std::nullopt, "!Unexpected special character"},
      {"[a b=]", std::nullopt, "K:a+!Unexpected special character"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.input) + " in " + row.blockdef.value_or("(none)"));
    EXPECT_EQ(Tags(row.input, row.blockdef), row.expected);
  }
}

TEST(ReadTagTest, ManyFormatVersionTagsNeedNoStack) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "[FormatVersion=1]";
  EXPECT_EQ(Tags(text + "[a]"), "K:a|E");
}

const char kWalkedExample[] =
    "V:NETWORKTYPE=Kohonen\n"
    "K:NETWORKINFORMATION\n"
    "V:NUMBEROFLAYERS=3\nV:INPUTLAYER=1\nV:OUTPUTLAYER=2\n"
    "V:NUMBEROFINPUTS=2\nV:NUMBEROFOUTPUTS=2\nE\n"
    "V:DIMENSIONS=2\n"
    "V:DIMENSION=0+\nV:SIZE=2\nV:DIMENSION=1+\nV:SIZE=1\nE\n"
    "V:LAYER=0\nV:LAYERTYPE=Simple\nV:NUMBEROFNEURONS=0\n"
    "K:ALL+\nV:ACTIVATIONFUNCTION=error\nE\n"
    "V:LAYER=1\nV:LAYERTYPE=Input\nV:NUMBEROFNEURONS=2\n"
    "K:ALL+\nV:ACTIVATIONFUNCTION=linear\nE\n"
    "V:LAYER=2\nV:LAYERTYPE=Simple\nV:NUMBEROFNEURONS=2\n"
    "K:ALL+\nV:ACTIVATIONFUNCTION=linear\nE\n"
    "K:CONNECTIONLAYER\n"
    "V:LAYERFROM=1\nV:LAYERTO=2\nV:CONNECTIONTYPE=FullyConnected\n"
    "K:ATTRIBUTES+\nK:UNPRUNABLE+\nK:UNFREEZABLE\n"
    "K:MATRIX+\nK:WEIGHTS\n"
    "P:0.25\nP:-0.5\nP:0.75\nP:1\nE\n"
    "E\n"
    "E\n";

TEST(ReadTagTest, WorkedExampleReadsAsItsBlocks) {
  const std::string text =
      test::ReadFile(std::string(KOHPORT_TEST_DATA) + "/FileHandler/worked_example.net");
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(Walk(text), std::string("K:NEURALNETWORK\n") + kWalkedExample);
}

TEST(ReadTagTest, WorkedExampleInLowerCaseWithCommasAndCommentsReadsTheSame) {
  std::string text =
      test::ReadFile(std::string(KOHPORT_TEST_DATA) + "/FileHandler/worked_example.net");
  std::string changed;
  for (char c : text) {
    if (c == '\n') {
      changed += " /* a /* nested */ comment */\n";
    } else if (c == ' ') {
      changed += ",";
    } else {
      changed += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  // Lower-casing changes the values; compare the keywords only.
  std::string expected = std::string("K:NEURALNETWORK\n") + kWalkedExample;
  for (const char* value : {"Kohonen", "Simple", "Input", "FullyConnected"}) {
    for (std::size_t at = expected.find(value); at != std::string::npos;
         at = expected.find(value)) {
      for (std::size_t i = at; i < at + std::string(value).size(); ++i) {
        expected[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(expected[i])));
      }
    }
  }
  EXPECT_EQ(Walk(changed), expected);
}

TEST(ReadTagTest, NothingButCommentsMayFollowTheLastEndTag) {
  std::istringstream in("[~NeuralNetwork] /* done */ \n junk");
  FileTools tools;
  EXPECT_EQ(tools.ReadTag(std::optional<std::string_view>("NeuralNetwork"), in, false).type,
            TTag::EndTag);
  const TTag next = tools.ReadTag(std::nullopt, in, false);
  try {
    FileTools::ExpectEndTag(next, in);
    ADD_FAILURE() << "a word after the last end tag was accepted";
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.message, "End Tag expected");
  }
}

// ---- Checking tags ------------------------------------------------------

TTag Tag(TTag::Type type, std::string name = "", std::string value = "") {
  TTag t;
  t.type = type;
  t.name = std::move(name);
  t.value = std::move(value);
  return t;
}

template <typename F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const FileTools::Error& e) {
    return e.message;
  }
  return "(no error)";
}

TEST(CheckTagTest, ExpectedTagsGiveTheirNameOrValue) {
  std::istringstream in;
  const TTag keyword = Tag(TTag::KeywordTag, "neuralNETWORK");
  EXPECT_EQ(FileTools::ExpectBlockStart(keyword, in, "NeuralNetwork"), "neuralNETWORK");
  EXPECT_EQ(FileTools::ExpectBlockStart(keyword, in), "neuralNETWORK");
  TTag withMore = Tag(TTag::KeywordTag, "Matrix");
  withMore.more = true;
  EXPECT_EQ(FileTools::ExpectBlockStart(withMore, in, "MATRIX"), "Matrix");
  FileTools::ExpectEndTag(TTag{}, in);

  const TTag type = Tag(TTag::ValueTag, "networktype", "kohonen");
  EXPECT_EQ(FileTools::ReadStringTag(type, in, "NetworkType"), "kohonen");
  EXPECT_EQ(FileTools::ReadStringTag(type, in, "NETWORKTYPE", "Kohonen"), "kohonen");
  EXPECT_EQ(FileTools::ReadIntegerTag(Tag(TTag::ValueTag, "Layer", "12abc"), in, "layer"), 12);
  EXPECT_EQ(FileTools::ReadNumberTag(Tag(TTag::ValueTag, "Gain", "1e-3x"), in, "GAIN"), 0.001);
  EXPECT_EQ(FileTools::ReadNumberToken(Tag(TTag::PlainToken, "-0.5"), in), -0.5);
  EXPECT_EQ(FileTools::CopyString("abc"), "abc");
}

TEST(CheckTagTest, UnexpectedTagsAreRefusedWithTheirMessages) {
  std::istringstream in;
  const TTag keyword = Tag(TTag::KeywordTag, "Layers");
  const TTag value = Tag(TTag::ValueTag, "Layer", "2");
  const TTag plain = Tag(TTag::PlainToken, "0.5");
  const TTag end;
  const struct {
    std::string message;
    std::string expected;
  } rows[] = {
      {MessageOf([&] { FileTools::ExpectBlockStart(keyword, in, "Layer"); }), "[Layer] expected"},
      {MessageOf([&] { FileTools::ExpectBlockStart(value, in, "Layer"); }), "[Layer] expected"},
      {MessageOf([&] { FileTools::ExpectBlockStart(end, in, "NEURALNETWORK"); }),
       "[NEURALNETWORK] expected"},
      {MessageOf([&] { FileTools::ExpectBlockStart(plain, in); }), "start of block expected"},
      {MessageOf([&] { FileTools::ExpectBlockStart(value, in); }), "start of block expected"},
      {MessageOf([&] { FileTools::ExpectEndTag(keyword, in); }), "End Tag expected"},
      {MessageOf([&] { FileTools::ExpectEndTag(plain, in); }), "End Tag expected"},
      {MessageOf([&] { FileTools::ReadStringTag(value, in, "LayerType"); }),
       "[LayerType = <string>] expectedLayer"},
      {MessageOf([&] { FileTools::ReadStringTag(keyword, in, "Layer"); }),
       "[Layer = <string>] expectedLayers"},
      {MessageOf([&] { FileTools::ReadStringTag(end, in, "Layer"); }),
       "[Layer = <string>] expected"},
      {MessageOf([&] { FileTools::ReadStringTag(value, in, "Layer", "3"); }),
       "[Layer = 3] expected"},
      {MessageOf([&] { FileTools::ReadIntegerTag(keyword, in, "Layers"); }),
       "[Layers = <integer>] expected"},
      {MessageOf(
           [&] { FileTools::ReadIntegerTag(Tag(TTag::ValueTag, "Layer", "x"), in, "Layer"); }),
       "integer-expected"},
      {MessageOf([&] { FileTools::ReadNumberTag(value, in, "Gain"); }),
       "[Gain = <number>] expected"},
      {MessageOf([&] { FileTools::ReadNumberTag(Tag(TTag::ValueTag, "Gain", "g"), in, "Gain"); }),
       "number-expected"},
      {MessageOf([&] { FileTools::ReadNumberToken(value, in); }), "Token (number) expected"},
      {MessageOf([&] { FileTools::ReadNumberToken(end, in); }), "Token (number) expected"},
      {MessageOf([&] { FileTools::ReadNumberToken(Tag(TTag::PlainToken, "T"), in); }),
       "number-expected"},
  };
  for (const auto& row : rows) EXPECT_EQ(row.message, row.expected);
}

TEST(CheckTagTest, ComposedMessagesAreNeverCut) {
  std::istringstream in;
  const std::string longName(FileTools::kMaxWordLength, 'n');
  const std::string longKeyword(3000, 'k');
  EXPECT_EQ(MessageOf([&] {
              FileTools::ReadStringTag(Tag(TTag::KeywordTag, longName), in, longKeyword);
            }),
            "[" + longKeyword + " = <string>] expected" + longName);
  EXPECT_EQ(MessageOf([&] {
              FileTools::ReadStringTag(Tag(TTag::ValueTag, "a", "b"), in, "a", longName);
            }),
            "[a = " + longName + "] expected");
  EXPECT_EQ(MessageOf([&] { FileTools::ExpectBlockStart(TTag{}, in, longKeyword); }),
            "[" + longKeyword + "] expected");
}

// ---- Values -------------------------------------------------------------

TEST(ParseIntegerTest, ReadsTheLeadingIntegerAsPercentLdDoes) {
  const struct {
    const char* text;
    std::int32_t value;
  } rows[] = {
      {"0", 0},
      {"12", 12},
      {" \t\n\v\f\r12", 12},
      {"-7x", -7},
      {"+5", 5},
      {"-0", 0},
      {"12abc", 12},
      {"2.9", 2},
      {"1e5", 1},
      {"0x10", 0},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"00000000000000000000000042", 42},
  };
  std::istringstream in;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(FileTools::ParseInteger(in, row.text), row.value);
  }
}

TEST(ParseIntegerTest, RefusesTextsWithoutAnIntegerAndValuesOutOfRange) {
  const Row rows[] = {
      {"", "integer-expected"},
      {"   ", "integer-expected"},
      {"abc", "integer-expected"},
      {"-", "integer-expected"},
      {"+", "integer-expected"},
      {"+-1", "integer-expected"},
      {"-+1", "integer-expected"},
      {"- 1", "integer-expected"},
      {".5", "integer-expected"},
      {"2147483648", "integer out of range"},
      {"-2147483649", "integer out of range"},
      {"+4294967296", "integer out of range"},
      {"99999999999999999999999", "integer out of range"},
  };
  std::istringstream in;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    try {
      FileTools::ParseInteger(in, row.input);
      ADD_FAILURE() << "accepted";
    } catch (const FileTools::Error& e) {
      EXPECT_EQ(e.message, row.expected);
      EXPECT_EQ(e.input, &in);
    }
  }
}

TEST(ParseNumberTest, ReadsTheLeadingNumber) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* text;
    double value;
  } rows[] = {
      {"0.25", 0.25},
      {"-0.5", -0.5},
      {"+1.5", 1.5},
      {"  \t3", 3},
      {"1e-3x", 0.001},
      {"1.", 1},
      {".5", 0.5},
      {"1e", 1},
      {"1e+", 1},
      {"100ergs", 100},
      {"1.5.5", 1.5},
      {"1,5", 1},
      {"0.250000000000000", 0.25},
      {"123456789.123456789", 123456789.123456789},
      {"2.2250738585072014e-308", 2.2250738585072014e-308},
      {"5e-324", 5e-324},
      {"3e-324", 5e-324},
      {"2e-324", 0},
      {"1e-400", 0},
      {"0.000000000000000000001e-310", 0},
      {"1e999", inf},
      {"-1e99999999999999999999999", -inf},
      {"123456789012345678901234567890e300", inf},
      {"0e99999", 0},
      {"INF", inf},
      {"-infinity", -inf},
      {"infx", inf},
      {"0x1.8p1", 3},
      {"0X1P3", 8},
      {"0xe", 14},
      {"0x1e+3", 30},
      {"0x1p", 1},
      {"0x.", 0},
      {"0x.p1", 0},
      {"0x.8", 0.5},
      {"0x1p99999", inf},
      {"-0x1p-99999", 0},
      {"00x1", 0},
  };
  std::istringstream in;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(FileTools::ParseNumber(in, row.text), row.value);
  }
  EXPECT_TRUE(std::signbit(FileTools::ParseNumber(in, "-0")));
  EXPECT_TRUE(std::signbit(FileTools::ParseNumber(in, "-1e-400")));
  EXPECT_TRUE(std::isnan(FileTools::ParseNumber(in, "nan")));
  EXPECT_TRUE(std::isnan(FileTools::ParseNumber(in, "NaN(12)")));
  EXPECT_FALSE(std::signbit(FileTools::ParseNumber(in, "nan")));
  EXPECT_TRUE(std::signbit(FileTools::ParseNumber(in, "-nan")));
}

TEST(ParseNumberTest, RefusesWhatPercentFRefuses) {
  std::istringstream in;
  for (const char* text :
       {"",   " ",     "abc",     "e5", ".", "-.", "..5", "-",   "+",    "+-1", "-+1", "- 1",
        "in", "infin", "infinit", "na", "n", "0x", "-0x", "0xg", "0xp1", "T",   "F",   "[1]"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(MessageOf([&] { FileTools::ParseNumber(in, text); }), "number-expected");
  }
}

#ifdef __GLIBC__
// Every text of up to four characters over an alphabet of the characters a
// number can hold: accepted exactly when sscanf "%f" accepts it, with the
// value strtod gives.
TEST(ParseNumberTest, AgreesWithPercentFAndStrtod) {
  const std::string alphabet = "019.eE+-xXpPaAnNiIfFtTy( ";
  std::istringstream in;
  std::vector<std::string> texts = {""};
  for (std::size_t length = 0; length < 4; ++length) {
    const std::size_t from = texts.size();
    for (std::size_t i = 0; i < from; ++i) {
      if (texts[i].size() != length) continue;
      for (char c : alphabet) texts.push_back(texts[i] + c);
    }
  }
  for (const char* t :
       {"infinity", "-INFINITYx", "nan(123)", "0x1.fffffffffffffp1023", "0x1.fffffffffffff8p1023",
        "1.7976931348623158e308", "1.7976931348623159e308", "2.4703282292062328e-324",
        "2.4703282292062327e-324", "0x1p-1075", "0x1.0000001p-1075"}) {
    texts.push_back(t);
  }
  std::vector<std::string> disagreements;
  for (const std::string& text : texts) {
    float scanned;
    const bool valid = std::sscanf(text.c_str(), "%f", &scanned) == 1;
    const double expected = std::strtod(text.c_str(), nullptr);
    std::string got;
    try {
      const double value = FileTools::ParseNumber(in, text);
      const bool same = std::isnan(expected) ? std::isnan(value) : value == expected;
      if (!valid || !same || std::signbit(value) != std::signbit(expected)) {
        got = std::to_string(value);
      }
    } catch (const FileTools::Error&) {
      if (valid) got = "refused";
    }
    if (!got.empty()) {
      disagreements.push_back("'" + text + "': " + got + ", %f " + (valid ? "accepts" : "refuses") +
                              ", strtod " + std::to_string(expected));
    }
  }
  disagreements.resize(std::min<std::size_t>(disagreements.size(), 20));
  EXPECT_EQ(disagreements, std::vector<std::string>{});
}
#endif

// ---- Writing ------------------------------------------------------------

template <typename F>
std::string Written(F&& write) {
  std::ostringstream out;
  out.width(30);  // stream formatting state must not change the bytes
  out.precision(3);
  write(out);
  return out.str();
}

TEST(WriteTest, PrimitivesWriteExactBytes) {
  using F = FileTools;
  const struct {
    std::string written;
    std::string expected;
  } cases[] = {
      {Written([](std::ostream& o) { F::WriteFormatVersion(o); }), "[FormatVersion = 1.0]\n\n"},
      {Written([](std::ostream& o) { F::WriteNewLine(o); }), "\n"},
      {Written([](std::ostream& o) { F::WriteKeyword(o, "NeuralNetwork", true); }),
       "[NeuralNetwork]\n"},
      {Written([](std::ostream& o) { F::WriteKeyword(o, "Matrix", false); }), "Matrix "},
      {Written([](std::ostream& o) { F::WriteStringTag(o, "NetworkType", "Kohonen", true); }),
       "[NetworkType = Kohonen]\n"},
      {Written([](std::ostream& o) { F::WriteStringTag(o, "ActivationFunction", "tanh", false); }),
       "ActivationFunction=tanh "},
      {Written([](std::ostream& o) { F::WriteIntegerTag(o, "Layer", 2, true); }), "[Layer = 2]\n"},
      {Written([](std::ostream& o) { F::WriteIntegerTag(o, "From", -2147483647 - 1, false); }),
       "From=-2147483648 "},
      {Written([](std::ostream& o) { F::WriteNumberTag(o, "Weight", 0.25, 15, false); }),
       "Weight=0.250000000000000 "},
      {Written([](std::ostream& o) { F::WriteNumberTag(o, "Gain", 0.25, 15, true); }),
       "[Gain = 0.250000000000000]\n"},
      {Written([](std::ostream& o) { F::WriteNumberTag(o, "Weight", -2.5, 15, false); }),
       "Weight=-2.500000000000000 "},
      {Written([](std::ostream& o) { F::WriteNumberTag(o, "W", 123456789.5, 15, false); }),
       "W=123456789.500000000000000 "},
      {Written([](std::ostream& o) { F::WriteNumberTag(o, "W", -1e20, 15, false); }),
       "W=-100000000000000000000.000000000000000 "},
      {Written([](std::ostream& o) { F::WriteNumberTag(o, "W", 2.0 / 3, 2, true); }),
       "[W = 0.67]\n"},
      {Written([](std::ostream& o) { F::WriteEndTag(o, "Layer"); }), "[~Layer]\n"},
      {Written([](std::ostream& o) { F::WriteEndTag(o, std::nullopt); }), ""},
      {Written([](std::ostream& o) {
         F::WriteOpenBracket(o, true);
         F::WriteIntegerTag(o, "Dimension", 0, false);
         F::WriteIntegerTag(o, "Size", 2, false);
         F::WriteCloseBracket(o, true, true);
       }),
       "[Dimension=0 Size=2 ]\n"},
      {Written([](std::ostream& o) {
         F::WriteOpenBracket(o, false);
         F::WriteKeyword(o, "Trainable", false);
         F::WriteCloseBracket(o, false, true);
       }),
       "Trainable "},
      {Written([](std::ostream& o) { F::WriteCloseBracket(o, true, false); }), "]"},
      {Written([](std::ostream& o) { F::WriteItem(TTag::PlainToken, "T", std::nullopt, o, true); }),
       "T "},
      {Written(
           [](std::ostream& o) { F::WriteItem(TTag::PlainToken, "-", std::nullopt, o, false); }),
       "- "},
  };
  for (const auto& c : cases) EXPECT_EQ(c.written, c.expected);
}

// The tag lines of the worked example written with the primitives (the
// matrix lines come from the network writer and are copied here) give the
// file byte for byte, and the tag reader reads back what was written.
TEST(WriteTest, WorkedExampleTagLinesRoundTrip) {
  using F = FileTools;
  std::ostringstream o;
  F::WriteFormatVersion(o);
  F::WriteKeyword(o, "NeuralNetwork", true);
  F::WriteStringTag(o, "NetworkType", "Kohonen", true);
  F::WriteNewLine(o);
  F::WriteKeyword(o, "NetworkInformation", true);
  F::WriteIntegerTag(o, "NumberOfLayers", 3, true);
  F::WriteIntegerTag(o, "InputLayer", 1, true);
  F::WriteIntegerTag(o, "OutputLayer", 2, true);
  F::WriteIntegerTag(o, "NumberOfInputs", 2, true);
  F::WriteIntegerTag(o, "NumberOfOutputs", 2, true);
  F::WriteEndTag(o, "NetworkInformation");
  F::WriteNewLine(o);
  F::WriteIntegerTag(o, "Dimensions", 2, true);
  for (int d = 0; d < 2; ++d) {
    F::WriteOpenBracket(o, true);
    F::WriteIntegerTag(o, "Dimension", d, false);
    F::WriteIntegerTag(o, "Size", d == 0 ? 2 : 1, false);
    F::WriteCloseBracket(o, true, true);
  }
  F::WriteEndTag(o, "Dimensions");
  const char* types[] = {"Simple", "Input", "Simple"};
  const char* functions[] = {"error", "linear", "linear"};
  const int sizes[] = {0, 2, 2};
  for (int layer = 0; layer < 3; ++layer) {
    F::WriteNewLine(o);
    F::WriteIntegerTag(o, "Layer", layer, true);
    F::WriteStringTag(o, "LayerType", types[layer], true);
    F::WriteIntegerTag(o, "NumberOfNeurons", sizes[layer], true);
    F::WriteOpenBracket(o, true);
    F::WriteKeyword(o, "All", false);
    F::WriteStringTag(o, "ActivationFunction", functions[layer], false);
    F::WriteCloseBracket(o, true, true);
    F::WriteEndTag(o, "Layer");
  }
  F::WriteNewLine(o);
  F::WriteKeyword(o, "ConnectionLayer", true);
  F::WriteIntegerTag(o, "LayerFrom", 1, true);
  F::WriteIntegerTag(o, "LayerTo", 2, true);
  F::WriteStringTag(o, "ConnectionType", "FullyConnected", true);
  F::WriteOpenBracket(o, true);
  F::WriteKeyword(o, "Attributes", false);
  F::WriteKeyword(o, "UnPrunable", false);
  F::WriteKeyword(o, "UnFreezable", false);
  F::WriteCloseBracket(o, true, true);
  F::WriteOpenBracket(o, true);
  F::WriteKeyword(o, "Matrix", false);
  F::WriteKeyword(o, "Weights", false);
  F::WriteCloseBracket(o, true, true);
  o << "/* To->            0                    1  From */\n"
       "                0.25                 -0.5  /* 0 */\n"
       "                0.75                    1  /* 1 */\n";
  F::WriteEndTag(o, "Matrix");
  F::WriteEndTag(o, "ConnectionLayer");
  F::WriteNewLine(o);
  F::WriteEndTag(o, "NeuralNetwork");

  EXPECT_EQ(o.str(),
            test::ReadFile(std::string(KOHPORT_TEST_DATA) + "/FileHandler/worked_example.net"));
  EXPECT_EQ(Walk(o.str()), std::string("K:NEURALNETWORK\n") + kWalkedExample);
}

TEST(WriteTest, PruneableWeightListEntriesReadBack) {
  using F = FileTools;
  std::ostringstream o;
  F::WriteKeyword(o, "WeightList", true);
  F::WriteOpenBracket(o, true);
  F::WriteIntegerTag(o, "From", 0, false);
  F::WriteIntegerTag(o, "To", 2, false);
  F::WriteNumberTag(o, "Weight", -2.5, 15, false);
  F::WriteKeyword(o, "UnTrainable", false);
  F::WriteCloseBracket(o, true, true);
  F::WriteEndTag(o, "WeightList");
  EXPECT_EQ(o.str(),
            "[WeightList]\n[From=0 To=2 Weight=-2.500000000000000 UnTrainable ]\n[~WeightList]\n");
  EXPECT_EQ(Walk(o.str()),
            "K:WEIGHTLIST\nV:FROM=0+\nV:TO=2+\nV:WEIGHT=-2.500000000000000+\nK:UNTRAINABLE\nE\n");
}

TEST(FileToolsDeathTest, WriteItemRefusesKindsItNeverWrites) {
  std::ostringstream o;
  EXPECT_EXIT(FileTools::WriteItem(TTag::EndTag, "Layer", std::nullopt, o, false),
              testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("EndTag items are written bracketed"));
  EXPECT_EXIT(FileTools::WriteItem(TTag::FormatVersionItem, std::nullopt, std::nullopt, o, false),
              testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("FormatVersion items are written bracketed"));
  EXPECT_EXIT(FileTools::WriteItem(static_cast<TTag::Type>(4), "x", std::nullopt, o, true),
              testing::ExitedWithCode(3), test::AssertionReportAnyPlace("false"));
  EXPECT_EXIT(FileTools::WriteItem(TTag::ValueTag, "x", std::nullopt, o, true),
              testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("name.has_value() && value.has_value()"));
}

}  // namespace
}  // namespace kohport
