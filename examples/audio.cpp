// audio: a listener (the yellow square) walked with the arrow keys among three sounds placed in the
// world; each is heard from its side and fades with distance. M pauses the music, F fades it out or
// in, H fades the hum out or in; 1, 2, 3 choose a category and - and = set its volume, drawn as bars.
#include <engine/QuarlEngine.h>

#include <SDL_opengl.h>

namespace {

const char* const kCategories[] = {"ambience", "effects", "music"};
const char* const kFiles[] = {"Data/Audio/hum.wav", "Data/Audio/buzz.wav", "Data/Audio/chime.wav"};
const CVector2 kPlaces[] = {CVector2(150, 300), CVector2(650, 300), CVector2(400, 100)};

void bar(float x, float y, float width, float height, float green)
{
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.9f, green, 0.2f);
    glRectf(x, y, x + width, y + height);
    glColor3f(1, 1, 1);
    glEnable(GL_TEXTURE_2D);
}

}  // namespace

int main()
{
    CEngine engine;
    g_pGraphicsCore->setDepthBits(0);  // 2D only: no depth buffer, faster fills
    engine.setVideoMode(800, 600, 24, false, true);
    g_pGraphicsCore->setCaption("Quarl Engine - Audio");
    CSoundManager* audio = g_pSoundManager;
    CSoundHandle handles[3];
    for (int i = 0; i < 3; ++i) {
        CSound* sound = new CSound(kFiles[i]);  // the sound manager frees them
        sound->setCategory(kCategories[i / 2]);
        sound->setRange(80.0f, 1.5f);  // full volume within 80 pixels, fading beyond
        handles[i] = sound->playAt(kPlaces[i], -1);
    }
    CMusic* tune = new CMusic("Data/Audio/tune.wav");
    tune->play(-1);
    CVector2 listener(400, 300);
    int selected = 0;

    CGameLoop(engine).run(
        [&](float step) {
            CEventManager* in = g_pEventManager;
            listener.x += 200 * step * (in->isKeyDown(SDLK_RIGHT) - in->isKeyDown(SDLK_LEFT));
            listener.y += 200 * step * (in->isKeyDown(SDLK_DOWN) - in->isKeyDown(SDLK_UP));
            audio->setListener(listener);  // pan and gain of every placed sound follow
            if (in->isKeyPressed(SDLK_m))
                audio->isMusicPaused() ? audio->resumeMusic() : audio->pauseMusic();
            if (in->isKeyPressed(SDLK_f))
                audio->getPlayingMusic() ? audio->fadeOutMusic(1000) : tune->fadeIn(1000, -1);
            if (in->isKeyPressed(SDLK_h) && handles[0].isPlaying())
                handles[0].fadeOut(1000);
            else if (in->isKeyPressed(SDLK_h))  // that play has ended, its handle does nothing: a new one
                handles[0] = audio->getSound(0)->playAt(kPlaces[0], -1, 1000);
            for (int key = 0; key < 3; ++key)
                selected = in->isKeyPressed(SDLK_1 + key) ? key : selected;
            const float change = 0.1f * (in->getKeyPressCount(SDLK_EQUALS) - in->getKeyPressCount(SDLK_MINUS));
            audio->setCategoryVolume(kCategories[selected],
                                     audio->getCategoryVolume(kCategories[selected]) + change);
        },
        [&](float) {
            for (const CVector2& place : kPlaces)
                bar(place.x - 10, place.y - 10, 20, 20, 0.5f);
            bar(listener.x - 6, listener.y - 6, 12, 12, 1.0f);
            CFont* font = g_pFontManager->getFont(1);
            for (int i = 0; i < 3; ++i) {
                bar(150, 500 + 25.0f * i, 200 * audio->getCategoryVolume(kCategories[i]), 15, i == selected);
                font->print(20, 500 + 25 * i, 0, "%d %s", i + 1, kCategories[i]);
            }
            font->print(20, 20, 0, "Arrows walk. M pauses the music, F fades it, H fades the hum.");
            font->print(20, 40, 0, "1, 2, 3 choose a category; - and = set its volume. Escape ends.");
        });
    return 0;
}
