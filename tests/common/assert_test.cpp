#include "common/Assert.h"

#include <gtest/gtest.h>

#include "TestUtil.h"

namespace kohport {
namespace {

TEST(AssertDeathTest, ReportIsExactAndExitStatusIsThree) {
  const int line = __LINE__ + 1;
  EXPECT_EXIT(KOH_ASSERT(1 + 1 == 3), testing::ExitedWithCode(3),
              test::AssertionReport("1 + 1 == 3", __FILE__, line));
}

TEST(AssertDeathTest, ExplicitTextReplacesTheExpression) {
  const int line = __LINE__ + 1;
  EXPECT_EXIT(KOH_ASSERT(false, "priv_conns[to*n_layers+from] != NULL"), testing::ExitedWithCode(3),
              test::AssertionReport("priv_conns[to*n_layers+from] != NULL", __FILE__, line));
}

TEST(AssertDeathTest, RefuseReportsFalse) {
  const int line = __LINE__ + 1;
  EXPECT_EXIT(KOH_REFUSE(), testing::ExitedWithCode(3),
              test::AssertionReport("false", __FILE__, line));
}

TEST(AssertTest, HoldingAssertionDoesNothing) {
  int evaluated = 0;
  KOH_ASSERT(++evaluated == 1);
  EXPECT_EQ(evaluated, 1);
}

}  // namespace
}  // namespace kohport
