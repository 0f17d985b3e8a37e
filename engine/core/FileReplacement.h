#ifndef ENGINE_CORE_FILEREPLACEMENT_H
#define ENGINE_CORE_FILEREPLACEMENT_H

#include <cstdio>
#include <string>

// A file written so that a failure cannot cost the one it replaces. A regular file (or none) at the
// path is written under a temporary name in the same folder and renamed over the path only by
// commit(): a failed write (a full disk, a size limit) leaves an earlier file as it was, and the
// destructor removes the temporary. Files that belong together (an atlas's pages and descriptor)
// are all written first and committed last. Anything else at the path (a device, a pipe) is
// written in place and never removed. A symbolic link is followed and stays a link: the file it
// leads to is the one replaced. The replacement keeps the replaced file's permissions; a new file
// gets those of any new file (0666 less the umask). The data and then the folder's entry are synced
// to the disk, so after a power cut the path holds the old file or the whole new one. Owns the open
// FILE until close() and the temporary until commit().
class CFileReplacement {
public:
    explicit CFileReplacement(const std::string& path);
    ~CFileReplacement();

    // The stream to write, null when it could not be opened (getError() says why).
    FILE* file() const;
    // Closes the stream; false with the reason in getError() when a write or the close failed (the
    // last buffered writes happen here), the temporary then removed. Files that belong together
    // are all finished before the first is committed.
    bool finish();
    // Finishes if not yet done, then renames the temporary over the path; false with the reason in
    // getError() when anything failed. Without a commit the path keeps what it had.
    bool commit();
    // The reason of the last failure (strerror's text); empty before one.
    const std::string& getError() const;

private:
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;

    void fail(int code);
    void drop();

    std::string path;
    std::string written;  // the temporary, or the path itself in place
    bool inPlace = false;
    bool failed = false;
    FILE* out = nullptr;
    std::string error;
};

#endif
