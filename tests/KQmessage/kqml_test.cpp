#include "KQmessage/KQML.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace kohport {
namespace {

using Error = TKQstructure::Error;

std::unique_ptr<TKQstructure> ParseAll(const std::string& text) {
  const char* cursor = text.c_str();
  return TKQstructure::ParseMessage(&cursor);
}

// The printed error message of a call that must throw TKQstructure::Error.
template <typename Call>
std::string Refusal(Call call) {
  try {
    call();
  } catch (const Error& e) {
    return e.Text();
  }
  ADD_FAILURE() << "no TKQstructure::Error thrown";
  return "";
}

// A list "(h :t1 1 :t2 2 ... :tn n)" of `n` distinct tags.
std::string ListOfTags(int n) {
  std::string text = "(h";
  for (int i = 1; i <= n; ++i) text += " :t" + std::to_string(i) + " " + std::to_string(i);
  return text + ")";
}

// `levels` lists each holding the next under the tag b, innermost value c.
std::string Nested(int levels) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += "(a :b ";
  text += "c";
  return text + std::string(static_cast<std::size_t>(levels), ')');
}

// --- Parsing and printing ------------------------------------------------------

TEST(KQMLParseTest, TextsParseAndPrintAsExpected) {
  struct Case {
    const char* text;
    const char* head;
    int count;
    const char* printed;
  };
  const Case cases[] = {
      {"  tell  ", "tell", 0, "tell"},
      {"a:b", "a:b", 0, "a:b"},
      {"(tell :value 3)", "tell", 1, "(tell :value 3)"},
      {"(tell :value 3 :sender (agent :name a1))", "tell", 2,
       "(tell :value 3 :sender (agent :name a1))"},
      {"(a :b 1 :B 2)", "a", 1, "(a :b 2)"},
      {"(a)", "a", 0, "a"},
      {"(a :b (c))", "a", 1, "(a :b c)"},
      {"( a : b 1 )", "a", 1, "(a :b 1)"},
      {"(a\t:b\r\n1\x01)", "a", 1, "(a :b 1)"},
      {"(a\xff:b\x7f"
       "1)",
       "a", 1, "(a :b 1)"},
      {"(a:b :c:d e:f)", "a:b", 1, "(a:b :c:d e:f)"},
      {"(x :y -2.5e3 :Z yes :w (v))", "x", 3, "(x :y -2.5e3 :Z yes :w v)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto s = ParseAll(c.text);
    EXPECT_EQ(s->head, c.head);
    EXPECT_EQ(s->GetCount(), c.count);
    EXPECT_EQ(s->ToString(), c.printed);
    EXPECT_EQ(ParseAll(s->ToString())->ToString(), c.printed);
  }
}

TEST(KQMLParseTest, ValuesAreReachableByTag) {
  const auto s = ParseAll("(tell :value 3 :sender (agent :name a1))");
  EXPECT_EQ(s->Get("value")->head, "3");
  EXPECT_EQ(s->Get("value")->GetCount(), 0);
  EXPECT_EQ(s->Get("SENDER")->head, "agent");
  EXPECT_EQ(s->Get("sender")->Get("name")->head, "a1");
  EXPECT_EQ(s->GetEntries()[0].tag, "value");
  EXPECT_EQ(s->GetEntries()[1].tag, "sender");
}

TEST(KQMLParseTest, ParseStopsAfterOneExpression) {
  const std::string text = "(a :b c) d";
  const char* cursor = text.c_str();
  const auto s = TKQstructure::Parse(&cursor);
  EXPECT_EQ(s->ToString(), "(a :b c)");
  EXPECT_STREQ(cursor, " d");

  const std::string atom = "x(y";
  cursor = atom.c_str();
  EXPECT_EQ(TKQstructure::Parse(&cursor)->head, "x");
  EXPECT_STREQ(cursor, "(y");

  std::string writable = "(a :b c)   \n\t";
  char* wcursor = &writable[0];
  EXPECT_EQ(TKQstructure::ParseMessage(&wcursor)->ToString(), "(a :b c)");
  EXPECT_EQ(*wcursor, '\0');
}

TEST(KQMLParseTest, MalformedTextsAreRefusedWithAnErrorMessage) {
  struct Case {
    std::string text;
    bool whole;  // ParseMessage rather than Parse
    std::string error;
  };
  const std::string word = "(error :type invalid-message :expected word :position ";
  const std::string list = "(error :type invalid-message :expected end-of-list :position ";
  const std::string rest = "(error :type invalid-message :expected end-of-message :position ";
  const std::vector<Case> cases = {
      {"", false, word + "0)"},
      {"  \n", false, word + "3)"},
      {"()", false, word + "1)"},
      {"(", false, word + "1)"},
      {")", false, word + "0)"},
      {":x", false, word + "0)"},
      {"(a :)", false, word + "4)"},
      {"(a :b", false, word + "5)"},
      {"(a : :b c)", false, word + "5)"},
      {"(a b)", false, list + "3)"},
      {"(a :b 1", false, list + "7)"},
      {"(a :b 1 (c))", false, list + "8)"},
      {"(a :b c) d", true, rest + "9)"},
      {"a b", true, rest + "2)"},
      {"a)", true, rest + "1)"},
      {Nested(TKQstructure::kMaxNesting + 1), false,
       "(error :type invalid-message :nesting-limit 256 :position " +
           std::to_string(6 * TKQstructure::kMaxNesting) + ")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    const char* cursor = c.text.c_str();
    testing::internal::CaptureStderr();
    const std::string error = Refusal([&] {
      if (c.whole) {
        TKQstructure::ParseMessage(&cursor);
      } else {
        TKQstructure::Parse(&cursor);
      }
    });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(cursor, c.text.c_str()) << "cursor moved on failure";
  }
}

TEST(KQMLParseTest, EveryTruncatedPrefixOfAMessageIsRefused) {
  const std::string text = "(tell :value 3 :sender (agent :name a1))";
  for (std::size_t n = 1; n < text.size(); ++n) {
    const std::string prefix = text.substr(0, n);
    SCOPED_TRACE(prefix);
    const std::string error = Refusal([&] { ParseAll(prefix); });
    EXPECT_EQ(error.rfind("(error :type invalid-message :expected ", 0), 0u) << error;
  }
}

TEST(KQMLParseTest, ManyDistinctTagsParseAndStayReachable) {
  const int n = 100000;
  const auto s = ParseAll(ListOfTags(n) + " ");
  ASSERT_EQ(s->GetCount(), n);
  for (int i = 1; i <= n; i += 997) {
    EXPECT_EQ(s->Get(("T" + std::to_string(i)).c_str())->head, std::to_string(i));
  }
  // A repeated tag at the end replaces the value in place.
  std::string text = ListOfTags(n);
  text.insert(text.size() - 1, " :T1 last");
  const auto again = ParseAll(text);
  EXPECT_EQ(again->GetCount(), n);
  EXPECT_EQ(again->GetEntries()[0].tag, "t1");
  EXPECT_EQ(again->GetEntries()[0].value->head, "last");
}

// --- Deep nesting: run also with a 1 MiB stack (see CMakeLists.txt) ------------

TEST(KQMLDeepTest, NestingUpToTheLimitRoundTrips) {
  const std::string text = Nested(TKQstructure::kMaxNesting);
  const auto s = ParseAll(text);
  EXPECT_EQ(s->ToString(), text);
  const TKQstructure copy(*s);
  EXPECT_EQ(copy.ToString(), text);
}

TEST(KQMLDeepTest, AMillionOpenListsAreRefused) {
  std::string text;
  for (int i = 0; i < 1000000; ++i) text += "(a :b ";
  EXPECT_EQ(Refusal([&] { ParseAll(text); }),
            "(error :type invalid-message :nesting-limit 256 :position 1536)");
  // A "(" where a head is needed is no word, however many follow.
  EXPECT_EQ(Refusal([&] { ParseAll(std::string(1000000, '(')); }),
            "(error :type invalid-message :expected word :position 1)");
}

TEST(KQMLDeepTest, DeepStructuresBuiltBySetAreWalkedWithoutRecursion) {
  const int levels = 100000;
  auto root = std::make_unique<TKQstructure>("c");
  for (int i = 0; i < levels; ++i) {
    auto outer = std::make_unique<TKQstructure>("a");
    outer->Set("b", std::move(root));
    root = std::move(outer);
  }
  const std::string text = root->ToString();
  EXPECT_EQ(text.size(), 7u * levels + 1);
  EXPECT_EQ(text.substr(0, 12), "(a :b (a :b ");

  TKQstructure copy(*root);
  EXPECT_EQ(copy.ToString(), text);
  copy = *root->Get("b");  // assignment from a part of another deep structure
  EXPECT_EQ(copy.ToString(), text.substr(6, text.size() - 7));
  TKQstructure assigned;
  assigned = copy;
  root.reset();  // destruction of the whole chain
  EXPECT_EQ(assigned.GetCount(), 1);
}

// --- Copying ---------------------------------------------------------------------

TEST(KQMLCopyTest, CopiesAreDeepAndIndependent) {
  const auto source = ParseAll("(tell :value 3 :sender (agent :name a1))");
  TKQstructure copy(*source);
  copy.Get("sender")->Set("name", "b2");
  copy.head = "ask";
  EXPECT_EQ(source->ToString(), "(tell :value 3 :sender (agent :name a1))");
  EXPECT_EQ(copy.ToString(), "(ask :value 3 :sender (agent :name b2))");

  TKQstructure assigned("x");
  assigned.Set("old", "gone");
  assigned = *source;
  EXPECT_EQ(assigned.ToString(), source->ToString());
  assigned.Remove("value");
  EXPECT_EQ(source->GetCount(), 2);
}

TEST(KQMLCopyTest, AssignmentFromItselfOrFromItsOwnPart) {
  auto s = ParseAll("(a :b (c :d (e :f g)) :h i)");
  TKQstructure& self = *s;
  *s = self;
  EXPECT_EQ(s->ToString(), "(a :b (c :d (e :f g)) :h i)");
  *s = *s->Get("b");  // the source is freed by the assignment itself
  EXPECT_EQ(s->ToString(), "(c :d (e :f g))");
  *s = *s->Get("d")->Get("f");
  EXPECT_EQ(s->ToString(), "g");
}

// --- Capacity ---------------------------------------------------------------------

TEST(KQMLCapacityTest, GrowsByDoublingFromSixteen) {
  TKQstructure s;
  EXPECT_EQ(s.head, "unknown");
  EXPECT_EQ(s.GetCapacity(), 16);
  for (int i = 1; i <= 16; ++i) s.Set(("t" + std::to_string(i)).c_str(), "v");
  EXPECT_EQ(s.GetCapacity(), 16);
  s.Set("t1", "replaced");  // replacing never grows
  EXPECT_EQ(s.GetCapacity(), 16);
  s.Set("t17", "v");
  EXPECT_EQ(s.GetCapacity(), 32);
  EXPECT_EQ(s.GetCount(), 17);
  for (int i = 18; i <= 33; ++i) s.Set(("t" + std::to_string(i)).c_str(), "v");
  EXPECT_EQ(s.GetCapacity(), 64);
  s.Remove("t2");
  EXPECT_EQ(s.GetCapacity(), 64);
  EXPECT_EQ(TKQstructure("x").GetCapacity(), 16);
}

TEST(KQMLCapacityTest, CopiesHoldExactlyTheSourceEntries) {
  const auto list = ParseAll("(a :b 1 :c 2 :d 3)");
  EXPECT_EQ(list->GetCapacity(), 16);
  TKQstructure copy(*list);
  EXPECT_EQ(copy.GetCapacity(), 3);
  copy.Set("e", "4");
  EXPECT_EQ(copy.GetCapacity(), 16);  // 3 doubled is 6, raised to 16

  const TKQstructure atom("x");
  TKQstructure atomCopy(atom);
  EXPECT_EQ(atomCopy.GetCapacity(), 0);
  atomCopy.Set("b", "1");
  EXPECT_EQ(atomCopy.GetCapacity(), 16);

  TKQstructure assigned;
  assigned = *list;
  EXPECT_EQ(assigned.GetCapacity(), 3);
  EXPECT_EQ(assigned.Get("c")->GetCapacity(), 0);  // a copied atom
}

// --- Access by tag ------------------------------------------------------------------

TEST(KQMLAccessTest, SetFormatsEachKindOfValue) {
  TKQstructure s("x");
  s.Set("d", 2.5);
  s.Set("neg", -7L);
  s.Set("int", 12);
  s.Set("yes", true);
  s.Set("no", false);
  s.Set("text", "word");
  s.Set("min", LONG_MIN);
  EXPECT_EQ(s.ToString(), "(x :d 2.500000 :neg -7 :int 12 :yes true :no false :text word :min " +
                              std::to_string(LONG_MIN) + ")");
}

TEST(KQMLAccessTest, SetOfADoubleGivesThePrintfFixedTextAtAnyMagnitude) {
  const double values[] = {2.5,   -0.0,   1e-7,    0.1,      123456.7890125, 1e300,
                           1e247, -1e308, DBL_MAX, HUGE_VAL, -HUGE_VAL,      NAN};
  for (const double v : values) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%f", v);
    SCOPED_TRACE(expected);
    TKQstructure s("x");
    s.Set("v", v);
    EXPECT_EQ(s.Get("v")->head, expected);
  }
}

TEST(KQMLAccessTest, SetReplacesInPlaceKeepingTheFirstSpelling) {
  TKQstructure s("x");
  s.Set("Value", "1");
  s.Set("other", "2");
  s.Set("VALUE", std::make_unique<TKQstructure>("3"));
  EXPECT_EQ(s.ToString(), "(x :Value 3 :other 2)");
}

TEST(KQMLAccessTest, LookupsIgnoreCase) {
  auto s = ParseAll("(x :Alpha 1 :beta 2)");
  EXPECT_EQ(s->Find("ALPHA")->head, "1");
  EXPECT_EQ(s->Find("Beta")->head, "2");
  EXPECT_EQ(s->Find("gamma"), nullptr);
  EXPECT_EQ(s->Find("alph"), nullptr);
  EXPECT_EQ(s->Require("alpha"), s->Find("Alpha"));
  const TKQstructure& constant = *s;
  EXPECT_EQ(constant.Get("BETA")->head, "2");
}

TEST(KQMLAccessTest, RemoveMovesTheLastEntryIntoTheGap) {
  struct Case {
    const char* tag;
    const char* printed;
  };
  const Case cases[] = {
      {"x", "(a :z 3 :y 2)"},
      {"Y", "(a :x 1 :z 3)"},
      {"z", "(a :x 1 :y 2)"},
      {"w", "(a :x 1 :y 2 :z 3)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    auto s = ParseAll("(a :x 1 :y 2 :z 3)");
    s->Remove(c.tag);
    EXPECT_EQ(s->ToString(), c.printed);
  }
  auto s = ParseAll("(a :x 1)");
  s->Remove("x");
  EXPECT_EQ(s->GetCount(), 0);
  EXPECT_EQ(s->ToString(), "a");
}

// Large lists keep a tag index; every change must keep it in step with the entries.
TEST(KQMLAccessTest, LargeListsStayConsistentThroughChanges) {
  auto s = ParseAll(ListOfTags(40));
  s->Remove("t5");  // t40 moves to place 4
  EXPECT_EQ(s->GetEntries()[4].tag, "t40");
  s->Remove("T40");  // t39 moves to place 4
  s->Set("t7", "seven");
  s->Set("New", "n");
  TKQstructure copy(*s);
  TKQstructure assigned;
  assigned = copy;
  for (const TKQstructure* t : {s.get(), &copy, &assigned}) {
    EXPECT_EQ(t->GetCount(), 39);
    EXPECT_EQ(t->GetEntries()[4].tag, "t39");
    EXPECT_EQ(t->Find("t5"), nullptr);
    EXPECT_EQ(t->Find("t40"), nullptr);
    EXPECT_EQ(t->Get("T39")->head, "39");
    EXPECT_EQ(t->Get("t7")->head, "seven");
    EXPECT_EQ(t->Get("NEW")->head, "n");
    for (const auto& e : t->GetEntries()) EXPECT_EQ(t->Find(e.tag.c_str()), e.value.get());
  }
  while (s->GetCount() > 0) s->Remove(s->GetEntries()[s->GetCount() / 2].tag.c_str());
  EXPECT_EQ(s->ToString(), "h");
  s->Set("again", "1");
  EXPECT_EQ(s->ToString(), "(h :again 1)");
}

TEST(KQMLAccessTest, RequireAndExpectReportWhatIsMissing) {
  const auto s = ParseAll("(tell :value 3 :mode Fast)");
  struct Case {
    const char* tag;
    const char* value;
    const char* error;  // null: accepted
  };
  const Case cases[] = {
      {"value", "", nullptr},
      {"value", nullptr, nullptr},
      {"VALUE", "3", nullptr},
      {"mode", "fast", nullptr},
      {"mode", "slow", "(error :type invalid-message :tag mode :expected-value slow)"},
      {"missing", "", "(error :type invalid-message :expected missing)"},
      {"missing", "x", "(error :type invalid-message :expected missing)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    if (c.error == nullptr) {
      EXPECT_NO_THROW(s->Expect(c.tag, c.value));
    } else {
      EXPECT_EQ(Refusal([&] { s->Expect(c.tag, c.value); }), c.error);
    }
  }
  EXPECT_EQ(Refusal([&] { s->Require("Sender"); }),
            "(error :type invalid-message :expected Sender)");
  EXPECT_EQ(s->ToString(), "(tell :value 3 :mode Fast)");
}

// --- Conversions ---------------------------------------------------------------------

TEST(KQMLConversionTest, ToBooleanAcceptsTrueAndFalseOnly) {
  EXPECT_TRUE(TKQstructure::ToBoolean("true"));
  EXPECT_TRUE(TKQstructure::ToBoolean("True"));
  EXPECT_FALSE(TKQstructure::ToBoolean("FALSE"));
  EXPECT_FALSE(TKQstructure::ToBoolean("false"));
  for (const char* text : {"yes", "", " true", "truex", "1", "t"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Refusal([&] { TKQstructure::ToBoolean(text); }),
              "(error :type type-error :expected boolean)");
  }
}

TEST(KQMLConversionTest, IntegersReadAsTheCLibraryReadsThem) {
  struct Case {
    const char* text;
    long value;
  };
  const Case cases[] = {
      {"42", 42},
      {" 42", 42},
      {"\t\n\v\f\r7", 7},
      {"12abc", 12},
      {"+5", 5},
      {"-0", 0},
      {"-17.9", -17},
      {"0x10", 0},
      {"9223372036854775807", LONG_MAX},
      {"-9223372036854775808", LONG_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ToInteger(c.text), c.value);
    EXPECT_EQ(AsLong(c.text), c.value);
  }
  for (const char* text : {"abc", "", " ", "+", "-", "+-5", "--5", "- 5", ".5",
                           "\xff"
                           "1",
                           "9223372036854775808", "-9223372036854775809", "99999999999999999999"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Refusal([&] { ToInteger(text); }),
              std::string("(error :type invalid-message :integer-expected ") + text + ")");
  }
}

TEST(KQMLConversionTest, NumbersReadAsTheCLibraryReadsThem) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"2.5", 2.5},
      {" 1e3x", 1000.0},
      {"12abc", 12.0},
      {"+.5", 0.5},
      {"-.5", -0.5},
      {"1e", 1.0},
      {"1e+", 1.0},
      {"100ergs", 100.0},
      {"0x1p3", 8.0},
      {"0X.8", 0.5},
      {"-0x1p", -1.0},
      {"1e999", HUGE_VAL},
      {"-1e999", -HUGE_VAL},
      {"1e-400", 0.0},
      {"4e-320", 4e-320},
      {"0.0000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "1",
       0.0},
      {"1000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "e-10",
       HUGE_VAL},
      {"inf", HUGE_VAL},
      {"-Infinity", -HUGE_VAL},
      {"infinity and more", HUGE_VAL},
      {"9007199254740993", 9007199254740992.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ToNumber(c.text), c.value);
    EXPECT_EQ(AsDouble(c.text), c.value);
  }
  EXPECT_TRUE(std::signbit(ToNumber("-1e-400")));
  EXPECT_TRUE(std::isnan(ToNumber("nan")));
  EXPECT_TRUE(std::isnan(ToNumber(" NaN(123)")));
  for (const char* text : {"abc", "", " ", ".", "-.e1", "+-1", "0x", "0xg", "infinit", "e5"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Refusal([&] { ToNumber(text); }),
              std::string("(error :type invalid-message :number-expected ") + text + ")");
  }
}

