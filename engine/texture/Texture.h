#ifndef ENGINE_TEXTURE_TEXTURE_H
#define ENGINE_TEXTURE_TEXTURE_H

#include "engine/math/Vector2.h"
#include "engine/texture/TextureRegion.h"

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CShader;

// One image file as one OpenGL texture, drawn as a tinted quad in the 2D mode through built-in
// shader 0. A texture whose upload succeeded is listed by the texture manager and leaves that list
// when it is destroyed. Owns its GL texture, deleted by unload(), by a load or upload that replaces
// it and by the destructor, but only under the context that made it: once that window has closed
// the name means nothing (or another engine's texture), and the texture only forgets it; drawing it
// then writes one line, "Failed to draw the texture: NAME, Error: the OpenGL window it was made in
// has closed", and leaves it unloaded (reload() makes it again in the new window). Points to shader
// 0, owned by the shader manager. Main thread only: on another thread every GL path refuses with
// one line naming the thread that owns the GL (CGLStateScope::hasContext()).
class CTexture {
public:
    CTexture();
    // Loads at once; a failed load leaves the texture unloaded (id 0, size 0 by 0), and drawing it
    // then draws nothing.
    explicit CTexture(const std::string& fileName);
    CTexture(const std::string& fileName, float alpha);
    ~CTexture();

    // Reads the image through SDL_image and uploads it, deleting the GL texture of an earlier image
    // first. The file is found by the data lookup
    // (CDataFiles::find()); when no place holds it, one of the engine's own images (its GUI images)
    // comes from the copy built into the library, after the line "Using the built-in copy of " and
    // the name. Logs "Loading Texture: " and the path; on failure "Failed to load the image: ..."
    // and the texture stays unloaded. Refused before decoding: any image while no OpenGL window is
    // open, and one wider or higher than GL_MAX_TEXTURE_SIZE (PNG, TGA and BMP headers tell; other
    // kinds are checked once decoded).
    void load(std::string fileName);
    // Creates the GL texture from the surface (any layout SDL describes; it is converted to RGB or
    // RGBA bytes first when needed), frees the surface and registers with the texture manager. It
    // replaces (deletes) the GL texture of an earlier image; the texture then has no file name, so
    // reload() keeps it. A refused surface leaves the earlier image as it was.
    void upload(SDL_Surface* surface);
    // Deletes the GL texture and loads the file again, with the colour key set now: what the
    // texture manager's reloadAll() calls, e.g. after unloadAll(). A load that fails leaves the
    // texture unloaded, its file name kept for another try. A texture without a file name (made by
    // upload() from pixels in memory) has nothing to read again: it writes one line, "Texture not
    // reloaded: ...", and keeps what it has. Without the context it writes the load's failure line
    // and changes nothing.
    void reload();
    // Deletes the GL texture: the texture then draws nothing (isLoaded() is false) but keeps its
    // file name, size, colour key and place in the texture manager's list, for reload().
    void unload();

    // Draws the whole image with its top-left corner at the position, scaled about that corner and
    // rotated by angle degrees about its centre, tinted by the colour. Leaves no program current
    // and the colour white. An unloaded texture draws nothing and changes no state.
    void draw(CVector2 pos, float scale, float angle, float red, float green, float blue, float alpha);
    void draw(float x, float y, float scale, float angle, float red, float green, float blue, float alpha);
    // As draw(), with the stored alpha.
    void drawWithAlpha(float x, float y, float scale, float angle, float red, float green, float blue);
    // As draw(), at the stored position.
    void drawAtOwnPosition(float scale, float angle, float red, float green, float blue, float alpha);
    // Draws a part of the image at its own share of the drawn size: (1, 0.5, 0, 0) is the left half
    // at half the width.
    void drawRegion(float x, float y, CTextureRegion region, float scale, float angle, float red, float green,
                    float blue, float alpha);
    // Binds the texture to a texture unit for applications that combine textures. Leaves that
    // unit active; the draws of textures and text bind on unit 0 whatever is active.
    void bindToUnit(int unit);

    float getWidth() const;
    float getHeight() const;
    // The drawn size only: the quad still shows the whole image, stretched.
    void setWidth(float value);
    void setHeight(float value);
    float getAlpha() const;
    void setAlpha(float value);
    std::vector<std::vector<bool>>& getGrid();
    bool isLoaded() const;
    // Pixels of this colour (0xRRGGBB) load fully transparent from the next load() or upload() on,
    // whatever alpha the file gives them: Tiled's "trans" colour on a tileset image, or a sprite
    // sheet drawn on magenta. A value outside 0...0xFFFFFF (kNoColorKey) keys nothing.
    static constexpr int32_t kNoColorKey = -1;
    void setColorKey(int32_t rgb);
    int32_t getColorKey() const;

    unsigned int id;  // GL texture name; 0 while unloaded
    // CGLStateScope::contextGeneration() when id was made: id names this texture only under it.
    unsigned int idGeneration = 0;
    std::vector<std::vector<bool>> grid;  // free for applications; the engine never fills it
    std::string fileName;                 // of the last successful load; empty until then, or after upload()
    float width;
    float height;
    CVector2 position;  // set and read by owners; drawAtOwnPosition() draws there
    float alpha;
    CShader* shader;  // built-in shader 0, owned by the shader manager
    // True when the GL texture's first row is the bottom of the picture, as a render target's is
    // (GL draws bottom-up); an uploaded image's first row is its top.
    bool rowsBottomUp = false;
    int32_t colorKey = kNoColorKey;

private:
    CTexture(const CTexture&) = delete;
    CTexture& operator=(const CTexture&) = delete;

    void drawQuad(float x, float y, float scale, float angle, float red, float green, float blue, float alpha,
                  const CTextureRegion& region);
    // load() from the library's copy of the engine's file of that name.
    void loadBuiltIn(const std::string& name, const unsigned char* data, std::size_t size);
    // SDL_image 1.2 refuses a true-colour TGA whose pixels start on the right ("Unsupported TGA
    // format"); the engine's own reader takes those, turned the right way round.
    static bool isRightToLeftTga(const std::string& path);
    static SDL_Surface* decodeTga(const std::string& path);
    // The decoded image of a load (null: the decoder's failure line), uploaded under the name.
    void adopt(const std::string& name, SDL_Surface* surface);
    // upload() of a surface read from the named file (empty: made in memory).
    void place(const std::string& name, SDL_Surface* surface);
    // Deletes the GL texture when its context is current, and forgets the name either way.
    void forgetName();
    // The file name, or what stands for it in a line.
    std::string describe() const;
    // Whether the name may be used now; false after one line ("Failed to WHAT the texture: ...")
    // when its context has closed (the name is then forgotten) or is not current on this thread.
    bool canUse(const char* what);
};

#endif
