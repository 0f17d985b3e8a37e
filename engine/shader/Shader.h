#ifndef ENGINE_SHADER_SHADER_H
#define ENGINE_SHADER_SHADER_H

// One GLSL program of a vertex and a fragment shader read from text files, used through the ARB
// shader-object extension. Owns both source texts. The GL shader and program objects live as long
// as the context and are never deleted. Main thread only.
class CShader {
public:
    CShader();
    ~CShader();

    // Reads both files (fragment path first, vertex path second), compiles and links. Each file is
    // found like any data file (CDataFiles::find()), a built-in shader's last in the library's copy
    // ("Using the built-in copy of ..."). A missing or empty file, or a folder, is reported ("Cannot
    // Load vertex shader: ..." / "...fragment shader: ...", then the places looked when none held the
    // file) and leaves no program. A compile or link failure is reported with the driver's log and also leaves
    // no program, so enable() then selects the fixed-function pipeline.
    void load(const char* fragmentPath, const char* vertexPath);
    // Longer shader sources are refused by readTextFile.
    static constexpr long kMaxSourceBytes = 16L << 20;
    // The whole file as a new zero-terminated text (release with delete[]), or null when the file
    // cannot be opened, is not a regular file (a folder, a pipe), is empty or is longer than
    // kMaxSourceBytes.
    static char* readTextFile(const char* path);

    void enable();
    // Back to the fixed-function pipeline, whichever shader it is called on.
    void disable();
    // The GL program object (a GLhandleARB); 0 while there is none.
    unsigned int getProgram() const;
    // Acts on the current program: enable() first. An unknown name is ignored.
    void setUniform1i(const char* name, int value);

private:
    CShader(const CShader&) = delete;
    CShader& operator=(const CShader&) = delete;

    char* fragmentSource;
    char* vertexSource;
    unsigned int program;  // a GLhandleARB; spelt as its type so that this header needs no GL header
};

#endif
