#include "engine/core/DataFiles.h"

#include "engine/core/Log.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

// The generated table of the engine's own files (built-in-data.cpp, written by cmake/EmbedFiles.cmake).
namespace quarl_builtin {
struct File {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};
extern const File kFiles[];
extern const std::size_t kFileCount;
}  // namespace quarl_builtin

// Both are relative (set by the build from the install layout), so a moved package still works.
#ifndef QUARL_BIN_TO_DATA
#define QUARL_BIN_TO_DATA "../share/quarl"
#endif
#ifndef QUARL_LIB_TO_DATA
#define QUARL_LIB_TO_DATA "../share/quarl"
#endif

namespace {

std::string& namedFolder()
{
    static std::string folder;
    return folder;
}

// A file that can be read: a place that holds one the process may not read is passed over, so that
// the next place is tried.
bool holdsFile(const fs::path& path)
{
    std::error_code error;
    return fs::exists(path, error) && !fs::is_directory(path, error) && access(path.c_str(), R_OK) == 0;
}

std::string asFolder(const fs::path& path)
{
    // Through the file system, as opening a file goes: "link/../data" is the data folder beside the
    // folder link points to, not beside link.
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(path, error);
    std::string text = (error ? path.lexically_normal() : resolved).string();
    if (text.empty() || text.back() != '/')
        text += '/';
    return text;
}

fs::path executableFolder()
{
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : exe.parent_path();
}

#ifdef QUARL_ENGINE_SHARED
// The folder of the shared library this function lives in.
fs::path libraryFolder()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&libraryFolder), &info) == 0 || info.dli_fname == nullptr)
        return fs::path();
    std::error_code error;
    const fs::path library = fs::canonical(info.dli_fname, error);
    return error ? fs::path() : library.parent_path();
}
#endif

void addPlace(std::vector<std::string>& places, const std::string& folder)
{
    for (const std::string& known : places)
        if (known == folder)
            return;
    places.push_back(folder);
}

}  // namespace

std::string CDataFiles::find(const std::string& name)
{
    // A name with a NUL inside would be cut there by every call that opens it: another file.
    if (name.empty() || name.find('\0') != std::string::npos)
        return std::string();
    if (holdsFile(name))
        return name;
    if (fs::path(name).is_absolute())
        return std::string();
    const std::vector<std::string> folders = places();
    // The working directory, the first place, was tried with the name as written.
    for (std::size_t i = 1; i < folders.size(); ++i) {
        const std::string path = folders[i] + name;
        if (holdsFile(path))
            return path;
    }
    return std::string();
}

std::string CDataFiles::path(const std::string& name)
{
    const std::string found = find(name);
    return found.empty() ? name : found;
}

void CDataFiles::setFolder(const std::string& folder)
{
    namedFolder() = folder;
}

const std::string& CDataFiles::getFolder()
{
    return namedFolder();
}

std::vector<std::string> CDataFiles::places()
{
    std::vector<std::string> result;
    std::error_code error;
    const fs::path working = fs::current_path(error);
    result.push_back(error ? std::string("./") : asFolder(working));
    // A relative data folder counts from the working directory, and is listed as the absolute one.
    const char* environment = std::getenv("QUARL_DATA_DIR");
    for (const std::string& folder : {std::string(environment ? environment : ""), namedFolder()}) {
        if (folder.empty())
            continue;
        const fs::path absolute = fs::absolute(folder, error);
        if (!error)
            addPlace(result, asFolder(absolute));
    }
    const fs::path exe = executableFolder();
    if (!exe.empty()) {
        addPlace(result, asFolder(exe));
        addPlace(result, asFolder(exe / "share/quarl"));
        addPlace(result, asFolder(exe / QUARL_BIN_TO_DATA));
    }
#ifdef QUARL_ENGINE_SHARED
    const fs::path library = libraryFolder();
    if (!library.empty())
        addPlace(result, asFolder(library / QUARL_LIB_TO_DATA));
#endif
    return result;
}

std::string CDataFiles::placesLookedLine(const std::string& name)
{
    std::string line = "Looked for " + name + " in: ";
    const std::vector<std::string> folders = places();
    for (std::size_t i = 0; i < folders.size(); ++i)
        line += (i ? ", " : "") + folders[i];
    return line;
}

bool CDataFiles::builtIn(const std::string& name, const unsigned char** data, std::size_t* size)
{
    const char* off = std::getenv("QUARL_NO_BUILTIN_DATA");
    if (off != nullptr && off[0] != '\0')
        return false;
    for (std::size_t i = 0; i < quarl_builtin::kFileCount; ++i) {
        if (name == quarl_builtin::kFiles[i].name) {
            if (data != nullptr)
                *data = quarl_builtin::kFiles[i].data;
            if (size != nullptr)
                *size = quarl_builtin::kFiles[i].size;
            return true;
        }
    }
    return false;
}

std::string CDataFiles::builtInLine(const std::string& name)
{
    return "Using the built-in copy of " + name;
}

void CDataFiles::noteBuiltIn(const std::string& name)
{
    static bool said = false;
    const char* verbose = std::getenv("QUARL_VERBOSE_DATA");
    if (verbose != nullptr && verbose[0] != '\0') {
        CLog::line(builtInLine(name));
    } else if (!said) {
        CLog::line(builtInLine(name) +
                   ", and of any other engine file no folder holds (QUARL_VERBOSE_DATA=1 names each)");
    }
    said = true;
}

void CDataFiles::noteMissing(const std::string& name)
{
    // An absolute name is only tried as written, and a name that something other than a readable
    // file answers to (a folder, a pipe) was found: the loader's own line says what is wrong.
    if (name.empty() || fs::path(name).is_absolute() || !find(name).empty())
        return;
    std::error_code error;
    for (const std::string& folder : places())
        if (fs::exists(folder + name, error))
            return;
    CLog::line(placesLookedLine(name));
}
