// libFuzzer target for the data lookup's name handling: any bytes as a file name, looked for in a
// working directory, a QUARL_DATA_DIR that reaches its files through a symbolic link, and the copies
// built into the library. A name found must be the file opened by that path, readable and not a
// folder; a built-in copy must be one of the table's names; the "Looked for" line names the name
// as given. Anything else, a crash or a sanitizer report, is a finding. Build and run it with
// scripts/fuzz.sh.
#include "engine/core/DataFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void makeFile(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr)
        std::abort();
    std::fputs("data", file);
    std::fclose(file);
}

// A work folder (the working directory) beside data/ with a file, a folder, a nested file and a
// link to the folder; the data folder is named through the link and "..".
void setUpFolders()
{
    char pattern[] = "/tmp/quarl_lookup_fuzz_XXXXXX";
    const std::string root = mkdtemp(pattern) ? pattern : "";
    if (root.empty() || mkdir((root + "/work").c_str(), 0700) != 0 || mkdir((root + "/data").c_str(), 0700) != 0 ||
        mkdir((root + "/data/sub").c_str(), 0700) != 0 || symlink("data/sub", (root + "/link").c_str()) != 0)
        std::abort();
    makeFile(root + "/work/here.txt");
    makeFile(root + "/data/a.png");
    makeFile(root + "/data/sub/b.txt");
    setenv("QUARL_DATA_DIR", (root + "/link/..").c_str(), 1);
    if (chdir((root + "/work").c_str()) != 0)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static const bool ready = (setUpFolders(), true);
    (void)ready;
    const std::string name(reinterpret_cast<const char*>(data), size);
    const std::string found = CDataFiles::find(name);
    if (!found.empty()) {
        struct stat status;
        if (found.find('\0') != std::string::npos || stat(found.c_str(), &status) != 0 ||
            S_ISDIR(status.st_mode) || access(found.c_str(), R_OK) != 0)
            std::abort();
    }
    const unsigned char* bytes = nullptr;
    std::size_t length = 0;
    if (CDataFiles::builtIn(name, &bytes, &length) && (bytes == nullptr || name.find('\0') != std::string::npos))
        std::abort();
    if (CDataFiles::placesLookedLine(name).compare(0, 11 + name.size(), "Looked for " + name) != 0)
        std::abort();
    return 0;
}
