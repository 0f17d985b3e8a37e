// tile_walker: a Tiled map larger than the window, drawn through the sprite batch with only the
// tiles in view; a walker animated from a texture atlas walks it with the arrow keys, starting where
// the map's object layer says, and the 2D camera follows. Escape or closing the window ends it.
// The map, its tileset and the walker's atlas are made by tools/make_tile_walker and make_atlas.
#include <engine/QuarlEngine.h>

#include <algorithm>
#include <cmath>

namespace {

const float kWidth = 800.0f;
const float kHeight = 600.0f;
const float kPixelsPerSecond = 160.0f;
const char* const kFacings[4] = {"down", "left", "right", "up"};  // the walker's frame names

}  // namespace

int main()
{
    CEngine engine;
    g_pGraphicsCore->setDepthBits(0);  // 2D only: no depth buffer, faster fills
    engine.setVideoMode(int(kWidth), int(kHeight), 24, false, true);
    g_pGraphicsCore->setCaption("Quarl Engine - Tile walker");
    CTileMap map("Data/TileWalker/world.tmx");
    CTextureAtlas atlas("Data/TileWalker/walker.json");
    CAtlasAnimation walks[4];  // down1 ... down4, left1 ... left4, and so on
    for (int facing = 0; facing < 4; ++facing) {
        walks[facing].setFramesByPrefix(atlas, kFacings[facing]);
        walks[facing].setSpeed(8);
    }
    CVector2 feet(kWidth / 2, kHeight / 2);  // where the walker stands, in map pixels
    if (const CObjectLayer* objects = map.findObjectLayer("objects"))
        for (const CMapObject& object : objects->objects)
            if (object.name == "start")
                feet = CVector2(object.x, object.y);
    const float mapWidth = float(map.getWidth() * map.getTileWidth());
    const float mapHeight = float(map.getHeight() * map.getTileHeight());
    g_pCameraManager->addCamera(new CCamera2D());  // the camera manager owns it
    int facing = 0;
    bool walking = false;
    CSpriteBatch batch;

    CGameLoop(engine).run(
        [&](float step) {
            CEventManager* input = g_pEventManager;
            const int dx = input->isKeyDown(SDLK_RIGHT) - input->isKeyDown(SDLK_LEFT);
            const int dy = input->isKeyDown(SDLK_DOWN) - input->isKeyDown(SDLK_UP);
            walking = dx != 0 || dy != 0;
            facing = dy > 0 ? 0 : dy < 0 ? 3 : dx < 0 ? 1 : dx > 0 ? 2 : facing;
            feet.x = std::clamp(feet.x + kPixelsPerSecond * step * dx, 16.0f, mapWidth - 16.0f);
            feet.y = std::clamp(feet.y + kPixelsPerSecond * step * dy, 40.0f, mapHeight);
            // The camera scrolls by minus the view's top-left corner, kept inside the map, in whole
            // pixels: the tiles then land texel for pixel and never blend in their neighbours.
            const float left = std::clamp(feet.x - kWidth / 2, 0.0f, mapWidth - kWidth);
            const float top = std::clamp(feet.y - kHeight / 2, 0.0f, mapHeight - kHeight);
            *g_pCameraManager->getCurrent() = CVector2(-std::floor(left), -std::floor(top));
        },
        [&](float) {
            batch.begin();
            map.draw(batch);                                  // the tiles the camera's view reaches
            const CVector2 corner(feet.x - 16, feet.y - 44);  // the frames are 32 by 48, feet at 44
            if (walking)
                walks[facing].draw(batch, corner);
            else if (const CAtlasRegion* standing = walks[facing].getFrame(0))
                CTextureAtlas::add(batch, *standing, corner.x, corner.y, 1, 0, 1, 1, 1, 1);
            batch.end();
            g_pFontManager->getFont(1)->printColoured(10, 575, 0, 0, 0, 0, "%s: arrows walk, Escape quits",
                                                      map.getProperty("title").c_str());
        });
    return 0;
}
