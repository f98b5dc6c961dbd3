// The output sink: a file appears whole on Commit or not at all, and every
// failed write, flush, close or rename is reported.
#include "FileHandler/OutputFile.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "FileHandler/ParseTools.h"
#include "TestUtil.h"

namespace kohport {
namespace {

class SafeOutputFileTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "sinkXXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

  std::string Path(const std::string& name) const { return dir + "/" + name; }

  // Names in the directory, sorted.
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

  static mode_t ModeOf(const std::string& path) {
    struct stat st;
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode;
  }

  static void WriteWith(const std::string& path, const std::string& bytes) {
    SafeOutputFile file(path);
    file.Stream() << bytes;
    file.Commit();
  }

  std::string dir;
};

mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// The message of the FileTools::Error that `f` throws, checking that the
// error names no input stream.
template <typename F>
std::string FailureOf(F&& f) {
  try {
    f();
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.input, nullptr);
    EXPECT_NE(e.output, nullptr);
    return e.message;
  }
  return "(no error)";
}

TEST_F(SafeOutputFileTest, NewFileAppearsWholeOnlyOnCommit) {
  const std::string path = Path("new.net");
  {
    SafeOutputFile file(path);
    file.Stream() << "[NeuralNetwork]\n";
    EXPECT_EQ(::access(path.c_str(), F_OK), -1);  // not there before Commit
    EXPECT_EQ(Entries().size(), 1u);              // only the temporary file
    file.Commit();
  }
  EXPECT_EQ(test::ReadFile(path), "[NeuralNetwork]\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"new.net"});
  EXPECT_EQ(ModeOf(path) & 07777, 0666 & ~CurrentUmask());
}

TEST_F(SafeOutputFileTest, ExistingFileIsReplacedAndKeepsItsPermissions) {
  const std::string path = Path("old.net");
  test::WriteFile(path, "old contents that are longer than the new ones\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  {
    SafeOutputFile file(path);
    file.Stream() << "new\n";
    file.Stream().flush();
    EXPECT_EQ(test::ReadFile(path), "old contents that are longer than the new ones\n");
    file.Commit();
  }
  EXPECT_EQ(test::ReadFile(path), "new\n");
  EXPECT_EQ(ModeOf(path) & 07777, 0640u);
  EXPECT_EQ(Entries(), std::vector<std::string>{"old.net"});
}

TEST_F(SafeOutputFileTest, DestructionWithoutCommitLeavesEverythingAsItWas) {
  const std::string existing = Path("existing.net");
  test::WriteFile(existing, "keep\n");
  {
    SafeOutputFile file(existing);
    file.Stream() << std::string(1 << 20, 'x');
  }
  {
    SafeOutputFile file(Path("absent.net"));
    file.Stream() << "partial";
  }
  EXPECT_EQ(test::ReadFile(existing), "keep\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"existing.net"});
}

TEST_F(SafeOutputFileTest, LargeAndSmallWritesArriveInOrder) {
  std::string expected;
  const std::string path = Path("big.net");
  {
    SafeOutputFile file(path);
    for (int i = 0; i < 200000; ++i) {
      const std::string piece = std::to_string(i) + (i % 7 == 0 ? "\n" : " ");
      file.Stream() << piece;
      expected += piece;
      if (i % 50000 == 0) {
        const std::string block(1 << 19, static_cast<char>('a' + i % 26));
        file.Stream().write(block.data(), static_cast<std::streamsize>(block.size()));
        expected += block;
      }
    }
    file.Commit();
  }
  EXPECT_EQ(test::ReadFile(path), expected);
}

TEST_F(SafeOutputFileTest, DestinationsThatCannotBeCreatedAreRefused) {
  for (const std::string& path : {Path("missing/dir/out.net"), dir, dir + "/", std::string()}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(FailureOf([&] { SafeOutputFile file(path); }), "Error on File Open");
  }
  test::WriteFile(Path("plain"), "");
  EXPECT_EQ(FailureOf([&] { SafeOutputFile file(Path("plain/out.net")); }), "Error on File Open");
  EXPECT_EQ(Entries(), std::vector<std::string>{"plain"});
}

TEST_F(SafeOutputFileTest, FullDeviceIsReportedAndNotReplaced) {
  SafeOutputFile file("/dev/full");
  file.Stream() << "[FormatVersion = 1.0]\n";
  EXPECT_EQ(FailureOf([&] { file.Commit(); }),
            "Error writing file /dev/full: No space left on device");
  EXPECT_TRUE(S_ISCHR(ModeOf("/dev/full")));
}

TEST_F(SafeOutputFileTest, WriteFailureStopsTheStreamAtOnce) {
  SafeOutputFile file("/dev/full");
  const std::string block(1 << 20, 'x');
  file.Stream().write(block.data(), static_cast<std::streamsize>(block.size()));
  EXPECT_TRUE(file.Stream().bad());
  EXPECT_EQ(FailureOf([&] { file.Commit(); }),
            "Error writing file /dev/full: No space left on device");
}

TEST_F(SafeOutputFileTest, DevicesAreWrittenDirectly) {
  WriteWith("/dev/null", "discarded\n");
  EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));
}

