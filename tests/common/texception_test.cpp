#include "common/TException.h"

#include <gtest/gtest.h>

#include <utility>

#include "KQmessage/KQML.h"

namespace kohport {
namespace {

TEST(TExceptionTest, ConstructorsSetTheFieldsTheyAreGiven) {
  const TException none;
  EXPECT_FALSE(none.message);
  EXPECT_FALSE(none.category);
  EXPECT_FALSE(none.location);
  EXPECT_EQ(none.details, nullptr);
  EXPECT_STREQ(none.Message(), "");

  const TException noCategory("Unable to open file");
  EXPECT_EQ(*noCategory.message, "Unable to open file");
  EXPECT_FALSE(noCategory.category);
  EXPECT_FALSE(noCategory.location);

  const TException full("Invalid Data Row", "Bad Parameter", "Data::GetInputDatum", nullptr);
  EXPECT_STREQ(full.Message(), "Invalid Data Row");
  EXPECT_EQ(*full.category, "Bad Parameter");
  EXPECT_EQ(*full.location, "Data::GetInputDatum");
  EXPECT_EQ(full.details, nullptr);
}

TEST(TExceptionTest, CopiesStayReadableAfterTheOriginalIsGone) {
  TException copy;
  {
    TException original("m", "c", "l", new TKQstructure("details"));
    TException second = original;
    copy = second;
  }
  EXPECT_STREQ(copy.Message(), "m");
  EXPECT_EQ(*copy.category, "c");
  EXPECT_EQ(*copy.location, "l");
  ASSERT_NE(copy.details, nullptr);  // shared by the copies, released once (LeakSanitizer)
}

TEST(TExceptionTest, ThrownAndCaughtByConstReference) {
  try {
    throw TException("Unable to open file", "File Error", "TOndKohonenFiler::LoadKohonen", nullptr);
  } catch (const TException& e) {
    EXPECT_STREQ(e.Message(), "Unable to open file");
    return;
  }
  FAIL();
}

}  // namespace
}  // namespace kohport
