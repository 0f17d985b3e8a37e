#ifndef ENGINE_CORE_DATAFILES_H
#define ENGINE_CORE_DATAFILES_H

#include <cstddef>
#include <string>
#include <vector>

// Finds data files wherever a game may have been built, installed or unpacked. The engine finds its
// own files with it (the ten shader pairs under `shaders/` and the glyph sheet `Data/Font/font.tga`);
// an application may find its own the same way. Holds only the folder named by setFolder().
// Main thread only.
class CDataFiles {
public:
    // The path of the first place that holds the file, or an empty string when none does (and for a
    // name with a NUL byte inside).
    // A relative name is looked for, in this order:
    // 1. as written, relative to the working directory (the name comes back unchanged);
    // 2. in the folder named by the `QUARL_DATA_DIR` environment variable;
    // 3. in the folder the application named with setFolder() (or CEngine::setDataFolder());
    // 4. in the running executable's folder, then its `share/quarl/` subfolder (an unpacked game
    //    folder), then `../share/quarl/` beside it (an installed `bin/`);
    // 5. in the package's installed data folder beside the shared engine library.
    // An absolute name is only tried as written. The engine's own files have a last resort, the
    // copies built into the library (builtIn()).
    static std::string find(const std::string& name);
    // What find() found, or the name itself when nothing holds it: hand the result straight to a
    // loader, whose failure line then names the file.
    static std::string path(const std::string& name);

    // Names a folder of the application's data (place 3 of find()); an empty name forgets it.
    static void setFolder(const std::string& folder);
    static const std::string& getFolder();

    // The folders find() tries for a relative name, in order, each ending in '/'.
    static std::vector<std::string> places();
    // The line that follows a failure when no place holds a file:
    // "Looked for NAME in: FOLDER, FOLDER, ..." (the folders of places()).
    static std::string placesLookedLine(const std::string& name);

    // The copy of one of the engine's own files built into the library ("shaders/color.vert",
    // "Data/Font/font.tga"): true with its bytes, which live as long as the program. False for any
    // other name, and for every name while the environment variable `QUARL_NO_BUILTIN_DATA` is set
    // (to check that a shipped game folder is complete).
    static bool builtIn(const std::string& name, const unsigned char** data, std::size_t* size);

    // The line for one built-in copy in use: "Using the built-in copy of NAME".
    static std::string builtInLine(const std::string& name);
    // Says that the built-in copy of an engine file is used. A game run from a folder without the
    // engine's files uses a few dozen, so only the first in a process gets a line, which says that
    // the rest go unnamed: "Using the built-in copy of NAME, and of any other engine file no folder
    // holds (QUARL_VERBOSE_DATA=1 names each)". With the environment variable `QUARL_VERBOSE_DATA`
    // set, each gets builtInLine() instead.
    static void noteBuiltIn(const std::string& name);
    // For a loader's failure: when a relative name is in none of the places, writes
    // placesLookedLine(), so that a game's own missing file says where it was looked for, as the
    // engine's own files do. Sounds, music, atlases, tile maps and TrueType fonts call it; a
    // texture keeps its two lines ("Loading Texture: ", "Failed to load the image: ").
    static void noteMissing(const std::string& name);
};

#endif
