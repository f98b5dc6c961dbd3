// Runs the kohport executable as a user would and checks what it says, what
// it writes and what it leaves behind.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace kohport {
namespace {

struct RunResult {
  int status;
  std::string err;
};

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

// Runs kohport with `args` through the shell, after the shell commands
// `prefix` (variables, limits); standard error is captured to a file,
// standard output goes to `outFile`.
RunResult RunKohport(const std::vector<std::string>& args, const std::string& prefix = "",
                     const std::string& outFile = "/dev/null") {
  // CTest runs the tests of this binary as parallel processes.
  const std::string errFile =
      testing::TempDir() + "kohport_stderr_" + std::to_string(::getpid()) + ".txt";
  std::string cmd = prefix + Quote(KOHPORT_EXE);
  for (const std::string& a : args) cmd += " " + Quote(a);
  cmd += " 2>" + Quote(errFile) + " >" + Quote(outFile);
  const int raw = std::system(cmd.c_str());
  RunResult result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::ReadFile(errFile)};
  std::remove(errFile.c_str());
  return result;
}

const std::string kIrisMap = std::string(KOHPORT_EXAMPLES) + "/iris_6x6.kmap";

std::string IrisGolden() {
  return test::ReadFile(std::string(KOHPORT_TEST_DATA) + "/Kohonen/iris_6x6.net");
}

// One failure report: a single line of text.
void ExpectOneLine(const RunResult& r) {
  EXPECT_EQ(r.status, 1);
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(r.err.back(), '\n');
}

// A scratch directory per test.
class KohportCliTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "kohportXXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::system(("rm -rf " + Quote(dir)).c_str()); }

  std::string Path(const std::string& name) const { return dir + "/" + name; }

  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    while (dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir;
};

