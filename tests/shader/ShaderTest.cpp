// Shader programs and the built-in table against Mesa through the ARB shader-object path.
#include "engine/shader/Shader.h"
#include "engine/core/DataFiles.h"
#include "engine/core/Registry.h"
#include "engine/shader/ShaderManager.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace testing_support;

namespace {

const char* const kBuiltInFiles[] = {"simpleTexture", "color",     "hfield", "dirPerPixel",     "dirPerVertex",
                                     "pointlight",    "spotlight", "toonf2", "dirPerVertexTEX", "dirPerPixelTEX"};

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

GLint objectParameter(GLhandleARB object, GLenum name)
{
    GLint value = 0;
    glGetObjectParameterivARB(object, name, &value);
    return value;
}

class Shaders : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
    }
    void TearDown() override
    {
        EXPECT_EQ(0u, glGetHandleARB(GL_PROGRAM_OBJECT_ARB));
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }
};

// Runs the body with another working directory, since the built-ins are read relative to it.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path)
    {
        char buffer[4096];
        saved = getcwd(buffer, sizeof(buffer)) ? buffer : ".";
        EXPECT_EQ(0, chdir(path.c_str()));
    }
    ~WorkingDirectory()
    {
        EXPECT_EQ(0, chdir(saved.c_str()));
    }

private:
    std::string saved;
};

}  // namespace

TEST_F(Shaders, AllTenBuiltInsCompileAndLinkOnThisDriver)
{
    ASSERT_EQ(10, g_pShaderManager->getShaderCount());
    for (int i = 0; i < 10; ++i) {
        CShader* shader = g_pShaderManager->getShader(i);
        ASSERT_NE(nullptr, shader) << kBuiltInFiles[i];
        ASSERT_NE(0u, shader->getProgram()) << kBuiltInFiles[i];
        EXPECT_EQ(GL_TRUE, objectParameter(shader->getProgram(), GL_OBJECT_LINK_STATUS_ARB)) << kBuiltInFiles[i];
    }
    // What every texture and font draw relies on in shader 0.
    const GLhandleARB simple = g_pShaderManager->getShader(0)->getProgram();
    EXPECT_NE(-1, glGetUniformLocationARB(simple, "colors"));
    EXPECT_NE(-1, glGetUniformLocationARB(simple, "tpos"));
}

TEST_F(Shaders, LoadingTheBuiltInsLogsTheBannerAndTenLines)
{
    CStdoutCapture capture;
    capture.start();
    CShaderManager manager;
    manager.loadBuiltInShaders();
    EXPECT_EQ(builtInShaderLines(), capture.lines());
    EXPECT_EQ(10, manager.getShaderCount());
}

TEST_F(Shaders, WithoutShaderFilesTheBuiltInCopiesAreUsedAndSaidSo)
{
    ScopedEnvironment eachNamed("QUARL_VERBOSE_DATA", "1");
    const std::string empty = makeTempDir();
    CStdoutCapture capture;
    CShaderManager manager;
    {
        WorkingDirectory inside(empty);
        capture.start();
        manager.loadBuiltInShaders();
    }
    const std::vector<std::string> loaded = builtInShaderLines();
    std::vector<std::string> expected(loaded.begin(), loaded.begin() + 3);
    for (int i = 0; i < 10; ++i) {
        expected.push_back(loaded[3 + i]);
        expected.push_back(std::string("Using the built-in copy of shaders/") + kBuiltInFiles[i] + ".vert");
        expected.push_back(std::string("Using the built-in copy of shaders/") + kBuiltInFiles[i] + ".frag");
    }
    expected.push_back("");
    EXPECT_EQ(expected, capture.lines());
    ASSERT_EQ(10, manager.getShaderCount());
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(GL_TRUE, objectParameter(manager.getShader(i)->getProgram(), GL_OBJECT_LINK_STATUS_ARB))
            << kBuiltInFiles[i];
}

TEST_F(Shaders, WithoutShaderFilesEveryBuiltInIsReportedAndKeepsItsIndex)
{
    // Without the built-in copies as well (what a game checks its shipped folder with), every file
    // fails, each failure followed by the places looked.
    const std::string empty = makeTempDir();
    CStdoutCapture capture;
    CShaderManager manager;
    std::vector<std::string> looked;
    {
        WorkingDirectory inside(empty);
        ScopedEnvironment noCopies("QUARL_NO_BUILTIN_DATA", "1");
        capture.start();
        manager.loadBuiltInShaders();
        for (int i = 0; i < 10; ++i) {
            looked.push_back(CDataFiles::placesLookedLine(std::string("shaders/") + kBuiltInFiles[i] + ".vert"));
            looked.push_back(CDataFiles::placesLookedLine(std::string("shaders/") + kBuiltInFiles[i] + ".frag"));
        }
    }
    const std::vector<std::string> loaded = builtInShaderLines();
    std::vector<std::string> expected(loaded.begin(), loaded.begin() + 3);
    for (int i = 0; i < 10; ++i) {
        expected.push_back(loaded[3 + i]);
        expected.push_back("");
        expected.push_back(std::string("Cannot Load vertex shader: shaders/") + kBuiltInFiles[i] + ".vert");
        expected.push_back(looked[2 * i]);
        expected.push_back("");
        expected.push_back(std::string("Cannot Load fragment shader: shaders/") + kBuiltInFiles[i] + ".frag");
        expected.push_back(looked[2 * i + 1]);
    }
    expected.push_back("");
    EXPECT_EQ(expected, capture.lines());
    EXPECT_EQ("Looked for shaders/toonf2.frag in: " + std::filesystem::canonical(empty).string() + "/, ",
              looked[15].substr(0, looked[15].find(", ") + 2));
    ASSERT_EQ(10, manager.getShaderCount());
    EXPECT_EQ(0u, manager.getShader(9)->getProgram());
    // Enabling a shader without a program selects the fixed-function pipeline, without an error.
    manager.getShader(0)->enable();
    EXPECT_EQ(0u, glGetHandleARB(GL_PROGRAM_OBJECT_ARB));
}

