#include "engine/shader/Shader.h"

#include "engine/core/DataFiles.h"
#include "engine/core/Log.h"
#include "engine/core/WholeFile.h"

#include <GL/glew.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string infoLog(GLhandleARB object)
{
    GLint length = 0;
    glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    if (length <= 1)
        return std::string();
    std::vector<GLcharARB> text(static_cast<std::size_t>(length) + 1, 0);
    glGetInfoLogARB(object, length, nullptr, text.data());
    std::string log(text.data());
    while (!log.empty() && (log.back() == '\n' || log.back() == ' '))
        log.pop_back();
    return log;
}

bool compiled(GLhandleARB object, const char* kind, const char* path)
{
    GLint status = 0;
    glGetObjectParameterivARB(object, GL_OBJECT_COMPILE_STATUS_ARB, &status);
    if (status)
        return true;
    CLog::line(std::string("Cannot compile ") + kind + " shader: " + path + ", Error: " + infoLog(object));
    return false;
}

// One source text through the data lookup: the first place that holds the file, else the library's
// built-in copy. Null after the failure line (and, when no place held the file, the places looked).
// name becomes what later messages call the file.
char* readSource(const char* kind, const char* path, std::string& name)
{
    name = path ? path : "";
    const std::string found = CDataFiles::find(name);
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    char* text = nullptr;
    if (!found.empty()) {
        name = found;
        text = CShader::readTextFile(found.c_str());
    } else if (CDataFiles::builtIn(name, &data, &size) && size > 0) {
        CDataFiles::noteBuiltIn(name);
        text = new char[size + 1];
        std::memcpy(text, data, size);
        text[size] = '\0';
        return text;
    }
    if (text == nullptr) {
        CLog::line(std::string("\nCannot Load ") + kind + " shader: " + name);
        if (found.empty() && !name.empty())
            CLog::line(CDataFiles::placesLookedLine(name));
    }
    return text;
}

}  // namespace

CShader::CShader()
    : fragmentSource(nullptr),
      vertexSource(nullptr),
      program(0)
{
}

CShader::~CShader()
{
    delete[] fragmentSource;
    delete[] vertexSource;
}

char* CShader::readTextFile(const char* path)
{
    std::string bytes;
    if (path == nullptr || CWholeFile::read(path, uint64_t(kMaxSourceBytes), bytes) != CWholeFile::kNone ||
        bytes.empty())
        return nullptr;
    char* text = new char[bytes.size() + 1];
    std::memcpy(text, bytes.data(), bytes.size());
    text[bytes.size()] = '\0';
    return text;
}

void CShader::load(const char* fragmentPath, const char* vertexPath)
{
    const GLhandleARB vertexObject = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    const GLhandleARB fragmentObject = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);

    std::string vertexName;
    std::string fragmentName;
    delete[] vertexSource;
    vertexSource = readSource("vertex", vertexPath, vertexName);
    delete[] fragmentSource;
    fragmentSource = readSource("fragment", fragmentPath, fragmentName);
    if (vertexSource == nullptr || fragmentSource == nullptr) {
        glDeleteObjectARB(vertexObject);
        glDeleteObjectARB(fragmentObject);
        return;
    }

    const GLcharARB* vertexText = vertexSource;
    const GLcharARB* fragmentText = fragmentSource;
    glShaderSourceARB(vertexObject, 1, &vertexText, nullptr);
    glShaderSourceARB(fragmentObject, 1, &fragmentText, nullptr);
    glCompileShaderARB(vertexObject);
    glCompileShaderARB(fragmentObject);
    const bool vertexOk = compiled(vertexObject, "vertex", vertexName.c_str());
    const bool fragmentOk = compiled(fragmentObject, "fragment", fragmentName.c_str());

    const GLhandleARB linked = glCreateProgramObjectARB();
    glAttachObjectARB(linked, vertexObject);
    glAttachObjectARB(linked, fragmentObject);
    glLinkProgramARB(linked);
    GLint status = 0;
    glGetObjectParameterivARB(linked, GL_OBJECT_LINK_STATUS_ARB, &status);
    if (!vertexOk || !fragmentOk || !status) {
        if (vertexOk && fragmentOk)
            CLog::line("Cannot link shader program: " + vertexName + ", " + fragmentName +
                       ", Error: " + infoLog(linked));
        // Making an unlinked program current is a GL error; without one, enable() falls back to the
        // fixed-function pipeline.
        glDeleteObjectARB(linked);
        glDeleteObjectARB(vertexObject);
        glDeleteObjectARB(fragmentObject);
        return;
    }
    program = linked;
}

void CShader::enable()
{
    glUseProgramObjectARB(program);
}

void CShader::disable()
{
    glUseProgramObjectARB(0);
}

static_assert(sizeof(GLhandleARB) == sizeof(unsigned int), "the header spells GLhandleARB as unsigned int");

unsigned int CShader::getProgram() const
{
    return program;
}

void CShader::setUniform1i(const char* name, int value)
{
    if (program == 0)
        return;  // no program: there is nothing to look the name up in
    glUniform1iARB(glGetUniformLocationARB(program, name), value);
}