TEST_F(KohportCliTest, WrongNumberOfArgumentsPrintsUsage) {
  const std::string out = Path("usage_out.net");
  for (const auto& args :
       std::vector<std::vector<std::string>>{{}, {kIrisMap}, {kIrisMap, out, "extra"}}) {
    SCOPED_TRACE(args.size());
    const RunResult r = RunKohport(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Usage: kohport OldFileName NewFileName\n");
  }
  EXPECT_TRUE(Entries().empty());  // no file touched
}

TEST_F(KohportCliTest, ConvertsALegacyMap) {
  const std::string out = Path("iris.net");
  const RunResult r = RunKohport({kIrisMap, out});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(test::ReadFile(out), IrisGolden());
  EXPECT_EQ(Entries(), std::vector<std::string>{"iris.net"});
}

TEST_F(KohportCliTest, ReplacesAnExistingFileAndKeepsItsPermissions) {
  const std::string out = Path("iris.net");
  test::WriteFile(out, "old contents, longer than nothing\n");
  ASSERT_EQ(::chmod(out.c_str(), 0640), 0);
  EXPECT_EQ(RunKohport({kIrisMap, out}).status, 0);
  EXPECT_EQ(test::ReadFile(out), IrisGolden());
  struct stat st;
  ASSERT_EQ(::stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(KohportCliTest, OutputIsTheSameInALocaleWithADecimalComma) {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale";
  std::setlocale(LC_ALL, "C");
  const std::string out = Path("iris.net");
  const RunResult r = RunKohport({kIrisMap, out}, "LC_ALL=de_DE.UTF-8 ");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(test::ReadFile(out), IrisGolden());
}

TEST_F(KohportCliTest, MissingOldFileIsReportedAndNothingIsCreated) {
  const std::string out = Path("new.net");
  const RunResult r = RunKohport({Path("no-such-map.kmap"), out});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Unable to open file\n");
  EXPECT_TRUE(Entries().empty());
}

TEST_F(KohportCliTest, MalformedOldFileIsReportedInOneLineAndTheDestinationSurvives) {
  const std::string old = Path("broken.kmap");
  const std::string out = Path("keep.net");
  test::WriteFile(out, "keep me\n");
  for (const char* text : {"", "TITLE: t\nINPUTS: 2\n", "INPUTS: 2\nMAPSIZE: 1\nX Y a b\n0 0 1\n",
                           "INPUTS: 2\nMAPSIZE: 1\nX Y a b\n0 0 1 x\n"}) {
    SCOPED_TRACE(text);
    test::WriteFile(old, text);
    ExpectOneLine(RunKohport({old, out}));
    EXPECT_EQ(test::ReadFile(out), "keep me\n");
  }
  EXPECT_EQ(Entries(), (std::vector<std::string>{"broken.kmap", "keep.net"}));
}

TEST_F(KohportCliTest, UnwritableDestinationsGiveOneLineAndNoFile) {
  struct Case {
    std::string what;
    std::string destination;
    std::string message;
  };
  ASSERT_EQ(::mkdir(Path("subdir").c_str(), 0755), 0);
  const std::vector<Case> cases = {
      {"missing directory", Path("missing/iris.net"), "Error on File Open\n"},
      {"a directory", Path("subdir"), "Error on File Open\n"},
      {"empty name", "", "Error on File Open\n"},
      {"full device", "/dev/full", "Error writing file /dev/full: No space left on device\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.destination == "/dev/full" && ::access("/dev/full", W_OK) != 0) continue;
    const RunResult r = RunKohport({kIrisMap, c.destination});
    ExpectOneLine(r);
    EXPECT_EQ(r.err, c.message);
  }
  EXPECT_EQ(Entries(), std::vector<std::string>{"subdir"});
  struct stat st;
  ASSERT_EQ(::stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));  // written to, not replaced
}

TEST_F(KohportCliTest, FailedWriteLeavesTheOldFileAndNoTemporary) {
  const std::string out = Path("keep.net");
  test::WriteFile(out, "keep me\n");
  // A file size limit of one block makes the write fail (SIGXFSZ ignored,
  // so write reports EFBIG).
  const RunResult r = RunKohport({kIrisMap, out}, "trap '' XFSZ; ulimit -f 1; ");
  ExpectOneLine(r);
  EXPECT_EQ(r.err, "Error writing file " + out + ": File too large\n");
  EXPECT_EQ(test::ReadFile(out), "keep me\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"keep.net"});
}

TEST_F(KohportCliTest, DevicesAndLinksAreWrittenThrough) {
  // Standard output as the destination: written directly.
  const std::string captured = Path("stdout.txt");
  EXPECT_EQ(RunKohport({kIrisMap, "/dev/stdout"}, "", captured).status, 0);
  EXPECT_EQ(test::ReadFile(captured), IrisGolden());

  // A symbolic link: its target is replaced and the link stays a link.
  const std::string target = Path("target.net");
  const std::string link = Path("link.net");
  test::WriteFile(target, "old\n");
  ASSERT_EQ(::symlink("target.net", link.c_str()), 0);
  EXPECT_EQ(RunKohport({kIrisMap, link}).status, 0);
  EXPECT_EQ(test::ReadFile(target), IrisGolden());
  struct stat st;
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"link.net", "stdout.txt", "target.net"}));
}

}  // namespace
}  // namespace kohport

namespace kohport {
namespace {

// A destination whose reader has gone away: the write fails with EPIPE and is
// reported like any other failed write, not as a death by SIGPIPE.
TEST(KohportCliPipeTest, ClosedPipeIsAReportedWriteFailure) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[0]);  // no reader
  const std::string errFile = testing::TempDir() + "pipe_stderr_" + std::to_string(::getpid());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    std::FILE* err = std::freopen(errFile.c_str(), "w", stderr);
    (void)err;
    ::execl(KOHPORT_EXE, KOHPORT_EXE, kIrisMap.c_str(), "/dev/stdout", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  int raw = 0;
  ASSERT_EQ(::waitpid(child, &raw, 0), child);
  ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw);
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  const std::string err = test::ReadFile(errFile);
  std::remove(errFile.c_str());
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

}  // namespace
}  // namespace kohport
