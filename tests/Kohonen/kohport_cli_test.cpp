// Runs the kohport executable as a user would and checks what it says.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace kohport {
namespace {

struct RunResult {
  int status;
  std::string err;
};

// Runs kohport with `args`; standard error is captured to a file.
RunResult RunKohport(const std::vector<std::string>& args) {
  const std::string errFile = testing::TempDir() + "kohport_stderr.txt";
  std::string cmd = std::string("'") + KOHPORT_EXE + "'";
  for (const std::string& a : args) cmd += " '" + a + "'";
  cmd += " 2>'" + errFile + "' >/dev/null";
  const int raw = std::system(cmd.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::ReadFile(errFile)};
}

TEST(KohportCliTest, WrongNumberOfArgumentsPrintsUsage) {
  const std::string out = testing::TempDir() + "usage_out.net";
  std::remove(out.c_str());
  for (const auto& args :
       std::vector<std::vector<std::string>>{{}, {"a.kmap"}, {"a.kmap", out, "extra"}}) {
    SCOPED_TRACE(args.size());
    const RunResult r = RunKohport(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Usage: kohport OldFileName NewFileName\n");
  }
  EXPECT_EQ(std::fopen(out.c_str(), "r"), nullptr);  // no file touched
}

}  // namespace
}  // namespace kohport
