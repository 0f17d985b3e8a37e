#include "engine/core/RegularFile.h"

#include <sys/stat.h>

std::string CRegularFile::refusal(const std::string& path)
{
    struct stat status;
    if (path.empty() || stat(path.c_str(), &status) != 0)
        return std::string();
    if (!S_ISREG(status.st_mode))
        return "it is not a regular file";
    return std::string();
}
