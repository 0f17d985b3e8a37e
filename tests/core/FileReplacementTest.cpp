// A file replaced through CFileReplacement, on the real file system: where the bytes go and what the
// replaced file keeps.
#include "engine/core/FileReplacement.h"
#include "tests/support/TestHarness.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes the text through a replacement of path; false with the reason added to the test's output.
bool replace(const std::string& path, const std::string& text)
{
    CFileReplacement out(path);
    if (out.file() == nullptr || std::fputs(text.c_str(), out.file()) < 0 || !out.commit()) {
        ADD_FAILURE() << path << ": " << out.getError();
        return false;
    }
    return true;
}

mode_t permissions(const std::string& path)
{
    struct stat status { };
    stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

bool isLink(const std::string& path)
{
    struct stat status { };
    return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

std::vector<std::string> names(const std::string& dir)
{
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

// Links were once replaced by plain files, which left what they pointed at as it was.
TEST(FileReplacement, LinksStayLinksAndTheFileTheyLeadToIsReplaced)
{
    const std::string dir = testing_support::makeTempDir();
    std::filesystem::create_directory(dir + "/pages");
    writeText(dir + "/pages/real.json", "old");
    ASSERT_EQ(0, symlink("pages/real.json", (dir + "/link.json").c_str()));  // relative to the link
    ASSERT_EQ(0, symlink((dir + "/link.json").c_str(), (dir + "/chain.json").c_str()));
    ASSERT_EQ(0, symlink("later.json", (dir + "/pages/dangling.json").c_str()));

    ASSERT_TRUE(replace(dir + "/link.json", "new"));
    ASSERT_TRUE(replace(dir + "/chain.json", "newer"));
    ASSERT_TRUE(replace(dir + "/pages/dangling.json", "made"));  // makes the file the link names
    EXPECT_TRUE(isLink(dir + "/link.json"));
    EXPECT_TRUE(isLink(dir + "/chain.json"));
    EXPECT_TRUE(isLink(dir + "/pages/dangling.json"));
    EXPECT_EQ("newer", readText(dir + "/pages/real.json"));
    EXPECT_EQ("made", readText(dir + "/pages/later.json"));
    // No temporary left beside either.
    EXPECT_EQ((std::vector<std::string>{"chain.json", "link.json", "pages"}), names(dir));
    EXPECT_EQ((std::vector<std::string>{"dangling.json", "later.json", "real.json"}), names(dir + "/pages"));
}

// A replaced file once took 0666 less the umask, and the umask was set to 0 for a moment to read it.
TEST(FileReplacement, AReplacedFileKeepsItsModeAndANewOneTakesTheUmasks)
{
    const std::string dir = testing_support::makeTempDir();
    const mode_t saved = umask(027);
    for (const mode_t mode : {mode_t(0604), mode_t(0444), mode_t(0755)}) {
        const std::string path = dir + "/kept" + std::to_string(mode) + ".png";
        writeText(path, "old");
        ASSERT_EQ(0, chmod(path.c_str(), mode));
        EXPECT_TRUE(replace(path, "new"));
        EXPECT_EQ(mode, permissions(path)) << path;
        EXPECT_EQ("new", readText(path));
    }
    EXPECT_TRUE(replace(dir + "/fresh.png", "new"));
    EXPECT_EQ(mode_t(0640), permissions(dir + "/fresh.png"));
    EXPECT_EQ(mode_t(027), umask(saved));
}
