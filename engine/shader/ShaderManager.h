#ifndef ENGINE_SHADER_SHADERMANAGER_H
#define ENGINE_SHADER_SHADERMANAGER_H

#include <vector>

class CShader;

// Owns the engine's shader programs, addressed by their position in load order. The ten built-ins
// come first and keep their indices whether or not their files load; index 0, the simple texture
// shader, draws every texture and every font. Main thread only.
class CShaderManager {
public:
    CShaderManager();
    ~CShaderManager();

    // Loads the ten built-in programs from shaders/ (found as CShader::load() says), logging a
    // line for each. Needs the OpenGL context and GLEW.
    void loadBuiltInShaders();
    // Takes ownership and appends; the shader's index is the list size before the call.
    void addShader(CShader* shader);
    // The shader at index; null for an index outside the list.
    CShader* getShader(int index) const;
    int getShaderCount() const;

private:
    CShaderManager(const CShaderManager&) = delete;
    CShaderManager& operator=(const CShaderManager&) = delete;

    std::vector<CShader*> shaders;
};

#endif
