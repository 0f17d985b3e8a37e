// The data lookup against real folders: each place in its turn, the "places looked" line, and the
// copies built into the library (the same bytes as the files, a glyph sheet that reads the same);
// the package's version header.
#include "engine/core/DataFiles.h"
#include "engine/Version.h"
#include "engine/audio/Music.h"
#include "engine/audio/Sound.h"
#include "engine/core/Registry.h"
#include "engine/gui/Button.h"
#include "engine/gui/Pointer.h"
#include "engine/gui/ToggleButton.h"
#include "engine/gui/Window.h"
#include "engine/sprite/Sprite.h"
#include "engine/sprite/TextureAtlas.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/texture/Texture.h"
#include "engine/tilemap/TileMap.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Each place of the lookup as a real folder, the working directory entered for the test's length.
class DataLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = fs::current_path();
        working = fs::canonical(makeTempDir());
        environmentFolder = fs::canonical(makeTempDir());
        namedFolder = fs::canonical(makeTempDir());
        exeFolder = fs::read_symlink("/proc/self/exe").parent_path();
        fs::current_path(working);
        CDataFiles::setFolder(namedFolder.string());
        // A name of this process only, since the executable's folders are shared with other runs.
        name = "lookup_probe_" + std::to_string(getpid()) + "/probe.txt";
    }
    void TearDown() override
    {
        fs::current_path(saved);
        CDataFiles::setFolder("");
        for (const fs::path& folder : {working, environmentFolder, namedFolder})
            fs::remove_all(folder);
        for (const fs::path& folder : exePlaces())
            fs::remove_all(folder / fs::path(name).parent_path());
    }
    std::vector<fs::path> exePlaces() const
    {
        return {exeFolder, exeFolder / "share/quarl", (exeFolder / "../share/quarl").lexically_normal()};
    }

    fs::path saved, working, environmentFolder, namedFolder, exeFolder;
    std::string name;
};

}  // namespace

TEST_F(DataLookup, EachPlaceWinsOverTheOnesAfterIt)
{
    ScopedEnvironment environment("QUARL_DATA_DIR", environmentFolder.string());
    std::vector<fs::path> places = {working, environmentFolder, namedFolder};
    for (const fs::path& folder : exePlaces())
        places.push_back(folder);
    for (const fs::path& folder : places)
        writeFile(folder / name, folder.string());

    // The working directory answers with the name unchanged, as the engine has always logged it.
    EXPECT_EQ(name, CDataFiles::find(name));
    for (std::size_t i = 0; i + 1 < places.size(); ++i) {
        fs::remove(places[i] / name);
        const std::string found = CDataFiles::find(name);
        EXPECT_EQ((places[i + 1] / name).string(), found) << "after removing place " << i + 1;
        EXPECT_EQ(places[i + 1].string(), readAll(found));
    }
    fs::remove(places.back() / name);
    EXPECT_EQ("", CDataFiles::find(name));
}

// "link/../data" once counted lexically (the data folder beside link) while fopen found the one
// beside link's target, and the "Looked for" line named a folder that did not exist.
TEST_F(DataLookup, ADataFolderThroughALinkAndDotDotIsTheOneTheFileSystemOpens)
{
    fs::create_directories(environmentFolder / "real/inner");
    fs::create_symlink(environmentFolder / "real/inner", environmentFolder / "link");
    writeFile(environmentFolder / "real/data" / name, "through the link");
    ScopedEnvironment environment("QUARL_DATA_DIR", (environmentFolder / "link/../data").string());
    const std::string found = CDataFiles::find(name);
    EXPECT_EQ((environmentFolder / "real/data" / name).string(), found);
    EXPECT_EQ("through the link", readAll(found));
    EXPECT_NE(std::string::npos,
              CDataFiles::placesLookedLine(name).find((environmentFolder / "real/data").string() + "/"));
}

// A name with a NUL inside (found by fuzzing) was once found as the file named by its head.
TEST_F(DataLookup, AnAbsoluteEmptyOrCutNameIsOnlyTriedAsWritten)
{
    writeFile(namedFolder / name, "x");
    EXPECT_EQ("", CDataFiles::find((working / name).string()));
    EXPECT_EQ((namedFolder / name).string(), CDataFiles::find((namedFolder / name).string()));
    EXPECT_EQ("", CDataFiles::find(""));
    EXPECT_EQ("", CDataFiles::find(name + std::string(1, '\0') + "tail"));
    // A folder of the same name is no file.
    fs::create_directories(working / name);
    EXPECT_EQ((namedFolder / name).string(), CDataFiles::find(name));
}

