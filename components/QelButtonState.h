#pragma once
// Mouse state machine of TQelButton, kept apart from the widget so that every sequence of
// presses, moves and releases can be checked without a window.
#include <cstdint>

enum TQelFramedWindowStyle { fsRaised, fsLowered };
enum TQelButtonStyle { bsPushButton, bsCheckButton, bsCheckButton2, bsRadioButton };

// What the widget has to do after a mouse event; frame style changes are read from the state.
struct TQelButtonEffects {
    bool Focus = false;   // take the input focus (a press inside)
    bool Repaint = false; // the pressed shade changed
    bool Click = false;   // fire OnClick, after the new state is shown
};

class TQelButtonState {
public:
    TQelButtonStyle Style = bsPushButton;
    TQelFramedWindowStyle FrameStyle = fsRaised;
    bool Pressed = false;  // the mouse holds the button down
    bool Checked = false;
    bool Captured = false; // the button follows the mouse until the left button is released

    // The outermost pixel row and column count as outside.
    static bool Inside(int x, int y, int width, int height) { return x > 0 && x < width && y > 0 && y < height; }

    // Check and radio styles only; returns true when the value changed.
    bool SetCheck(bool value);

    TQelButtonEffects MouseDown(bool inside);
    TQelButtonEffects MouseMove(bool inside, bool leftHeld);
    TQelButtonEffects MouseUp(bool inside);
};