TEST_F(SafeOutputFileTest, FifoIsWrittenDirectly) {
  const std::string path = Path("pipe");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = test::ReadFile(path); });
  const std::string bytes(300000, 'f');
  WriteWith(path, bytes);
  reader.join();
  EXPECT_EQ(received, bytes);
  EXPECT_TRUE(S_ISFIFO(ModeOf(path)));
}

TEST_F(SafeOutputFileTest, SymbolicLinkIsFollowedAndItsTargetReplaced) {
  test::WriteFile(Path("target.net"), "old\n");
  ASSERT_EQ(::chmod(Path("target.net").c_str(), 0604), 0);
  ASSERT_EQ(::symlink("target.net", Path("link.net").c_str()), 0);
  ASSERT_EQ(::symlink((dir + "/link.net").c_str(), Path("link2.net").c_str()), 0);
  WriteWith(Path("link2.net"), "new\n");
  EXPECT_TRUE(S_ISLNK(ModeOf(Path("link.net"))));
  EXPECT_TRUE(S_ISLNK(ModeOf(Path("link2.net"))));
  EXPECT_EQ(test::ReadFile(Path("target.net")), "new\n");
  EXPECT_EQ(ModeOf(Path("target.net")) & 07777, 0604u);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"link.net", "link2.net", "target.net"}));
}

TEST_F(SafeOutputFileTest, DanglingSymbolicLinkCreatesItsTarget) {
  ASSERT_EQ(::mkdir(Path("sub").c_str(), 0700), 0);
  ASSERT_EQ(::symlink("sub/created.net", Path("link.net").c_str()), 0);
  WriteWith(Path("link.net"), "made\n");
  EXPECT_TRUE(S_ISLNK(ModeOf(Path("link.net"))));
  EXPECT_EQ(test::ReadFile(Path("sub/created.net")), "made\n");
}

TEST_F(SafeOutputFileTest, SymbolicLinkToADeviceWritesTheDevice) {
  ASSERT_EQ(::symlink("/dev/full", Path("full").c_str()), 0);
  SafeOutputFile file(Path("full"));
  file.Stream() << "x";
  EXPECT_EQ(FailureOf([&] { file.Commit(); }),
            "Error writing file " + Path("full") + ": No space left on device");
  EXPECT_TRUE(S_ISLNK(ModeOf(Path("full"))));
}

TEST_F(SafeOutputFileTest, SymbolicLinkLoopIsRefused) {
  ASSERT_EQ(::symlink("b", Path("a").c_str()), 0);
  ASSERT_EQ(::symlink("a", Path("b").c_str()), 0);
  EXPECT_EQ(FailureOf([&] { SafeOutputFile file(Path("a")); }), "Error on File Open");
}

// A file size limit makes writes to a regular file fail part way: the old
// destination survives and no temporary file is left behind.
TEST_F(SafeOutputFileTest, FailedWriteKeepsTheOldFileAndRemovesTheTemporary) {
  const std::string path = Path("kept.net");
  test::WriteFile(path, "old\n");
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*savedHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string message = FailureOf([&] {
    SafeOutputFile file(path);
    file.Stream() << std::string(1 << 20, 'x');
    file.Commit();
  });
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, savedHandler);
  EXPECT_EQ(message, "Error writing file " + path + ": File too large");
  EXPECT_EQ(test::ReadFile(path), "old\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"kept.net"});
}

}  // namespace
}  // namespace kohport
