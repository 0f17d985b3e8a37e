#ifndef ENGINE_CORE_REGULARFILE_H
#define ENGINE_CORE_REGULARFILE_H

#include <string>

// The check every reader makes before it opens a file by its path. A FIFO opened for reading waits
// for a writer that may never come, a device can be read for ever, and a folder opens but holds no
// bytes: a reader, or a library it hands the path to (SDL_image, FreeType, SDL_mixer), would block
// or read without end. stat() looks at the path without opening it, so the check itself never
// blocks. Owns nothing; any thread.
class CRegularFile {
public:
    // Empty when the path names a regular file (through any symbolic links) or nothing that can be
    // looked at (a missing file: the reader's own failure line says so); otherwise why it is not
    // read, as the tail of the reader's failure line: "it is not a regular file".
    static std::string refusal(const std::string& path);
};

#endif