TEST_F(Shaders, IndicesOutsideTheListGiveNullAndAnAddedShaderComesNext)
{
    CShaderManager manager;
    EXPECT_EQ(nullptr, manager.getShader(0));
    EXPECT_EQ(nullptr, manager.getShader(-1));
    CStdoutCapture quiet;
    quiet.start();
    manager.loadBuiltInShaders();
    quiet.lines();
    EXPECT_EQ(nullptr, manager.getShader(10));
    CShader* extra = new CShader();
    manager.addShader(extra);
    EXPECT_EQ(extra, manager.getShader(10));
}

TEST_F(Shaders, AnEmptyFileIsLikeAMissingOne)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/empty.vert", "");
    EXPECT_EQ(nullptr, CShader::readTextFile((dir + "/empty.vert").c_str()));
    EXPECT_EQ(nullptr, CShader::readTextFile((dir + "/absent.vert").c_str()));
    EXPECT_EQ(nullptr, CShader::readTextFile(nullptr));

    CStdoutCapture capture;
    capture.start();
    CShader shader;
    shader.load("shaders/simpleTexture.frag", (dir + "/empty.vert").c_str());
    const std::vector<std::string> expected = {"", "Cannot Load vertex shader: " + dir + "/empty.vert"};
    EXPECT_EQ(expected, capture.lines());
    EXPECT_EQ(0u, shader.getProgram());
}

// A folder opens and seeks to a size of 2^63 - 1, which was once allocated.
TEST_F(Shaders, AFolderIsLikeAMissingFile)
{
    const std::string dir = makeTempDir();
    EXPECT_EQ(nullptr, CShader::readTextFile(dir.c_str()));
    CStdoutCapture capture;
    capture.start();
    CShader shader;
    shader.load("shaders/simpleTexture.frag", dir.c_str());
    // The data lookup passes folders by, so it says where it looked.
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("Cannot Load vertex shader: " + dir, lines[1]);
    const std::string looked = "Looked for " + dir + " in: ";
    EXPECT_EQ(looked, lines[2].substr(0, looked.size()));
    EXPECT_EQ(0u, shader.getProgram());
}

TEST_F(Shaders, ReadsTheWholeTextAndEndsItAfterTheLastByte)
{
    const std::string dir = makeTempDir();
    const std::string text = "void main()\r\n{\n  gl_FragColor = vec4(1.0);\n}\n";
    writeFile(dir + "/whole.frag", text);
    char* read = CShader::readTextFile((dir + "/whole.frag").c_str());
    ASSERT_NE(nullptr, read);
    EXPECT_EQ(text, std::string(read));
    delete[] read;
}

TEST_F(Shaders, ACompileFailureIsReportedWithTheDriversLogAndLeavesNoProgram)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/broken.frag", "#version 110\nvoid main() { gl_FragColor = undefinedThing; }\n");
    CStdoutCapture capture;
    capture.start();
    CShader shader;
    shader.load((dir + "/broken.frag").c_str(), "shaders/simpleTexture.vert");
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(1u, lines.size()) << capture.text();
    const std::string prefix = "Cannot compile fragment shader: " + dir + "/broken.frag, Error: ";
    EXPECT_EQ(prefix, lines[0].substr(0, prefix.size()));
    EXPECT_NE(std::string::npos, lines[0].find("undefinedThing"));
    EXPECT_EQ(0u, shader.getProgram());
    shader.enable();
    shader.setUniform1i("anything", 1);
    shader.disable();
}

TEST_F(Shaders, DisableLeavesNoProgramAndUnknownUniformsAreIgnored)
{
    CShader* simple = g_pShaderManager->getShader(0);
    simple->enable();
    EXPECT_EQ(simple->getProgram(), glGetHandleARB(GL_PROGRAM_OBJECT_ARB));
    simple->setUniform1i("noSuchUniform", 3);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    CShader other;
    other.disable();
    EXPECT_EQ(0u, glGetHandleARB(GL_PROGRAM_OBJECT_ARB));
}
