#ifndef ENGINE_SHADER_SHADERMANAGER_H
#define ENGINE_SHADER_SHADERMANAGER_H

// Owns the shader programs, built-in ones first.
// Not yet: programs arrive with the shader loader; loadBuiltInShaders() loads nothing yet. Main thread only.
class CShaderManager {
public:
    CShaderManager();
    ~CShaderManager();

    // Loads the ten built-in programs; needs the OpenGL context.
    void loadBuiltInShaders();
};

#endif
