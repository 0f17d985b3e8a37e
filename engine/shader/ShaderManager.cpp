#include "engine/shader/ShaderManager.h"

#include "engine/core/Log.h"
#include "engine/shader/Shader.h"

namespace {

struct BuiltIn {
    const char* logLine;
    const char* vertexPath;
    const char* fragmentPath;
};

// The order fixes each built-in's index; the engine draws textures and fonts with index 0.
const BuiltIn kBuiltIns[] = {
    {"Loading simple texture shader...", "shaders/simpleTexture.vert", "shaders/simpleTexture.frag"},
    {"Loading simple color shader...", "shaders/color.vert", "shaders/color.frag"},
    {"Loading heightmap texture shader...", "shaders/hfield.vert", "shaders/hfield.frag"},
    {"Loading Directional Per Pixel Diffuse lightning shader...", "shaders/dirPerPixel.vert",
     "shaders/dirPerPixel.frag"},
    {"Loading Directional Per Vertex Diffuse lightning shader...", "shaders/dirPerVertex.vert",
     "shaders/dirPerVertex.frag"},
    {"Loading Point Per Pixel lightning shader...", "shaders/pointlight.vert", "shaders/pointlight.frag"},
    {"Loading Spot Per Pixel lightning shader...", "shaders/spotlight.vert", "shaders/spotlight.frag"},
    {"Loading Toon shader...", "shaders/toonf2.vert", "shaders/toonf2.frag"},
    {"Loading vertex diffuse light with texture shader...", "shaders/dirPerVertexTEX.vert",
     "shaders/dirPerVertexTEX.frag"},
    {"Loading pixel diffuse light with texture shader...", "shaders/dirPerPixelTEX.vert",
     "shaders/dirPerPixelTEX.frag"},
};

}  // namespace

CShaderManager::CShaderManager() = default;

CShaderManager::~CShaderManager()
{
    for (CShader* shader : shaders)
        delete shader;
    shaders.clear();
}

void CShaderManager::loadBuiltInShaders()
{
    CLog::line();
    CLog::line("-------------========= Loading built in shaders ==========------------\n");
    for (const BuiltIn& builtIn : kBuiltIns) {
        CLog::line(builtIn.logLine);
        CShader* shader = new CShader();
        shader->load(builtIn.fragmentPath, builtIn.vertexPath);
        shaders.push_back(shader);
    }
    CLog::line();
}

void CShaderManager::addShader(CShader* shader)
{
    shaders.push_back(shader);
}

CShader* CShaderManager::getShader(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= shaders.size())
        return nullptr;
    return shaders[static_cast<std::size_t>(index)];
}

int CShaderManager::getShaderCount() const
{
    return static_cast<int>(shaders.size());
}
