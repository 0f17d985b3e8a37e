// gamepad: the first pad in the standard layout, each button lit while held and each stick's dot
// moved with it; a menu rebinds three actions (1, 2 or 3, then the new key, mouse button, pad button
// or stick; Escape gives up) and F5 saves them in the user's configuration folder. Escape ends it.
#include <engine/QuarlEngine.h>

#include <GL/gl.h>
#include <unistd.h>

namespace {

void box(float x, float y, float w, float h, bool lit)
{
    glDisable(GL_TEXTURE_2D);
    glColor3f(lit ? 1.0f : 0.3f, lit ? 0.8f : 0.3f, lit ? 0.2f : 0.35f);
    glRectf(x, y, x + w, y + h);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
}

// Where the buttons sit, in GamepadButton's order up to DPadRight (the stick presses light the sticks).
const float kPlaces[15][2] = {{560, 300}, {610, 250}, {510, 250}, {560, 200}, {340, 250},
                              {395, 200}, {450, 250}, {0, 0},     {0, 0},     {190, 130},
                              {560, 130}, {230, 210}, {230, 290}, {190, 250}, {270, 250}};
const char* const kActions[3] = {"jump", "fire", "move_x"};

}  // namespace

int main()
{
    CGamepads::requestStandardLayout();  // before the engine: SDL 2's layout on sdl12-compat
    CEngine engine;
    g_pGraphicsCore->setDepthBits(0);  // 2D only: no depth buffer, faster fills
    engine.setVideoMode(800, 600, 24, false, true);
    g_pGraphicsCore->setCaption("Quarl Engine - Gamepad");
    CGamepads& pads = g_pEventManager->getGamepads();
    CInputActions& actions = g_pEventManager->getActions();
    const std::string saved = CInputActions::configPath("quarl-gamepad-example");
    for (const char* binding : {"key:space", "pad:a"})
        actions.bind("jump", binding);
    for (const char* binding : {"mouse:1", "pad:x"})
        actions.bind("fire", binding);
    for (const char* binding : {"-key:left", "+key:right", "axis:leftx"})
        actions.bind("move_x", binding);
    if (access(saved.c_str(), F_OK) == 0)
        actions.load(saved);
    CGameLoop loop(engine);
    loop.run(
        [&](float) {
            for (int action = 0; action < 3; ++action)
                if (g_pEventManager->isKeyPressed(SDLK_1 + action))
                    actions.rebind(kActions[action]);
            if (g_pEventManager->isKeyPressed(SDLK_F5))
                actions.save(saved);
            loop.setExitKey(actions.isRebinding() ? 0 : SDLK_ESCAPE);  // Escape gives up a rebinding first
        },
        [&](float) {
            const CGamepad& pad = pads.getPad(0);
            for (int button = 0; button < 15; ++button)
                if (button != 7 && button != 8)
                    box(kPlaces[button][0], kPlaces[button][1], 36, 36, pad.isDown(GamepadButton(button)));
            for (int stick = 0; stick < 2; ++stick) {
                const float x = 300 + stick * 160, y = 330;
                box(x, y, 90, 90, pad.isDown(stick ? GamepadButton::RightStick : GamepadButton::LeftStick));
                box(x + 37 + 37 * pad.getAxis(GamepadAxis(stick * 2)),
                    y + 37 + 37 * pad.getAxis(GamepadAxis(stick * 2 + 1)), 16, 16, true);
                box(190 + stick * 370, 100, 90 * pad.getAxis(GamepadAxis(4 + stick)) + 1, 14, true);
            }
            CFont* font = g_pFontManager->getFont(1);
            font->print(20, 20, 0, "%s", pads.getCount() > 0 ? pads.getPad(0).getName().c_str() : "No pad found");
            for (int action = 0; action < 3; ++action) {
                std::string line = std::to_string(action + 1) + " " + kActions[action] + ":";
                for (const std::string& binding : actions.getBindings(kActions[action]))
                    line += " " + binding;
                font->print(20, 460 + action * 24, actions.isActionDown(kActions[action]) ? 1 : 0, "%s",
                            line.c_str());
            }
            font->print(20, 540, 0, actions.isRebinding() ? "Press the new input (Escape gives up)" : "F5 saves");
        });
    return 0;
}
