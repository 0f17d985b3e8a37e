#include "engine/input/EventManager.h"

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
}

CEventManager::~CEventManager() = default;

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
        break;
    }
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
