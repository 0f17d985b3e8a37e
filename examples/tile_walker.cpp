// tile_walker: a Tiled map larger than the window, drawn through the sprite batch with only the
// tiles in view; a walker animated from a texture atlas walks it with the arrow keys, starting where
// the map's object layer says, stopped by the trees and the river (tiles the map marks solid), and
// the 2D camera follows it within the map. Escape or closing the window ends it.
// The map, its tileset and the walker's atlas are made by tools/make_tile_walker and make_atlas.
#include <engine/QuarlEngine.h>

#include <GL/gl.h>

#include <algorithm>

namespace {

const float kWidth = 800.0f;
const float kHeight = 600.0f;
const float kPixelsPerSecond = 160.0f;
const char* const kFacings[4] = {"down", "left", "right", "up"};  // the walker's frame names

}  // namespace

int main()
{
    CEngine engine;
    g_pGraphicsCore->setResizable(true);  // the camera's view follows the window's size
    g_pGraphicsCore->setDepthBits(0);     // 2D only: no depth buffer, faster fills
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
    CCamera2D* camera = new CCamera2D();  // the camera manager owns it
    camera->setViewSize(kWidth, kHeight);
    camera->setBounds(0, 0, mapWidth, mapHeight);
    camera->setDeadZone(96, 64);
    camera->setSmoothing(8);
    camera->setPixelSnap(true);  // whole pixels: the tiles land texel for pixel
    camera->centerOn(feet);
    g_pCameraManager->addCamera(camera);
    const CVector2 box(20, 12);  // what collides: a patch under the feet
    int facing = 0;
    bool walking = false;
    CSpriteBatch batch;

    CGameLoop(engine).run(
        [&](float step) {
            CEventManager* input = g_pEventManager;
            camera->setViewSize(float(g_pGraphicsCore->width), float(g_pGraphicsCore->height));
            const int dx = input->isKeyDown(SDLK_RIGHT) - input->isKeyDown(SDLK_LEFT);
            const int dy = input->isKeyDown(SDLK_DOWN) - input->isKeyDown(SDLK_UP);
            walking = dx != 0 || dy != 0;
            facing = dy > 0 ? 0 : dy < 0 ? 3 : dx < 0 ? 1 : dx > 0 ? 2 : facing;
            // The step is cut at the map's edges first, so the map's check sees all of what is left.
            const float toX = std::clamp(feet.x + kPixelsPerSecond * step * dx, 16.0f, mapWidth - 16.0f);
            const float toY = std::clamp(feet.y + kPixelsPerSecond * step * dy, 40.0f, mapHeight);
            const CVector2 moved = map.moveBox(CVector2(feet.x - box.x / 2, feet.y - box.y), box,
                                               CVector2(toX - feet.x, toY - feet.y));
            feet = CVector2(moved.x + box.x / 2, moved.y + box.y);
            if (walking)
                walks[facing].update(step);
            camera->follow(feet, step);
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
            glPushMatrix();  // a light panel under the caption, in window pixels like the text
            glLoadIdentity();
            glDisable(GL_TEXTURE_2D);
            glColor4f(1, 1, 1, 0.75f);
            const int width = int(g_pGraphicsCore->width), height = int(g_pGraphicsCore->height);
            glRecti(0, height - 32, width, height);
            glColor4f(1, 1, 1, 1);
            glEnable(GL_TEXTURE_2D);
            glPopMatrix();
            g_pFontManager->getFont(1)->printColoured(10, height - 25, 0, 0, 0, 0, "%s: arrows walk, Escape quits",
                                                      map.getProperty("title").c_str());
        });
    return 0;
}
