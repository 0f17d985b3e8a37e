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
// when it is destroyed. The GL texture name is kept for the run (never deleted). Main thread only.
class CTexture {
public:
    CTexture();
    // Loads at once; a failed load leaves the texture unloaded (id 0, size 0 by 0), and drawing it
    // then draws nothing.
    explicit CTexture(const std::string& fileName);
    CTexture(const std::string& fileName, float alpha);
    ~CTexture();

    // Reads the image through SDL_image and uploads it. The file is found by the data lookup
    // (CDataFiles::find()); when no place holds it, one of the engine's own images (its GUI images)
    // comes from the copy built into the library, after the line "Using the built-in copy of " and
    // the name. Logs "Loading Texture: " and the path; on failure "Failed to load the image: ..."
    // and the texture stays unloaded. Refused before decoding: any image while no OpenGL window is
    // open, and one wider or higher than GL_MAX_TEXTURE_SIZE (PNG, TGA and BMP headers tell; other
    // kinds are checked once decoded).
    void load(std::string fileName);
    // Creates the GL texture from the surface (any layout SDL describes; it is converted to RGB or
    // RGBA bytes first when needed), frees the surface and registers with the texture manager.
    void upload(SDL_Surface* surface);
    // Kept for the texture manager's reloadAll/unloadAll; neither changes the GL texture.
    void reload();
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

    unsigned int id;                      // GL texture name; 0 while unloaded
    std::vector<std::vector<bool>> grid;  // free for applications; the engine never fills it
    std::string fileName;                 // empty until a load succeeds
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
};

#endif
