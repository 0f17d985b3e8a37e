#include "engine/shader/Shader.h"

#include "engine/core/Log.h"

#include <cstdio>
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
    CLog::line(std::string("Cannot compile ") + kind + " shader: " + path + ", Error: " +
               infoLog(object));
    return false;
}

} // namespace

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
    if (path == nullptr)
        return nullptr;
    FILE* file = std::fopen(path, "r");
    if (file == nullptr)
        return nullptr;
    char* text = nullptr;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        std::rewind(file);
        if (size >= 1) {
            text = new char[static_cast<std::size_t>(size) + 1];
            // Text-mode reading may deliver fewer bytes than the size: end the text where the data ended.
            const std::size_t count = std::fread(text, 1, static_cast<std::size_t>(size), file);
            text[count] = '\0';
        }
    }
    std::fclose(file);
    return text;
}

void CShader::load(const char* fragmentPath, const char* vertexPath)
{
    const GLhandleARB vertexObject = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    const GLhandleARB fragmentObject = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);

    bool failed = false;
    delete[] vertexSource;
    vertexSource = readTextFile(vertexPath);
    if (vertexSource == nullptr) {
        CLog::line(std::string("\nCannot Load vertex shader: ") + (vertexPath ? vertexPath : ""));
        failed = true;
    }
    delete[] fragmentSource;
    fragmentSource = readTextFile(fragmentPath);
    if (fragmentSource == nullptr) {
        CLog::line(std::string("\nCannot Load fragment shader: ") + (fragmentPath ? fragmentPath : ""));
        failed = true;
    }
    if (failed) {
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
    const bool vertexOk = compiled(vertexObject, "vertex", vertexPath);
    const bool fragmentOk = compiled(fragmentObject, "fragment", fragmentPath);

    const GLhandleARB linked = glCreateProgramObjectARB();
    glAttachObjectARB(linked, vertexObject);
    glAttachObjectARB(linked, fragmentObject);
    glLinkProgramARB(linked);
    GLint status = 0;
    glGetObjectParameterivARB(linked, GL_OBJECT_LINK_STATUS_ARB, &status);
    if (!vertexOk || !fragmentOk || !status) {
        if (vertexOk && fragmentOk)
            CLog::line(std::string("Cannot link shader program: ") + vertexPath + ", " + fragmentPath +
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

GLhandleARB CShader::getProgram() const
{
    return program;
}

void CShader::setUniform1i(const char* name, int value)
{
    if (program == 0)
        return;  // no program: there is nothing to look the name up in
    glUniform1iARB(glGetUniformLocationARB(program, name), value);
}
