#include "KeyboardInput.h"

#include <qguiapplication_platform.h>

#include <QGuiApplication>

// Xlib's macros (None, Bool, KeyPress, ...) clash with Qt's names: its headers come last.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

class TNoKeyboardInput : public TKeyboardInput {
  public:
    void Send(const TKeyEvent&) override {}
};

// Types through the XTest extension of the display Qt itself is connected to, so the events
// are ordered with the application's own requests. The display belongs to Qt.
class TXTestKeyboardInput : public TKeyboardInput {
  public:
    TXTestKeyboardInput(Display* display, KeyCode control, KeyCode c)
        : display_(display), control_(control), c_(c) {}

    void Send(const TKeyEvent& event) override {
        const KeyCode code = event.Key == TKey::LeftControl ? control_ : c_;
        // A release and a press of one key with the same server time read as auto-repeat to X
        // clients; a few milliseconds between the events make them read as typed.
        // XTestFakeKeyEvent only queues the request; XFlush hands it to the server now.
        if (XTestFakeKeyEvent(display_, code, event.Down ? True : False, KeyDelayMs) == 0) return;
        XFlush(display_);
    }

  private:
    static constexpr unsigned long KeyDelayMs = 10;
    Display* display_;
    KeyCode control_;
    KeyCode c_;
};

Display* QtDisplay() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

}  // namespace

std::unique_ptr<TKeyboardInput> MakeSystemKeyboardInput() {
    Display* display = QtDisplay();
    if (!display) return std::make_unique<TNoKeyboardInput>();
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        return std::make_unique<TNoKeyboardInput>();
    }
    const KeyCode control = XKeysymToKeycode(display, XK_Control_L);
    const KeyCode c = XKeysymToKeycode(display, XK_c);
    // A keyboard map without these keys cannot type the chord.
    if (control == 0 || c == 0) return std::make_unique<TNoKeyboardInput>();
    return std::make_unique<TXTestKeyboardInput>(display, control, c);
}

TKeyboardInput& KeyboardInput() {
    if (KeyboardInputOverride) return *KeyboardInputOverride;
    // Made once for the run; the display it uses lives as long as the application.
    static const std::unique_ptr<TKeyboardInput> system = MakeSystemKeyboardInput();
    return *system;
}

void SendCopyChord(TKeyboardInput& input) {
    input.Send({TKey::LeftControl, true});
    input.Send({TKey::C, true});
    input.Send({TKey::C, false});
    input.Send({TKey::C, true});
    input.Send({TKey::C, false});
    input.Send({TKey::LeftControl, false});
}
