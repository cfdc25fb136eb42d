#include "QelButtonState.h"

bool TQelButtonState::SetCheck(bool value)
{
    if (Style == bsPushButton || value == Checked)
        return false;
    Checked = value;
    FrameStyle = value ? fsLowered : fsRaised;
    return true;
}

TQelButtonEffects TQelButtonState::MouseDown(bool inside)
{
    TQelButtonEffects fx;
    if (!inside)
        return fx;
    fx.Focus = true;
    switch (Style) {
    case bsPushButton:
        if (FrameStyle == fsLowered)
            break;
        Pressed = true;
        FrameStyle = fsLowered;
        Captured = true;
        break;
    case bsCheckButton:
    case bsCheckButton2:
        if (Checked) {
            Pressed = true;
            fx.Repaint = true;
        } else {
            FrameStyle = fsLowered;
        }
        Captured = true;
        break;
    case bsRadioButton:
        if (!Checked) {
            SetCheck(true);
            fx.Click = true;
        }
        break;
    }
    return fx;
}

TQelButtonEffects TQelButtonState::MouseMove(bool inside, bool leftHeld)
{
    TQelButtonEffects fx;
    const bool dragging = Captured && leftHeld;
    switch (Style) {
    case bsPushButton:
        if (inside) {
            if (dragging) {
                Pressed = true;
                FrameStyle = fsLowered;
            }
        } else if (dragging || !leftHeld) {
            // Leaving the button lets it spring back, also when no button is held.
            Pressed = false;
            FrameStyle = fsRaised;
        }
        break;
    case bsCheckButton:
    case bsCheckButton2:
        if (!dragging)
            break;
        if (inside) {
            if (Checked && !Pressed) {
                Pressed = true;
                fx.Repaint = true;
            } else if (!Checked && FrameStyle == fsRaised) {
                FrameStyle = fsLowered;
            }
        } else {
            if (Checked && Pressed) {
                Pressed = false;
                fx.Repaint = true;
            } else if (!Checked && FrameStyle == fsLowered) {
                FrameStyle = fsRaised;
            }
        }
        break;
    case bsRadioButton:
        break;
    }
    return fx;
}

TQelButtonEffects TQelButtonState::MouseUp(bool inside)
{
    TQelButtonEffects fx;
    switch (Style) {
    case bsPushButton:
        if (inside && FrameStyle == fsLowered) {
            Pressed = false;
            FrameStyle = fsRaised;
            fx.Click = true;
        }
        break;
    case bsCheckButton:
    case bsCheckButton2:
        if (inside) {
            if (Checked && Pressed) {
                Pressed = false;
                SetCheck(false);
                fx.Click = true;
            } else if (!Checked && FrameStyle == fsLowered) {
                SetCheck(true);
                fx.Repaint = true;
                fx.Click = true;
            }
        }
        break;
    case bsRadioButton:
        break;
    }
    Captured = false;
    return fx;
}
