#include "engine/shader/ShaderManager.h"

CShaderManager::CShaderManager() = default;

CShaderManager::~CShaderManager() = default;

void CShaderManager::loadBuiltInShaders()
{
    // Not yet: the built-in programs arrive with the shader loader.
}