TEST_F(DataLookup, ThePlacesLookedLineListsEveryFolderInOrderOnce)
{
    {
        ScopedEnvironment environment("QUARL_DATA_DIR", environmentFolder.string());
        std::string expected = "Looked for " + name + " in: " + working.string() + "/, " +
                               environmentFolder.string() + "/, " + namedFolder.string() + "/";
        for (const fs::path& folder : exePlaces())
            expected += ", " + folder.string() + "/";
        const std::string line = CDataFiles::placesLookedLine(name);
        // A shared engine library adds its own installed data folder at the end.
        EXPECT_EQ(expected, line.substr(0, expected.size()));
        EXPECT_TRUE(line.size() == expected.size() || line.compare(expected.size(), 2, ", ") == 0) << line;
    }
    // A data folder that names the working directory is not listed twice; unset, it is not listed.
    ScopedEnvironment environment("QUARL_DATA_DIR", working.string() + "/");
    CDataFiles::setFolder("");
    const std::string line = CDataFiles::placesLookedLine("x");
    EXPECT_EQ("Looked for x in: " + working.string() + "/, " + exeFolder.string() + "/, ",
              line.substr(0, line.find(", ", line.find(", ") + 2) + 2));
}

// A game's own file that no place holds ends its loader's failure with the folders looked in, as
// the engine's own files always did; a TrueType font is found in the data folder like the rest.
TEST_F(DataLookup, EveryLoaderOfAGamesFileSaysWhereAMissingOneWasLookedFor)
{
    sharedEngine();
    const std::string missing = "lookup_missing_" + std::to_string(getpid()) + "/absent";
    const std::vector<std::function<void(const std::string&)>> loaders = {
        [](const std::string& file) { CSound("").load(file); },
        [](const std::string& file) { CMusic("").load(file); },
        [](const std::string& file) { CTextureAtlas().load(file); },
        [](const std::string& file) { CTileMap().load(file); },
        [](const std::string& file) { g_pFontManager->loadTrueTypeFont(file.c_str(), nullptr, 16); },
    };
    const char* kinds[] = {".wav", ".ogg", ".json", ".tmx", ".ttf"};
    for (std::size_t i = 0; i < loaders.size(); ++i) {
        const std::string file = missing + kinds[i];
        CStdoutCapture capture;
        capture.start();
        loaders[i](file);
        const std::vector<std::string> lines = capture.lines();
        ASSERT_FALSE(lines.empty()) << file;
        EXPECT_EQ(CDataFiles::placesLookedLine(file), lines.back()) << file;
        // As written, or a folder of that name: the loader's own line is all.
        for (const std::string& other : {(working / file).string(), missing}) {
            fs::create_directories(working / missing);
            capture.start();
            loaders[i](other);
            const std::vector<std::string> more = capture.lines();
            ASSERT_FALSE(more.empty()) << other;
            EXPECT_EQ(std::string::npos, more.back().find("Looked for")) << other;
        }
    }

    const std::string face = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    fs::create_directories(namedFolder / "fonts");
    fs::copy_file(face, namedFolder / "fonts/Face.ttf");
    CStdoutCapture quiet;
    quiet.start();
    const CFont* font = g_pFontManager->loadTrueTypeFont("fonts/Face.ttf", nullptr, 16);
    quiet.lines();
    EXPECT_TRUE(font->isLoaded());
}

TEST(BuiltInData, HoldsTheEngineFilesByteForByteAndNothingElse)
{
    const std::vector<std::string> names = {"shaders/simpleTexture.vert",  "shaders/toonf2.frag",
                                            "shaders/dirPerPixelTEX.frag", "Data/Font/font.tga",
                                            "Data/MousePointer.png",       "Data/Gui/toggleOn4.png"};
    for (const std::string& name : names) {
        const unsigned char* data = nullptr;
        std::size_t size = 0;
        ASSERT_TRUE(CDataFiles::builtIn(name, &data, &size)) << name;
        EXPECT_EQ(readAll(name), std::string(reinterpret_cast<const char*>(data), size)) << name;
    }
    // What only the demos and examples load stays out.
    EXPECT_FALSE(CDataFiles::builtIn("Data/Gui/click.wav", nullptr, nullptr));
    EXPECT_FALSE(CDataFiles::builtIn("Data/Flame/flame1.png", nullptr, nullptr));
    EXPECT_FALSE(CDataFiles::builtIn("font.tga", nullptr, nullptr));
    ScopedEnvironment off("QUARL_NO_BUILTIN_DATA", "1");
    EXPECT_FALSE(CDataFiles::builtIn("Data/Font/font.tga", nullptr, nullptr));
}

