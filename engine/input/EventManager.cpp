#include "engine/input/EventManager.h"

#include "engine/core/Log.h"

#include <cstring>

CEventManager::CEventManager()
    : keyPressed(false),
      eventCode(CodeOther),
      eventPolled(false),
      mouseX(0),
      mouseY(0),
      lastMouseX(0),
      lastMouseY(0),
      leftButton(false),
      rightButton(false),
      clickedId(-1)
{
    std::memset(&event, 0, sizeof(event));
    event.type = SDL_NOEVENT;
    std::memset(keys, 0, sizeof(keys));
    openJoysticks();
}

CEventManager::~CEventManager()
{
    closeJoysticks();
}

void CEventManager::update()
{
    readMouse();
    clickedId = -1;
    eventPolled = false;
    if (SDL_PollEvent(&event) == 1)
        eventPolled = true;
    eventCode = CodeOther;
    keyPressed = false;
    apply();
}

void CEventManager::readMouse()
{
    lastMouseX = mouseX;
    lastMouseY = mouseY;
    SDL_GetMouseState(&mouseX, &mouseY);
}

void CEventManager::apply()
{
    switch (event.type) {
    case SDL_KEYDOWN: {
        keyPressed = true;
        eventCode = CodeKeyDown;
        const int key = event.key.keysym.sym;
        if (key >= 0 && key < kKeyCount)
            keys[key] = 1;
        break;
    }
    case SDL_KEYUP: {
        const int key = event.key.keysym.sym;
        if (key >= 0 && key < kKeyCount)
            keys[key] = 0;
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT) {
            leftButton = true;
            eventCode = CodeLeftDown;
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            rightButton = true;
            eventCode = CodeRightDown;
        }
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT) {
            leftButton = false;
            eventCode = CodeLeftUp;
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            rightButton = false;
            eventCode = CodeRightUp;
        }
        break;
    case SDL_QUIT:
        eventCode = CodeQuit;
        break;
    default:
        applyJoystickOrResize();
        break;
    }
}

void CEventManager::applyJoystickOrResize()
{
    switch (event.type) {
    case SDL_JOYAXISMOTION:
        eventCode = CodeJoyAxis;
        if (event.jaxis.which < kMaxJoysticks && event.jaxis.axis < kMaxJoystickAxes)
            joyAxes[event.jaxis.which][event.jaxis.axis] = event.jaxis.value;
        break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
        const bool down = event.type == SDL_JOYBUTTONDOWN;
        eventCode = down ? CodeJoyButtonDown : CodeJoyButtonUp;
        if (event.jbutton.which < kMaxJoysticks && event.jbutton.button < kMaxJoystickButtons)
            joyButtons[event.jbutton.which][event.jbutton.button] = down ? 1 : 0;
        break;
    }
    case SDL_JOYHATMOTION:
        eventCode = CodeJoyHat;
        if (event.jhat.which < kMaxJoysticks && event.jhat.hat < kMaxJoystickHats)
            joyHats[event.jhat.which][event.jhat.hat] = event.jhat.value;
        break;
    case SDL_VIDEORESIZE:
        eventCode = CodeResize;
        break;
    default:
        break;
    }
}

int CEventManager::openJoysticks()
{
    closeJoysticks();
    std::memset(joyAxes, 0, sizeof(joyAxes));
    std::memset(joyButtons, 0, sizeof(joyButtons));
    std::memset(joyHats, 0, sizeof(joyHats));
    // SDL 1.2 lists joysticks only when its joystick subsystem starts, so start it afresh.
    if (SDL_WasInit(SDL_INIT_JOYSTICK))
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        CLog::line(std::string("Unable to initialize joysticks: ") + SDL_GetError());
        return 0;
    }
    const int found = SDL_NumJoysticks();
    for (int index = 0; index < found && index < kMaxJoysticks; ++index) {
        SDL_Joystick* joystick = SDL_JoystickOpen(index);
        if (joystick == nullptr) {
            CLog::line(std::string("Unable to open joystick ") + std::to_string(index) +
                       ", Error: " + SDL_GetError());
            break; // SDL's event indices must stay the table's indices
        }
        joysticks.push_back(joystick);
        const char* name = SDL_JoystickName(index);
        joystickNames.push_back(name ? name : "");
    }
    SDL_JoystickEventState(SDL_ENABLE);
    return getJoystickCount();
}

void CEventManager::closeJoysticks()
{
    // SDL_Quit, which the graphics core calls at shut-down, has closed and freed them already.
    if (SDL_WasInit(SDL_INIT_JOYSTICK)) {
        for (SDL_Joystick* joystick : joysticks)
            SDL_JoystickClose(joystick);
    }
    joysticks.clear();
    joystickNames.clear();
}

int CEventManager::getJoystickCount() const
{
    return static_cast<int>(joysticks.size());
}

std::string CEventManager::getJoystickName(int joystick) const
{
    if (joystick < 0 || joystick >= getJoystickCount())
        return std::string();
    return joystickNames[static_cast<std::size_t>(joystick)];
}

int16_t CEventManager::getJoystickAxis(int joystick, int axis) const
{
    if (joystick < 0 || joystick >= kMaxJoysticks || axis < 0 || axis >= kMaxJoystickAxes)
        return 0;
    return joyAxes[joystick][axis];
}

uint8_t CEventManager::isJoystickButtonDown(int joystick, int button) const
{
    if (joystick < 0 || joystick >= kMaxJoysticks || button < 0 || button >= kMaxJoystickButtons)
        return 0;
    return joyButtons[joystick][button];
}

uint8_t CEventManager::getJoystickHat(int joystick, int hat) const
{
    if (joystick < 0 || joystick >= kMaxJoysticks || hat < 0 || hat >= kMaxJoystickHats)
        return 0;
    return joyHats[joystick][hat];
}

SDL_Event CEventManager::getEvent() const
{
    return event;
}

bool CEventManager::isEventPolled() const
{
    return eventPolled;
}

int CEventManager::getMouseX() const
{
    return mouseX;
}

int CEventManager::getMouseY() const
{
    return mouseY;
}

int CEventManager::getMouseDeltaX() const
{
    return mouseX - lastMouseX;
}

int CEventManager::getMouseDeltaY() const
{
    return mouseY - lastMouseY;
}

bool CEventManager::hasMouseMoved() const
{
    return mouseX != lastMouseX || mouseY != lastMouseY;
}

uint8_t CEventManager::isKeyDown(int key) const
{
    if (key < 0 || key >= kKeyCount)
        return 0;
    return keys[key];
}

bool CEventManager::isLeftButtonDown() const
{
    return leftButton;
}

bool CEventManager::isRightButtonDown() const
{
    return rightButton;
}

bool CEventManager::isEventCode(int code) const
{
    return eventCode == code;
}

void CEventManager::setClickedId(int id)
{
    clickedId = id;
}

int CEventManager::getClickedId() const
{
    return clickedId;
}
