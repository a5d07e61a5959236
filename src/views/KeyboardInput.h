#pragma once
// The system's keyboard input, as far as the editor types into it: synthetic key presses and
// releases that reach whatever window has the keyboard focus, like typed keys.

#include <memory>
#include <vector>

enum class TKey { LeftControl, C };

struct TKeyEvent {
    TKey Key;
    bool Down;
    bool operator==(const TKeyEvent&) const = default;
};

class TKeyboardInput {
  public:
    virtual ~TKeyboardInput() = default;
    virtual void Send(const TKeyEvent& event) = 0;
};

// Remembers what was sent instead of typing it.
class TRecordingKeyboardInput : public TKeyboardInput {
  public:
    void Send(const TKeyEvent& event) override { Sent.push_back(event); }
    std::vector<TKeyEvent> Sent;
};

// The keyboard input of the platform the application runs on: XTest through the X display the
// application uses on X11; an input that sends nothing where the platform offers no synthetic
// keys (offscreen, Wayland) or the X server lacks the XTest extension.
std::unique_ptr<TKeyboardInput> MakeSystemKeyboardInput();

// The input the editor types into: KeyboardInputOverride when set (tests), else the platform's,
// made at first use and kept for the run.
TKeyboardInput& KeyboardInput();
inline TKeyboardInput* KeyboardInputOverride = nullptr;

// Left Ctrl down, C down, C up, C down, C up, left Ctrl up.
void SendCopyChord(TKeyboardInput& input);
