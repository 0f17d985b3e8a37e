#ifndef ENGINE_CORE_WHOLEFILE_H
#define ENGINE_CORE_WHOLEFILE_H

#include <cstdint>
#include <string>

// Reads a file into memory whole, for the readers of text formats (tile maps, atlas descriptors,
// shader sources). It makes CRegularFile's check before opening the path (a pipe would wait for a
// writer, a device could be read for ever, a folder seeks to 2^63), and checks again what it opened,
// in case something else was put in the file's place since. A file
// larger than the caller's bound is refused before anything is allocated for it. Each caller words
// the problem in its own failure line. Owns nothing; any thread.
class CWholeFile {
public:
    enum Problem {
        kNone,
        kNulInName,   // the path holds a NUL byte: it would name another file
        kMissing,     // nothing can be looked at by that path
        kNotRegular,  // a folder, a pipe, a device or a socket
        kTooLarge,    // more than the caller's bound
        kCannotOpen,  // open() refused it (permissions, say)
        kUnreadable   // reading failed, or the file shrank while it was read
    };

    // Fills bytes with the file's contents, or leaves it empty and says why. errorNumber, when
    // given, receives errno for kMissing, kCannotOpen and kUnreadable, and 0 otherwise.
    static Problem read(const std::string& path, uint64_t maxBytes, std::string& bytes,
                        int* errorNumber = nullptr);
};

#endif