TEST(KQMLConversionTest, ADecimalCommaLocaleChangesNothing) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr &&
      std::setlocale(LC_ALL, "fr_FR.UTF-8") == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  EXPECT_EQ(ToNumber("2.5"), 2.5);
  EXPECT_EQ(ToNumber("2,5"), 2.0);
  TKQstructure s("x");
  s.Set("d", 2.5);
  EXPECT_EQ(s.ToString(), "(x :d 2.500000)");
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(KQMLConversionTest, MakeErrorBuildsTheTypedHead) {
  const auto e = MakeError("invalid-message");
  EXPECT_EQ(e->ToString(), "(error :type invalid-message)");
  EXPECT_EQ(e->Get("type")->GetCount(), 0);
}

// --- Output, arguments, the exception -----------------------------------------------

TEST(KQMLOutputTest, PrintWritesToStandardOutput) {
  const auto s = ParseAll("(a :b (c :d e))");
  testing::internal::CaptureStdout();
  s->Print();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "(a :b (c :d e))");
  testing::internal::CaptureStdout();
  s->PrintLine();
  s->Get("b")->Get("d")->PrintLine();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "(a :b (c :d e))\ne\n");
  std::ostringstream out;
  s->Print(out);
  EXPECT_EQ(out.str(), "(a :b (c :d e))");
}

