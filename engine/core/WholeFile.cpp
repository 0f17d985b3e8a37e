#include "engine/core/WholeFile.h"

#include "engine/core/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CWholeFile::Problem failed(CWholeFile::Problem problem, int error, std::string& bytes, int* errorNumber)
{
    bytes.clear();
    if (errorNumber != nullptr)
        *errorNumber = error;
    return problem;
}

}  // namespace

CWholeFile::Problem CWholeFile::read(const std::string& path, uint64_t maxBytes, std::string& bytes,
                                     int* errorNumber)
{
    if (path.find('\0') != std::string::npos)
        return failed(kNulInName, 0, bytes, errorNumber);
    if (!CRegularFile::refusal(path).empty())
        return failed(kNotRegular, 0, bytes, errorNumber);
    // O_NONBLOCK: should a pipe be put in the file's place after the check, opening it does not
    // wait for a writer; on a regular file it changes nothing.
    const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) {
        const int error = errno;
        struct stat named;
        return failed(stat(path.c_str(), &named) != 0 ? kMissing : kCannotOpen, error, bytes, errorNumber);
    }
    struct stat opened;
    if (fstat(file, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        close(file);
        return failed(kNotRegular, 0, bytes, errorNumber);
    }
    if (uint64_t(opened.st_size) > maxBytes) {
        close(file);
        return failed(kTooLarge, 0, bytes, errorNumber);
    }
    bytes.assign(std::size_t(opened.st_size), '\0');
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::read(file, &bytes[done], bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            error = count < 0 ? errno : 0;
            break;
        }
        done += std::size_t(count);
    }
    close(file);
    if (done != bytes.size())
        return failed(kUnreadable, error, bytes, errorNumber);
    if (errorNumber != nullptr)
        *errorNumber = 0;
    return kNone;
}
