# The engine's dependencies, found the same way by the engine's own build and by the installed
# package's config file. The caller defines quarl_find_dependency(): find_package(... REQUIRED) in
# the build, find_dependency() in the installed config. A new dependency is one more line here (and
# one more module in quarl-engine.pc.in).
#
# Only target names reach the exported targets, never a library path of the build machine: SDL_image
# and SDL_mixer have no imported targets of their own, so they get QuarlEngine:: ones here, made
# from what their find modules found on the machine that uses the package.

# SDLmain stays out of the library: an application links it (or not) itself.
set(SDL_BUILDING_LIBRARY ON)
set(OpenGL_GL_PREFERENCE LEGACY)
quarl_find_dependency(SDL)
quarl_find_dependency(SDL_image)
quarl_find_dependency(SDL_mixer)
quarl_find_dependency(GLEW)
# libpng writes the graphics core's screenshots.
quarl_find_dependency(PNG)
quarl_find_dependency(OpenGL COMPONENTS OpenGL)
# FreeType draws TrueType fonts into glyph sheets; the engine links it privately, but a static
# library's users link it too.
quarl_find_dependency(Freetype)
# HarfBuzz shapes TrueType text: advances and kerning from the font, ligatures, combining marks.
# Debian ships no CMake package for it, only pkg-config's harfbuzz.pc.
if(NOT TARGET QuarlEngine::HarfBuzz)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(QUARL_HARFBUZZ REQUIRED harfbuzz)
  add_library(QuarlEngine::HarfBuzz INTERFACE IMPORTED)
  set_target_properties(QuarlEngine::HarfBuzz PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${QUARL_HARFBUZZ_INCLUDE_DIRS}"
    INTERFACE_LINK_LIBRARIES "${QUARL_HARFBUZZ_LINK_LIBRARIES}")
endif()
# FriBidi puts mixed left-to-right and right-to-left text in display order (the Unicode bidirectional
# algorithm), which HarfBuzz leaves to its caller. Like HarfBuzz, only a pkg-config module on Debian.
if(NOT TARGET QuarlEngine::FriBidi)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(QUARL_FRIBIDI REQUIRED fribidi)
  add_library(QuarlEngine::FriBidi INTERFACE IMPORTED)
  set_target_properties(QuarlEngine::FriBidi PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${QUARL_FRIBIDI_INCLUDE_DIRS}"
    INTERFACE_LINK_LIBRARIES "${QUARL_FRIBIDI_LINK_LIBRARIES}")
endif()

# Atlas descriptors and Tiled's JSON maps are read with nlohmann's JSON (header-only), Tiled's XML
# maps with pugixml, and compressed layer data inflated with zlib: parsers that are kept up against
# hostile input, where hand-written ones are not.
quarl_find_dependency(nlohmann_json)
quarl_find_dependency(pugixml)
quarl_find_dependency(ZLIB)

if(NOT TARGET QuarlEngine::SDL_image)
  add_library(QuarlEngine::SDL_image INTERFACE IMPORTED)
  set_target_properties(QuarlEngine::SDL_image PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${SDL_IMAGE_INCLUDE_DIRS}"
    INTERFACE_LINK_LIBRARIES "${SDL_IMAGE_LIBRARIES}")
endif()
if(NOT TARGET QuarlEngine::SDL_mixer)
  add_library(QuarlEngine::SDL_mixer INTERFACE IMPORTED)
  set_target_properties(QuarlEngine::SDL_mixer PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${SDL_MIXER_INCLUDE_DIRS}"
    INTERFACE_LINK_LIBRARIES "${SDL_MIXER_LIBRARIES}")
endif()

# What the engine library links, for target_link_libraries in the build and in the exported targets.
set(QUARL_ENGINE_DEPENDENCIES
  QuarlEngine::SDL_image QuarlEngine::SDL_mixer SDL::SDL GLEW::GLEW OpenGL::GL OpenGL::GLU
  PNG::PNG)
