#include "app/lock_keys.h"

#include <QGuiApplication>

#if defined(QUILLBOX_HAVE_XKB)
#include <X11/XKBlib.h>
#endif

LockKeyState QueryLockKeys() {
    LockKeyState state;
#if defined(QUILLBOX_HAVE_XKB)
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) {
        return state;
    }
    auto named = [display](const char* name) -> std::optional<bool> {
        const Atom atom = XInternAtom(display, name, True);
        Bool on = False;
        if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) {
            return std::nullopt;
        }
        return on != False;
    };
    state.caps = named("Caps Lock");
    state.num = named("Num Lock");
    state.scroll = named("Scroll Lock");
#endif
    return state;
}
