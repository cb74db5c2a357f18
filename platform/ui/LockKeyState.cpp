#include "LockKeyState.h"

#include <QGuiApplication>

#if defined(VLT_HAVE_XKB) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#define VLT_READ_XKB 1
#endif

namespace vlt {
namespace {

std::optional<LockKeyState> g_testState;

#ifdef VLT_READ_XKB
// The indicator's state by its name in the keymap; off when the keymap has
// no such indicator.
bool NamedIndicatorOn(Display* display, const char* name)
{
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None)
        return false;
    int index = 0;
    Bool on = False;
    Bool real = False;
    XkbIndicatorMapRec map{};
    return XkbGetNamedIndicator(display, atom, &index, &on, &map, &real) && on;
}

std::optional<LockKeyState> ReadX11Indicators()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    LockKeyState state;
    state.capsLock = NamedIndicatorOn(display, "Caps Lock");
    state.numLock = NamedIndicatorOn(display, "Num Lock");
    state.scrollLock = NamedIndicatorOn(display, "Scroll Lock");
    return state;
}
#endif

} // namespace

LockKeyState GetLockKeyState()
{
    if (g_testState)
        return *g_testState;
#ifdef VLT_READ_XKB
    if (std::optional<LockKeyState> state = ReadX11Indicators())
        return *state;
#endif
    return {};
}

std::optional<LockKeyState> SetLockKeyStateForTest(std::optional<LockKeyState> state)
{
    std::optional<LockKeyState> previous = g_testState;
    g_testState = state;
    return previous;
}

} // namespace vlt