TEST(KQMLOutputTest, JoinArgumentsEndsEachWithABlank) {
  char prog[] = "prog", a[] = "(a", b[] = ":b 1)";
  char* argv[] = {prog, a, b, nullptr};
  EXPECT_EQ(TKQstructure::JoinArguments(3, argv), "(a :b 1) ");
  EXPECT_EQ(TKQstructure::JoinArguments(1, argv), "");
  const std::string joined = TKQstructure::JoinArguments(3, argv);
  EXPECT_EQ(ParseAll(joined)->ToString(), "(a :b 1)");
}

TEST(KQMLErrorTest, CopiesShareTheMessageAndTheCatcherMayTakeItsOwn) {
  std::shared_ptr<TKQstructure> kept;
  std::unique_ptr<TKQstructure> own;
  try {
    try {
      TKQstructure::ToBoolean("maybe");
    } catch (const Error& e) {
      const Error copy = e;  // NOLINT: a copy on purpose
      EXPECT_EQ(copy.error, e.error);
      throw copy;
    }
  } catch (const Error& e) {
    kept = e.error;
    own = e.CopyMessage();
  }
  ASSERT_NE(kept, nullptr);
  own->Set("position", 3L);
  EXPECT_EQ(kept->ToString(), "(error :type type-error :expected boolean)");
  EXPECT_EQ(own->ToString(), "(error :type type-error :expected boolean :position 3)");
}

// --- Caller errors ---------------------------------------------------------------------

TEST(KQMLDeathTest, CallerErrorsAreAssertionReports) {
  auto s = ParseAll("(a :b c)");
  EXPECT_EXIT(s->Get("missing"), testing::ExitedWithCode(3), test::AssertionReportAnyPlace("0"));
  EXPECT_EXIT(s->Set("b", std::unique_ptr<TKQstructure>()), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("newval != NULL"));
  EXPECT_EXIT(AsLong("abc"), testing::ExitedWithCode(3), test::AssertionReportAnyPlace("err == 1"));
  EXPECT_EXIT(AsDouble("x1"), testing::ExitedWithCode(3),
              test::AssertionReportAnyPlace("err == 1"));
}

}  // namespace
}  // namespace kohport
