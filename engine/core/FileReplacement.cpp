#include "engine/core/FileReplacement.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kNameCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// Where the path's symbolic links lead, followed one by one so that a link to a file not yet made
// leads to where that file will be: the replacement goes there and the links stay links. The path
// itself when it is no link (or a loop of them).
std::string linkTarget(const std::string& path)
{
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status;
        if (lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return target;
        char text[PATH_MAX];
        const ssize_t length = readlink(target.c_str(), text, sizeof(text) - 1);
        if (length <= 0)
            return target;
        const std::string next(text, std::size_t(length));
        const std::size_t slash = target.rfind('/');
        target = next[0] == '/' || slash == std::string::npos ? next : target.substr(0, slash + 1) + next;
    }
    return path;
}

}  // namespace

CFileReplacement::CFileReplacement(const std::string& given)
    : path(linkTarget(given))
{
    struct stat existing;
    const bool exists = stat(path.c_str(), &existing) == 0;
    inPlace = exists && !S_ISREG(existing.st_mode);
    if (inPlace) {
        written = path;
        out = std::fopen(path.c_str(), "wb");
        if (out == nullptr)
            fail(errno);
        return;
    }
    // Created with 0666 so that the kernel applies the umask (and a folder's default ACL) as to any
    // new file, without the process-wide umask() call; a replaced file then gets its own mode back.
    int descriptor = -1;
    std::random_device seed;
    std::minstd_rand random(seed());
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        written = path + ".";
        for (int i = 0; i < 6; ++i)
            written += kNameCharacters[random() % (sizeof(kNameCharacters) - 1)];
        descriptor = ::open(written.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST)
            break;
    }
    if (descriptor < 0) {
        fail(errno);
        written.clear();
        return;
    }
    if (exists && fchmod(descriptor, existing.st_mode & 07777) != 0) {
        fail(errno);
        ::close(descriptor);
        drop();
        return;
    }
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
        // On the disk before the rename: after a power cut the name must not lead to an empty file.
        // A device or pipe written in place has nothing to sync.
        const bool synced = streamFailed || inPlace || (std::fflush(out) == 0 && fsync(fileno(out)) == 0);
        const int syncError = errno;
        const bool closed = std::fclose(out) == 0;
        out = nullptr;
        if (streamFailed)
            fail(writeError != 0 ? writeError : EIO);
        else if (!synced)
            fail(syncError);
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
    // The rename itself lasts only once the folder's entry is on the disk.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0 || (fsync(descriptor) != 0 && errno != EINVAL)) {
        fail(errno);
        if (descriptor >= 0)
            ::close(descriptor);
        return false;
    }
    ::close(descriptor);
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
