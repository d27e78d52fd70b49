#include "platform/input.h"

#include <SDL.h>

namespace vant::platform {

namespace {

Key keyOf(SDL_Keycode k) {
    switch (k) {
    case SDLK_ESCAPE: return Key::Escape;
    case SDLK_LEFT: case SDLK_KP_4: return Key::Left;
    case SDLK_RIGHT: case SDLK_KP_6: return Key::Right;
    case SDLK_UP: case SDLK_KP_8: return Key::Up;
    case SDLK_DOWN: case SDLK_KP_2: return Key::Down;
    // '+' is shifted '=' on most keyboards: both zoom in.
    case SDLK_PLUS: case SDLK_EQUALS: case SDLK_KP_PLUS: return Key::Plus;
    case SDLK_MINUS: case SDLK_KP_MINUS: return Key::Minus;
    case SDLK_HOME: case SDLK_KP_7: return Key::Home;
    case SDLK_z: return Key::Z;
    case SDLK_l: return Key::L;
    default: return Key::Other;
    }
}

InputEvent translate(const SDL_Event& e) {
    InputEvent out;
    switch (e.type) {
    case SDL_QUIT: out.kind = InputEvent::Quit; break;
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: out.kind = InputEvent::Quit; break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN: out.kind = InputEvent::Redraw; break;
        case SDL_WINDOWEVENT_LEAVE: out.kind = InputEvent::Leave; break;
        default: break;
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        out.kind = e.type == SDL_KEYDOWN ? InputEvent::KeyDown : InputEvent::KeyUp;
        out.key = keyOf(e.key.keysym.sym);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        out.kind = e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::ButtonDown : InputEvent::ButtonUp;
        out.button = e.button.button;
        out.x = e.button.x;
        out.y = e.button.y;
        break;
    case SDL_MOUSEMOTION:
        out.kind = InputEvent::Motion;
        out.x = e.motion.x;
        out.y = e.motion.y;
        // The buttons as they are now: a release the window could not see
        // (it was hidden) is missing from the event's own state.
        out.held = e.motion.state != 0 && SDL_GetGlobalMouseState(nullptr, nullptr) != 0;
        break;
    case SDL_MOUSEWHEEL: {
        out.kind = InputEvent::Wheel;
        out.wheel = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        SDL_GetMouseState(&out.x, &out.y);
        break;
    }
    default: break;
    }
    return out;
}

}  // namespace

bool waitInput(InputEvent& event, int timeoutMs) {
    SDL_Event e;
    const int got = timeoutMs < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, timeoutMs);
    if (!got) return false;
    event = translate(e);
    return true;
}

bool pollInput(InputEvent& event) {
    SDL_Event e;
    if (!SDL_PollEvent(&e)) return false;
    event = translate(e);
    return true;
}

}  // namespace vant::platform
