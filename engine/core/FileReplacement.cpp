#include "engine/core/FileReplacement.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

CFileReplacement::CFileReplacement(const std::string& path)
    : path(path)
{
    struct stat existing;
    inPlace = stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode);
    if (inPlace) {
        written = path;
        out = std::fopen(path.c_str(), "wb");
        if (out == nullptr)
            fail(errno);
        return;
    }
    written = path + ".XXXXXX";
    const int descriptor = mkstemp(&written[0]);
    if (descriptor < 0) {
        fail(errno);
        written.clear();
        return;
    }
    // mkstemp makes the file readable by its owner only; what replaces a file is an ordinary one.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
    out = fdopen(descriptor, "wb");
    if (out == nullptr) {
        fail(errno);
        ::close(descriptor);
        drop();
    }
}

CFileReplacement::~CFileReplacement()
{
    if (out != nullptr)
        std::fclose(out);
    out = nullptr;
    drop();
}

FILE* CFileReplacement::file() const
{
    return out;
}

bool CFileReplacement::finish()
{
    if (out != nullptr) {
        // A write error stays on the stream; errno still tells which one.
        const int writeError = errno;
        const bool streamFailed = std::ferror(out) != 0;
        const bool closed = std::fclose(out) == 0;
        out = nullptr;
        if (streamFailed)
            fail(writeError != 0 ? writeError : EIO);
        else if (!closed)
            fail(errno);
    }
    if (failed)
        drop();
    return !failed;
}

bool CFileReplacement::commit()
{
    if (!finish())
        return false;
    if (inPlace || written.empty())  // written in place, or committed already
        return true;
    if (std::rename(written.c_str(), path.c_str()) != 0) {
        fail(errno);
        drop();
        return false;
    }
    written.clear();
    return true;
}

const std::string& CFileReplacement::getError() const
{
    return error;
}

void CFileReplacement::fail(int code)
{
    failed = true;
    if (error.empty())
        error = std::strerror(code);
}

void CFileReplacement::drop()
{
    if (!inPlace && !written.empty())
        std::remove(written.c_str());
    written.clear();
}