TEST(BuiltInData, TheBuiltInGlyphSheetReadsLikeTheFile)
{
    sharedEngine();
    ScopedEnvironment eachNamed("QUARL_VERBOSE_DATA", "1");
    CFont fromFile;
    CStdoutCapture quiet;
    quiet.start();
    ASSERT_TRUE(fromFile.buildFont("Data/Font/font.tga"));
    EXPECT_EQ(std::vector<std::string>{}, quiet.lines());

    const fs::path saved = fs::current_path();
    const std::string empty = makeTempDir();
    fs::current_path(empty);
    CFont builtIn;
    CStdoutCapture capture;
    capture.start();
    const bool built = builtIn.buildFont("Data/Font/font.tga");
    const std::vector<std::string> lines = capture.lines();
    fs::current_path(saved);
    fs::remove_all(empty);
    ASSERT_TRUE(built);
    EXPECT_EQ(std::vector<std::string>{"Using the built-in copy of Data/Font/font.tga"}, lines);
    ASSERT_EQ(256u, builtIn.glyphImage.width);
    ASSERT_EQ(256u, builtIn.glyphImage.height);
    EXPECT_NE(0u, builtIn.glyphImage.textureName);
    EXPECT_EQ(0, std::memcmp(fromFile.glyphImage.pixels, builtIn.glyphImage.pixels, 256 * 256 * 4));
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST(BuiltInData, TheStockGuiLoadsFromTheBuiltInCopiesInAFolderWithoutData)
{
    sharedEngine();
    ScopedEnvironment noDataFolder("QUARL_DATA_DIR", "");
    ScopedEnvironment eachNamed("QUARL_VERBOSE_DATA", "1");
    const fs::path saved = fs::current_path();
    const std::string empty = makeTempDir();
    fs::current_path(empty);
    CStdoutCapture capture;
    capture.start();
    CWindow window(0, 0, 400, 300, CWindow::kDefaultBackground, false, 1.0f, 24, 1, true);
    CButton button(CButton::kDefaultSprite, CButton::kDefaultFrameCount, 0.0f, 0.0f, 2);
    CToggleButton toggle(CToggleButton::kDefaultOffSprite, CToggleButton::kDefaultFrameCount,
                         CToggleButton::kDefaultOnSprite, CToggleButton::kDefaultFrameCount, 0.0f, 0.0f, 3);
    CTexture pointer(gui::kPointerImage);
    CTexture moveCursor(gui::kMoveCursorImage);
    const std::vector<std::string> lines = capture.lines();
    fs::current_path(saved);
    fs::remove_all(empty);

    std::vector<const CTexture*> images = {window.images.at(0), &pointer, &moveCursor};
    for (unsigned i = 0; i < CButton::kDefaultFrameCount; ++i)
        images.push_back(button.getFrame(i));
    for (unsigned i = 0; i < CToggleButton::kDefaultFrameCount; ++i) {
        images.push_back(toggle.offSprite->getFrame(i));
        images.push_back(toggle.onSprite->getFrame(i));
    }
    for (const CTexture* image : images) {
        ASSERT_NE(nullptr, image);
        const std::string name = image->fileName;
        const std::string builtInLine = CDataFiles::builtInLine(name);
        EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), builtInLine)) << name;
        int width = 0, height = 0;
        ASSERT_FALSE(readImageRgb(name, &width, &height).empty()) << name;  // the repository's file
        EXPECT_TRUE(image->isLoaded()) << name;
        EXPECT_FLOAT_EQ(float(width), image->getWidth()) << name;
        EXPECT_FLOAT_EQ(float(height), image->getHeight()) << name;
    }
    // A loading line and a built-in line each, and no failure.
    EXPECT_EQ(images.size() * 2, lines.size());
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST(Package, TheVersionHeaderMatchesTheVersionTheLogWrites)
{
    EXPECT_EQ("Quarl Engine version " QUARL_VERSION_STRING "...", startUpLines()[1]);
    EXPECT_EQ(0, QUARL_VERSION_MAJOR);
    EXPECT_EQ(2, QUARL_VERSION_MINOR);
    EXPECT_EQ(0, QUARL_VERSION_PATCH);
}
