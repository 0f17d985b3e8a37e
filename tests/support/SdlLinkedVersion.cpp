// Prints which SDL 1.2 the programs of this build run on: the version SDL_Linked_Version reports
// and the file the dynamic linker loaded it from (LD_LIBRARY_PATH may point at another). The test
// command prints it before each run of the suite.
#include <SDL.h>

#include <cstdio>
#include <dlfcn.h>
#include <link.h>

int main()
{
    const SDL_version* version = SDL_Linked_Version();
    const char* file = "an unknown file";
    void* library = dlopen("libSDL-1.2.so.0", RTLD_LAZY | RTLD_NOLOAD);
    link_map* map = nullptr;
    if (library != nullptr && dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr)
        file = map->l_name;
    // sdl12-compat numbers itself 1.2.50 and up, past the classic library's last release, 1.2.15.
    std::printf("SDL %d.%d.%d (%s) from %s\n", version->major, version->minor, version->patch,
                version->patch >= 50 ? "sdl12-compat over SDL 2" : "the classic SDL 1.2", file);
    return 0;
}
