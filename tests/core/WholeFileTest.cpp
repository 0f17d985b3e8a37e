// The whole-file reader the text formats share, on real files, a folder, a FIFO and a device.
#include "engine/core/WholeFile.h"
#include "tests/support/TestHarness.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

using namespace testing_support;

namespace {

std::string written(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST(WholeFile, ReadsEveryByteUpToItsBoundAndRefusesWhatIsNoRegularFile)
{
    const std::string dir = makeTempDir();
    const std::string bytes = std::string("a\0b\r\n\xFF", 6);
    const std::string file = written(dir + "/six.bin", bytes);
    std::string read = "left over";
    int error = -1;
    EXPECT_EQ(CWholeFile::kNone, CWholeFile::read(file, 6, read, &error));
    EXPECT_EQ(bytes, read);
    EXPECT_EQ(0, error);
    EXPECT_EQ(CWholeFile::kTooLarge, CWholeFile::read(file, 5, read));
    EXPECT_TRUE(read.empty());
    EXPECT_EQ(CWholeFile::kNone, CWholeFile::read(written(dir + "/empty", ""), 0, read));
    EXPECT_TRUE(read.empty());

    EXPECT_EQ(CWholeFile::kMissing, CWholeFile::read(dir + "/absent", 64, read, &error));
    EXPECT_EQ(ENOENT, error);
    EXPECT_EQ(CWholeFile::kMissing, CWholeFile::read("", 64, read));
    EXPECT_EQ(CWholeFile::kNulInName, CWholeFile::read(file + std::string(1, '\0') + "x", 64, read));
    // Never opened: a FIFO without a writer would make open() wait for ever.
    ASSERT_EQ(0, mkfifo((dir + "/fifo").c_str(), 0600));
    EXPECT_EQ(CWholeFile::kNotRegular, CWholeFile::read(dir + "/fifo", 64, read));
    EXPECT_EQ(CWholeFile::kNotRegular, CWholeFile::read(dir, 64, read));
    EXPECT_EQ(CWholeFile::kNotRegular, CWholeFile::read("/dev/zero", 64, read));
    // Through a symbolic link, the file it names.
    ASSERT_EQ(0, symlink(file.c_str(), (dir + "/link").c_str()));
    EXPECT_EQ(CWholeFile::kNone, CWholeFile::read(dir + "/link", 64, read));
    EXPECT_EQ(bytes, read);
    EXPECT_TRUE(read.size() == 6 && read[1] == '\0');
}

}  // namespace
