// Reading whole input files: regular files, pipes, devices and refusals.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "TestUtil.h"
#include "common/TException.h"
#include "legacy/FileImage.h"

namespace kohport::legacy {
namespace {

const char kWhere[] = "TOndKohonenFiler::LoadKohonen";

std::string RefusalOf(const std::string& path, std::size_t cap = kMaxStreamInput) {
  try {
    ReadFileImage(path.c_str(), kWhere, cap);
  } catch (const TException& e) {
    EXPECT_EQ(e.category.value_or(""), "File Error");
    EXPECT_EQ(e.location.value_or(""), kWhere);
    return e.Message();
  }
  return "read";
}

TEST(FileImageTest, RegularFileIsReadWholeWithEveryByte) {
  const std::string path = testing::TempDir() + "file_image_regular.bin";
  std::string bytes("a\0b\r\n", 5);
  for (int i = 0; i < 100000; ++i) bytes += static_cast<char>(i * 7);
  test::WriteFile(path, bytes);
  EXPECT_EQ(ReadFileImage(path.c_str(), kWhere), bytes);
  test::WriteFile(path, "");
  EXPECT_EQ(ReadFileImage(path.c_str(), kWhere), "");
  std::remove(path.c_str());
}

TEST(FileImageTest, PipeIsReadToItsEndAcrossChunks) {
  const std::string path = testing::TempDir() + "file_image_fifo";
  std::remove(path.c_str());
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::string bytes;
  for (int i = 0; i < 300000; ++i) bytes += static_cast<char>('a' + i % 26);
  std::thread writer([&] {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
  });
  const std::string got = ReadFileImage(path.c_str(), kWhere);
  writer.join();
  EXPECT_EQ(got, bytes);
  std::remove(path.c_str());
}

TEST(FileImageTest, RefusalsSayWhatWentWrong) {
  EXPECT_EQ(RefusalOf(testing::TempDir() + "no_such_dir/no_such_file"), "Unable to open file");
  EXPECT_EQ(RefusalOf(testing::TempDir()), "Unable to open file");  // a directory
  // An endless device ends at the cap with a message.
  EXPECT_EQ(RefusalOf("/dev/zero", 100000), "Input longer than 100000 bytes");
  EXPECT_EQ(RefusalOf("/dev/null", 100000), "read");
  // Opens, but reading it from its start fails (nothing is mapped at address 0).
  EXPECT_EQ(RefusalOf("/proc/self/mem"), "Unable to read file");
}

}  // namespace
}  // namespace kohport::legacy
